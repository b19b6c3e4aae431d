#pragma once
// The scalar pieces of one IK link step, shared by the solver that works one chain at a time and
// the one that works several chains side by side, so that both give the same bits.
#include <algorithm>
#include <cmath>

#include "core/Math.h"
#include "model/ik/MMDIkSolver.h"

namespace Vesma::IkStep {

inline float Clamp(float v, float lo, float hi) { return std::min(std::max(v, lo), hi); }

// Below this squared length a quaternion has no usable inverse (the float epsilon).
constexpr float kInverseEpsilon = 1.1920929e-07f;

inline Math::quat InverseOrZero(const Math::quat& q) {
    const float lengthSq = Math::Dot(q, q);
    if (lengthSq <= kInverseEpsilon) {
        return {0, 0, 0, 0};
    }
    const Math::quat c = Math::Conjugate(q);
    return {c.x / lengthSq, c.y / lengthSq, c.z / lengthSq, c.w / lengthSq};
}

// The axis a limited link turns about alone, or -1. An axis qualifies when its own range is not
// empty and neither other axis has both bounds non-zero (a range touching zero doesn't block it).
inline int SingleLimitedAxis(const Math::vec3& lo, const Math::vec3& hi) {
    const auto closed = [&](int a) { return lo[a] == 0.0f && hi[a] == 0.0f; };
    const auto open = [&](int a) { return lo[a] != 0.0f && hi[a] != 0.0f; };
    for (int axis = 0; axis < 3; ++axis) {
        if (!closed(axis) && !open((axis + 1) % 3) && !open((axis + 2) % 3)) {
            return axis;
        }
    }
    return -1;
}

// tan(0.001 degrees): a turn is below the smallest step when sin < cos * this (and cos > 0).
constexpr float kTanSmallestStep = 1.7453292e-05f;

/// Whether the turn from b to a (unit vectors, `cross` = b x a) is below 0.001 degrees.
inline bool BelowSmallestStep(const Math::vec3& a, const Math::vec3& b, const Math::vec3& cross) {
    return Math::Length(cross) <= Math::Dot(a, b) * kTanSmallestStep;
}

/// The turn of a link that brings direction b onto a (both unit vectors), about b x a, limited to
/// `limit.angle` radians; identity when b x a is zero. For turns the limit doesn't cut and that
/// are well short of half a turn, the quaternion comes straight from the cross and dot products,
/// (b x a, 1 + a.b) normalised, which is the half-angle rotation without any trigonometry;
/// everything else takes the angle itself.
inline Math::quat LimitedTurn(const Math::vec3& a, const Math::vec3& b, const Math::vec3& cross,
                              const StepLimit& limit) {
    if (cross == Math::vec3()) return Math::quat::Identity();
    const float sine = Math::Length(cross);
    const float cosine = Math::Dot(a, b);
    const bool ordinaryLimit = limit.angle > 0.0f && limit.angle < Math::kPi;
    if (ordinaryLimit || limit.angle >= Math::kPi) {
        // The turn exceeds the limit exactly when sin(angle - limit) > 0 (both in [0, pi]).
        const bool clamped = ordinaryLimit && sine * limit.cos - cosine * limit.sin > 0.0f;
        if (clamped) {
            const Math::vec3 n = cross / sine;
            return {n.x * limit.halfSin, n.y * limit.halfSin, n.z * limit.halfSin, limit.halfCos};
        }
        if (cosine > -0.99f) {
            const float w = 1.0f + cosine;
            const float inv = 1.0f / std::sqrt(sine * sine + w * w);
            return {cross.x * inv, cross.y * inv, cross.z * inv, w * inv};
        }
    }
    const float angle = Clamp(std::atan2(sine, cosine), -limit.angle, limit.angle);
    return Math::QuaternionRotationAxis(cross, angle);
}

// The quaternion of RotationX(e.x) * RotationY(e.y) * RotationZ(e.z): x acts first.
inline Math::quat QuaternionFromEulerXYZ(const Math::vec3& e) {
    const Math::quat qx = Math::QuaternionRotationAxis({1, 0, 0}, e.x);
    const Math::quat qy = Math::QuaternionRotationAxis({0, 1, 0}, e.y);
    const Math::quat qz = Math::QuaternionRotationAxis({0, 0, 1}, e.z);
    return Math::Normalize(qz * (qy * qx));
}

/// A limited link's candidate rotation brought inside its Euler ranges, each axis moving at most
/// `limitAngle` from where the earlier steps of this solve left it (`link.prevAngle`, updated).
inline Math::quat LimitToRanges(const Math::quat& candidate, MMDIkLink& link, float limitAngle) {
    Math::vec3 euler = DecomposeEuler(Math::RotationQuaternion(candidate), link.prevAngle);
    euler = Math::Min(link.limitMax, Math::Max(link.limitMin, euler));
    for (int c = 0; c < 3; ++c) {
        link.prevAngle[c] += Clamp(euler[c] - link.prevAngle[c], -limitAngle, limitAngle);
    }
    return QuaternionFromEulerXYZ(link.prevAngle);
}

/// One step of a link that turns about `axis` alone: from the goal and target directions a and b
/// in the link's space (`cross` = b x a), the link's new whole rotation about the axis. Keeps the
/// accumulated angle in `link.planeModeAngle`.
inline Math::quat PlaneTurn(uint32_t iteration, const Math::vec3& a, const Math::vec3& b, const Math::vec3& cross,
                            int axis, MMDIkLink& link, float limitAngle) {
    // acos of the dot product would be the same angle, but in float it can't resolve turns below
    // about 3e-4 radians (the dot product rounds to 1), which stalls the solve short of the goal.
    const float angle = Clamp(std::atan2(Math::Length(cross), Math::Dot(a, b)), -limitAngle, limitAngle);

    // Turn towards whichever side brings the target nearer to the goal: b turned by +angle about
    // the axis ends nearer a than b turned by -angle exactly when sin(angle) * axis . (b x a) > 0.
    // (Comparing the two dot products directly would tie in float for small angles and pick
    // the wrong side.) Only the sign of the sine matters; at 0 and pi the two turns tie.
    const float sinSign = (angle > 0.0f && angle < Math::kPi) ? 1.0f : (angle < 0.0f && angle > -Math::kPi) ? -1.0f : 0.0f;
    const bool plusIsNearer = sinSign * cross[axis] > 0.0f;
    float newAngle = plusIsNearer ? link.planeModeAngle + angle : link.planeModeAngle - angle;

    const float lower = link.limitMin[axis];
    const float upper = link.limitMax[axis];
    if (iteration == 0 && (newAngle < lower || newAngle > upper)) {
        // A knee straight at the start of the solve may pick the wrong side; bend it the way the
        // limits allow instead.
        if (-newAngle > lower && -newAngle < upper) {
            newAngle = -newAngle;
        } else {
            const float mid = (lower + upper) * 0.5f;
            if (std::fabs(mid + newAngle) < std::fabs(mid - newAngle)) {
                newAngle = -newAngle;
            }
        }
    }
    newAngle = Clamp(newAngle, lower, upper);
    link.planeModeAngle = newAngle;

    Math::vec3 unit;
    unit[axis] = 1.0f;
    const Math::vec3 halfSine = unit * std::sin(newAngle * 0.5f);
    return {halfSine.x, halfSine.y, halfSine.z, std::cos(newAngle * 0.5f)};
}

}  // namespace Vesma::IkStep
