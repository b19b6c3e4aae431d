#include "model/motion/BezierCurve.h"

#include <cmath>

namespace Vesma {

namespace {

constexpr float kTolerance = 1e-6f;
constexpr int kNewtonRounds = 8;
// Curves from interpolation bytes (0..255) meet the tolerance within about 25 halvings. A curve
// with far larger control points is so steep that neighbouring floats of t straddle x by more
// than the tolerance; the midpoint then stops moving and the loop would never end, so it is capped.
constexpr int kMaxBisectionSteps = 100;

struct Cubic {
    float a, b, c;
    Cubic(float p1, float p2) : a(1.0f - 3.0f * p2 + 3.0f * p1), b(3.0f * p2 - 6.0f * p1), c(3.0f * p1) {}
    float Value(float t) const { return ((a * t + b) * t + c) * t; }
    float Slope(float t) const { return (3.0f * a * t + 2.0f * b) * t + c; }
};

}  // namespace

BezierCurve BezierCurve::FromBytes(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2) {
    return {x1 / 127.0f, y1 / 127.0f, x2 / 127.0f, y2 / 127.0f};
}

float BezierCurve::Solve(float x) const {
    const Cubic cx(x1, x2);
    const Cubic cy(y1, y2);

    float t = x;
    bool found = false;
    for (int round = 0; round < kNewtonRounds; ++round) {
        const float error = cx.Value(t) - x;
        if (std::fabs(error) < kTolerance) {
            found = true;
            break;
        }
        const float slope = cx.Slope(t);
        if (std::fabs(slope) < kTolerance) break;
        t -= error / slope;
    }

    if (!found) {
        if (x < 0.0f) {
            t = 0.0f;
        } else if (x > 1.0f) {
            t = 1.0f;
        } else {
            float low = 0.0f;
            float high = 1.0f;
            t = x;
            for (int step = 0; low < high && step < kMaxBisectionSteps; ++step) {
                const float value = cx.Value(t);
                if (std::fabs(value - x) < kTolerance) break;
                if (x > value) {
                    low = t;
                } else {
                    high = t;
                }
                t = (low + high) * 0.5f;
            }
        }
    }
    return cy.Value(t);
}

}  // namespace Vesma
