#include "model/motion/BezierCurve.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

using Vesma::BezierCurve;

double CubicAt(double p1, double p2, double t) {
    const double u = 1.0 - t;
    return 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t;
}

// Reference: x(t) = x solved by bisection in double (x(t) is monotonic for control points in 0..1).
double Reference(const BezierCurve& c, double x) {
    double low = 0.0, high = 1.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (low + high);
        (CubicAt(c.x1, c.x2, mid) < x ? low : high) = mid;
    }
    return CubicAt(c.y1, c.y2, 0.5 * (low + high));
}

// y1 = 1/3, y2 = 2/3 make y(t) = t, so Evaluate returns the curve parameter it found.
BezierCurve IdentityY(float x1, float x2) { return {x1, 1.0f / 3.0f, x2, 2.0f / 3.0f}; }

TEST(BezierCurve, DiagonalControlPointsGiveAStraightLine) {
    for (int b1 = 0; b1 <= 127; b1 += 3) {
        for (int b2 = 0; b2 <= 127; b2 += 3) {
            const BezierCurve c = BezierCurve::FromBytes(b1, b1, b2, b2);
            for (int i = 0; i <= 20; ++i) ASSERT_NEAR(c.Evaluate(i / 20.0f), i / 20.0f, 2e-6f) << b1 << " " << b2;
        }
    }
}

TEST(BezierCurve, EaseCurvesMatchAPreciseSolution) {
    const struct {
        BezierCurve curve;
        float x;
    } cases[] = {
        {{0.5f, 0.0f, 0.5f, 1.0f}, 0.25f}, {{0.5f, 0.0f, 0.5f, 1.0f}, 0.5f}, {{0.5f, 0.0f, 0.5f, 1.0f}, 0.9f},
        {{0.8f, 0.0f, 1.0f, 0.2f}, 0.3f},  {{0.0f, 0.8f, 0.2f, 1.0f}, 0.3f}, {{1.0f, 0.0f, 0.0f, 1.0f}, 0.2f},
        {{20 / 127.f, 0.0f, 107 / 127.f, 1.0f}, 0.6f}, {{0.0f, 0.0f, 1.0f, 1.0f}, 0.01f},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.curve.Evaluate(c.x), Reference(c.curve, c.x), 1e-5) << c.x;
}

TEST(BezierCurve, FlatSlopeFallsBackToBisection) {
    // x1 = 1, x2 = 0: x(t) - 0.5 = 4 (t - 0.5)^3, flat at t = 0.5, so Newton started near there
    // gives up; the bisection must still meet the tolerance, far from the starting guess.
    const BezierCurve c = IdentityY(1.0f, 0.0f);
    for (float x : {0.5f + 1e-5f, 0.5f - 1e-5f, 0.5f + 3e-4f}) {
        const float t = c.Evaluate(x);
        EXPECT_NEAR(CubicAt(1.0, 0.0, t), x, 1.5e-6) << x;
        EXPECT_GT(std::fabs(t - 0.5f), 0.005f) << x;
    }
}

TEST(BezierCurve, ProgressOutsideZeroToOne) {
    // Newton converges: the curve is extended, not clamped.
    EXPECT_NEAR(IdentityY(1.0f / 3.0f, 2.0f / 3.0f).Evaluate(1.5f), 1.5f, 1e-5f);
    EXPECT_NEAR(IdentityY(1.0f / 3.0f, 2.0f / 3.0f).Evaluate(-0.25f), -0.25f, 1e-5f);
    // Newton gives up on a flat slope (x1 = 0, x2 = 0.25 at t = -2; x2 = 0.375 at t = 6): t is
    // then clamped to 0 below the range and 1 above it.
    EXPECT_FLOAT_EQ(IdentityY(0.0f, 0.25f).Evaluate(-2.0f), 0.0f);
    EXPECT_NEAR(IdentityY(0.0f, 0.375f).Evaluate(6.0f), 1.0f, 1e-6f);
}

TEST(BezierCurve, HostileControlPointsAlwaysFinish) {
    // Bytes above 127 make x(t) steep and non-monotonic; far larger control points make the
    // tolerance unreachable. Evaluation must end with a finite value either way.
    for (int b1 = 0; b1 <= 255; b1 += 5) {
        for (int b2 = 0; b2 <= 255; b2 += 5) {
            const BezierCurve c = BezierCurve::FromBytes(b1, 64, b2, 200);
            for (int i = 0; i <= 10; ++i) ASSERT_TRUE(std::isfinite(c.Evaluate(i / 10.0f))) << b1 << " " << b2;
        }
    }
    const BezierCurve steep{5000.0f, 0.5f, -5000.0f, 0.5f};
    for (int i = 1; i < 10; ++i) EXPECT_TRUE(std::isfinite(steep.Evaluate(i / 10.0f)));
}

}  // namespace
