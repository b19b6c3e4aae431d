#include "model/BezierCurve.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

using Vesma::BezierCurve;

// y1 = 1/3 and y2 = 2/3 make y(t) = t, so Evaluate returns the curve parameter it found.
BezierCurve WithIdentityY(float x1, float x2) { return {x1, 1.0f / 3.0f, x2, 2.0f / 3.0f}; }

double CubicAt(double p1, double p2, double t) {
    const double u = 1.0 - t;
    return 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t;
}

// Reference: solve x(t) = x by bisection in double (x(t) monotonic for control points in 0..1).
double ReferenceEvaluate(const BezierCurve& c, double x) {
    double low = 0.0, high = 1.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (low + high);
        (CubicAt(c.x1, c.x2, mid) < x ? low : high) = mid;
    }
    return CubicAt(c.y1, c.y2, 0.5 * (low + high));
}

TEST(BezierCurve, FromBytesDividesBy127) {
    const BezierCurve c = BezierCurve::FromBytes(0, 127, 20, 107);
    EXPECT_FLOAT_EQ(c.x1, 0.0f);
    EXPECT_FLOAT_EQ(c.y1, 1.0f);
    EXPECT_FLOAT_EQ(c.x2, 20.0f / 127.0f);
    EXPECT_FLOAT_EQ(c.y2, 107.0f / 127.0f);
}

TEST(BezierCurve, ControlPointsOnTheDiagonalGiveAStraightLine) {
    // Every byte pair with x = y, sampled across 0..1: y(t) must follow x within the tolerance.
    for (int b1 = 0; b1 <= 127; b1 += 3) {
        for (int b2 = 0; b2 <= 127; b2 += 3) {
            const BezierCurve c = BezierCurve::FromBytes(b1, b1, b2, b2);
            for (int i = 0; i <= 20; ++i) {
                const float x = i / 20.0f;
                ASSERT_NEAR(c.Evaluate(x), x, 2e-6f) << "bytes " << b1 << ", " << b2 << " at " << x;
            }
        }
    }
    EXPECT_NEAR(BezierCurve{}.Evaluate(0.37f), 0.37f, 1e-6f);
}

TEST(BezierCurve, EaseCurvesMatchAPreciseSolution) {
    struct Case {
        BezierCurve curve;
        float x;
    };
    const Case cases[] = {
        {{0.5f, 0.0f, 0.5f, 1.0f}, 0.25f},             // ease in-out
        {{0.5f, 0.0f, 0.5f, 1.0f}, 0.5f},
        {{0.5f, 0.0f, 0.5f, 1.0f}, 0.9f},
        {{0.8f, 0.0f, 1.0f, 0.2f}, 0.3f},              // slow start
        {{0.0f, 0.8f, 0.2f, 1.0f}, 0.3f},              // fast start
        {{1.0f, 0.0f, 0.0f, 1.0f}, 0.2f},              // flat in the middle
        {{20 / 127.f, 0.0f, 107 / 127.f, 1.0f}, 0.6f},
        {{0.0f, 0.0f, 1.0f, 1.0f}, 0.01f},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(c.curve.Evaluate(c.x), ReferenceEvaluate(c.curve, c.x), 1e-5)
            << c.curve.x1 << " " << c.curve.y1 << " " << c.curve.x2 << " " << c.curve.y2 << " at " << c.x;
    }
    // Symmetric ease curve: exactly half way at the middle, mirrored elsewhere.
    const BezierCurve ease{0.5f, 0.0f, 0.5f, 1.0f};
    EXPECT_NEAR(ease.Evaluate(0.5f), 0.5f, 1e-6f);
    EXPECT_NEAR(ease.Evaluate(0.2f) + ease.Evaluate(0.8f), 1.0f, 1e-5f);
    EXPECT_LT(ease.Evaluate(0.2f), 0.2f);
}

TEST(BezierCurve, FlatSlopeFallsBackToBisection) {
    // x1 = 1, x2 = 0: x(t) - 0.5 = 4 (t - 0.5)^3, whose slope vanishes at t = 0.5. Starting Newton
    // there gives up at once; the bisection must still land within the tolerance.
    const BezierCurve c = WithIdentityY(1.0f, 0.0f);
    for (float x : {0.5f + 1e-5f, 0.5f - 1e-5f, 0.5f + 3e-4f}) {
        const float t = c.Evaluate(x);
        const double xt = CubicAt(1.0, 0.0, t);
        EXPECT_NEAR(xt, x, 1.5e-6) << x;
        // The cube root pushes t far from x: Newton's first guess would have been wrong by far.
        EXPECT_GT(std::fabs(t - 0.5f), 0.005f) << x;
    }
}

TEST(BezierCurve, ProgressOutsideZeroToOne) {
    // Newton converges: the curve is extended, not clamped.
    const BezierCurve line = WithIdentityY(1.0f / 3.0f, 2.0f / 3.0f);
    EXPECT_NEAR(line.Evaluate(1.5f), 1.5f, 1e-5f);
    EXPECT_NEAR(line.Evaluate(-0.25f), -0.25f, 1e-5f);

    // x1 = 0, x2 = 0.25 has a flat slope at t = -2 (x(-2) = 1): Newton starting at x = -2 gives
    // up, and a progress below 0 takes t = 0.
    EXPECT_FLOAT_EQ(WithIdentityY(0.0f, 0.25f).Evaluate(-2.0f), 0.0f);
    // x1 = 0, x2 = 0.375 has a flat slope at t = 6 (x(6) = 13.5): progress above 1 takes t = 1.
    EXPECT_NEAR(WithIdentityY(0.0f, 0.375f).Evaluate(6.0f), 1.0f, 1e-6f);
}

TEST(BezierCurve, OutOfRangeBytesAlwaysFinish) {
    // Interpolation bytes above 127 make x(t) steep and non-monotonic. Evaluation must still end
    // with a finite value for every such curve.
    for (int b1 = 0; b1 <= 255; b1 += 5) {
        for (int b2 = 0; b2 <= 255; b2 += 5) {
            const BezierCurve c = BezierCurve::FromBytes(b1, 64, b2, 200);
            for (int i = 0; i <= 10; ++i) {
                ASSERT_TRUE(std::isfinite(c.Evaluate(i / 10.0f))) << b1 << " " << b2;
            }
        }
    }
    // Control points far outside the byte range: the bisection can no longer meet the tolerance
    // and must stop on its own.
    const BezierCurve steep{5000.0f, 0.5f, -5000.0f, 0.5f};
    for (int i = 1; i < 10; ++i) EXPECT_TRUE(std::isfinite(steep.Evaluate(i / 10.0f)));
}

}  // namespace
