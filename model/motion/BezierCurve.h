#pragma once
// Interpolation curve of a motion key: a cubic Bezier from (0, 0) to (1, 1) whose two inner
// control points (x1, y1) and (x2, y2) come from a key's interpolation bytes (byte / 127).
#include <cstdint>

namespace Vesma {

struct BezierCurve {
    float x1 = 0.0f;
    float y1 = 0.0f;
    float x2 = 1.0f;
    float y2 = 1.0f;

    /// Curve from four interpolation bytes, each divided by 127. The default curve is the
    /// straight line (control points (0, 0) and (1, 1)).
    static BezierCurve FromBytes(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2);

    /// Interpolation factor for progress x (normally 0..1): finds the curve parameter t whose
    /// x(t) is x (Newton's method, then bisection) and returns y(t). For x outside 0..1 where
    /// Newton fails, t is clamped to 0 or 1.
    float Evaluate(float x) const {
        // Control points on the diagonal make x(t) = y(t): the curve is the straight line, and
        // the search would only find x again (to within its tolerance).
        if (x1 == y1 && x2 == y2 && x >= 0.0f && x <= 1.0f) return x;
        return Solve(x);
    }

    bool operator==(const BezierCurve&) const = default;

private:
    float Solve(float x) const;
};

}  // namespace Vesma
