#include "model/MMDIkSolver.h"

#include <algorithm>
#include <cmath>

namespace Vesma {

namespace {

using Math::kPi;
using Math::mat4;
using Math::quat;
using Math::vec3;

constexpr float kTwoPi = 2.0f * kPi;
constexpr float kLargestFloat = 3.4028235e38f;
// Below this squared length a quaternion has no usable inverse (the float epsilon).
constexpr float kInverseEpsilon = 1.1920929e-07f;

float Clamp(float v, float lo, float hi) { return std::min(std::max(v, lo), hi); }

quat InverseOrZero(const quat& q) {
    const float lengthSq = Math::Dot(q, q);
    if (lengthSq <= kInverseEpsilon) {
        return {0, 0, 0, 0};
    }
    const quat c = Math::Conjugate(q);
    return {c.x / lengthSq, c.y / lengthSq, c.z / lengthSq, c.w / lengthSq};
}

vec3 UnitAxis(int axis) {
    vec3 v;
    v[axis] = 1.0f;
    return v;
}

// The axis a limited link turns about alone, or -1. An axis qualifies when its own range is not
// empty and neither other axis has both bounds non-zero (a range touching zero doesn't block it).
int SingleLimitedAxis(const vec3& lo, const vec3& hi) {
    const auto closed = [&](int a) { return lo[a] == 0.0f && hi[a] == 0.0f; };
    const auto open = [&](int a) { return lo[a] != 0.0f && hi[a] != 0.0f; };
    for (int axis = 0; axis < 3; ++axis) {
        if (!closed(axis) && !open((axis + 1) % 3) && !open((axis + 2) % 3)) {
            return axis;
        }
    }
    return -1;
}

// The quaternion of RotationX(e.x) * RotationY(e.y) * RotationZ(e.z): x acts first.
quat QuaternionFromEulerXYZ(const vec3& e) {
    const quat qx = Math::QuaternionRotationAxis({1, 0, 0}, e.x);
    const quat qy = Math::QuaternionRotationAxis({0, 1, 0}, e.y);
    const quat qz = Math::QuaternionRotationAxis({0, 0, 1}, e.z);
    return Math::Normalize(qz * (qy * qx));
}

float WrapAngle(float a) {
    float r = std::fmod(a, kTwoPi);
    if (r < 0.0f) {
        r += kTwoPi;
    }
    return r;
}

// |a - b| once both are wrapped to one turn, folded into [0, pi].
float AngleDistance(float a, float b) {
    float d = WrapAngle(a) - WrapAngle(b);
    if (d > kPi) {
        d -= kTwoPi;
    } else if (d < -kPi) {
        d += kTwoPi;
    }
    return std::fabs(d);
}

// The angle between unit vectors a and b, given their cross product. acos of the dot product
// would be the same angle, but in float it can't resolve turns below about 3e-4 radians (the dot
// product rounds to 1), which stalls the solve well short of the goal.
float AngleBetween(const vec3& a, const vec3& b, const vec3& cross) {
    return std::atan2(Math::Length(cross), Math::Dot(a, b));
}

// Unit directions from the origin of `global` (an affine transform) to `p` and `q`, in its own
// space: (x - translation) * inverse(3x3 part), normalised. A singular transform gives zero
// vectors, as multiplying by the zero matrix a singular inverse yields would.
//
// With rows R0, R1, R2 of the 3x3 part, the inverse times det has the columns R1 x R2, R2 x R0 and
// R0 x R1, so component j of d * inverse * det is dot(column j, d); the common factor 1/det only
// matters through its sign once the results are normalised. The SSE form forms the same products
// and adds them in the same order as the scalar one, so both give the same bits.
#if defined(__SSE__)
inline __m128 CrossSse(__m128 a, __m128 b) {
    // (a.y b.z - a.z b.y, a.z b.x - a.x b.z, a.x b.y - a.y b.x)
    const __m128 aYzx = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1));
    const __m128 bZxy = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 1, 0, 2));
    const __m128 aZxy = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 0, 2));
    const __m128 bYzx = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1));
    return _mm_sub_ps(_mm_mul_ps(aYzx, bZxy), _mm_mul_ps(aZxy, bYzx));
}

void DirectionsInSpaceOf(const mat4& global, const vec3& p, const vec3& q, vec3& pDir, vec3& qDir) {
    const __m128 r0 = _mm_loadu_ps(global.m[0]);
    const __m128 r1 = _mm_loadu_ps(global.m[1]);
    const __m128 r2 = _mm_loadu_ps(global.m[2]);
    __m128 c0 = CrossSse(r1, r2);
    __m128 c1 = CrossSse(r2, r0);
    __m128 c2 = CrossSse(r0, r1);
    // det = m00 c0.x + m01 c0.y + m02 c0.z
    const auto& m = global.m;
    alignas(16) float c0s[4];
    _mm_store_ps(c0s, c0);
    const float det = m[0][0] * c0s[0] + m[0][1] * c0s[1] + m[0][2] * c0s[2];
    if (det == 0.0f) {
        pDir = qDir = vec3();
        return;
    }
    __m128 c3 = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(c0, c1, c2, c3);  // now c0 = (c0.x, c1.x, c2.x), and so on
    const float sign = det > 0.0f ? 1.0f : -1.0f;
    const vec3 origin = global.Translation();
    const auto local = [&](const vec3& x) {
        const vec3 d = x - origin;
        const __m128 v = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(c0, _mm_set1_ps(d.x)), _mm_mul_ps(c1, _mm_set1_ps(d.y))),
                                               _mm_mul_ps(c2, _mm_set1_ps(d.z))),
                                    _mm_set1_ps(sign));
        alignas(16) float out[4];
        _mm_store_ps(out, v);
        return Math::Normalize(vec3(out[0], out[1], out[2]));
    };
    pDir = local(p);
    qDir = local(q);
}
#else
void DirectionsInSpaceOf(const mat4& global, const vec3& p, const vec3& q, vec3& pDir, vec3& qDir) {
    const auto& m = global.m;
    const float c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const float c10 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const float c20 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const float det = m[0][0] * c00 + m[0][1] * c10 + m[0][2] * c20;
    if (det == 0.0f) {
        pDir = qDir = vec3();
        return;
    }
    // Rows of the inverse, times det (the adjugate); the common factor 1/det only matters through
    // its sign once the results are normalised.
    const vec3 r0(c00, m[0][2] * m[2][1] - m[0][1] * m[2][2], m[0][1] * m[1][2] - m[0][2] * m[1][1]);
    const vec3 r1(c10, m[0][0] * m[2][2] - m[0][2] * m[2][0], m[0][2] * m[1][0] - m[0][0] * m[1][2]);
    const vec3 r2(c20, m[0][1] * m[2][0] - m[0][0] * m[2][1], m[0][0] * m[1][1] - m[0][1] * m[1][0]);
    const float sign = det > 0.0f ? 1.0f : -1.0f;
    const vec3 origin = global.Translation();
    const auto local = [&](const vec3& x) {
        const vec3 d = x - origin;
        return Math::Normalize((r0 * d.x + r1 * d.y + r2 * d.z) * sign);
    };
    pDir = local(p);
    qDir = local(q);
}
#endif

float SafeAsin(float v) { return std::asin(Clamp(v, -1.0f, 1.0f)); }

// tan(0.001 degrees): a turn is below the smallest step when sin < cos * this (and cos > 0).
constexpr float kTanSmallestStep = 1.7453292e-05f;

/// The turn of a link that brings direction b onto a (both unit vectors), about b x a, limited to
/// `limit.angle` radians; identity when b x a is zero. For turns the limit doesn't cut and that are well short of half a turn, the quaternion
/// comes straight from the cross and dot products, (b x a, 1 + a.b) normalised, which is the
/// half-angle rotation without any trigonometry; everything else takes the angle itself.
quat LimitedTurn(const vec3& a, const vec3& b, const vec3& cross, const StepLimit& limit) {
    if (cross == vec3()) return quat::Identity();
    const float sine = Math::Length(cross);
    const float cosine = Math::Dot(a, b);
    const bool ordinaryLimit = limit.angle > 0.0f && limit.angle < kPi;
    if (ordinaryLimit || limit.angle >= kPi) {
        // The turn exceeds the limit exactly when sin(angle - limit) > 0 (both in [0, pi]).
        const bool clamped = ordinaryLimit && sine * limit.cos - cosine * limit.sin > 0.0f;
        if (clamped) {
            const vec3 n = cross / sine;
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

}  // namespace

Math::vec3 DecomposeEuler(const Math::mat4& matrix, const Math::vec3& reference) {
    const auto& m = matrix.m;
    float x;
    float z;
    const float y = SafeAsin(-m[0][2]);
    if (1.0f - std::fabs(m[0][2]) < 1e-6f) {
        // Gimbal lock: only x - z (y = 90 degrees) or x + z (y = -90 degrees) is determined. Hold
        // whichever of the two the reference has nearer to a multiple of pi, at 0 or pi by the sign
        // of its cosine, and solve for the other from the row that then holds its sine and cosine.
        // (Solving from the sine alone would return the mirrored angle whenever the cosine's sign
        // disagrees with the held value, which is a different rotation.)
        const float sy = -m[0][2] > 0.0f ? 1.0f : -1.0f;
        if (std::fabs(std::sin(reference.x)) < std::fabs(std::sin(reference.z))) {
            const bool forward = std::cos(reference.x) > 0.0f;
            x = forward ? 0.0f : kPi;
            z = forward ? std::atan2(-m[1][0], m[1][1]) : std::atan2(m[1][0], -m[1][1]);
        } else {
            const bool forward = std::cos(reference.z) > 0.0f;
            z = forward ? 0.0f : kPi;
            x = forward ? std::atan2(-m[2][1], sy * m[2][0]) : std::atan2(m[2][1], -sy * m[2][0]);
        }
    } else {
        x = std::atan2(m[1][2], m[2][2]);
        z = std::atan2(m[0][1], m[0][0]);
    }

    // Every triple (x + pi, pi - y, z + pi) up to full turns is the same rotation. The order
    // below (plus before minus, pi - y before -pi - y) decides ties: the first wins.
    const auto distance = [&](const vec3& e) {
        return AngleDistance(e.x, reference.x) + AngleDistance(e.y, reference.y) +
               AngleDistance(e.z, reference.z);
    };
    vec3 best(x, y, z);
    float bestDistance = distance(best);
    for (const float sx : {kPi, -kPi}) {
        for (const float ny : {kPi - y, -kPi - y}) {
            for (const float sz : {kPi, -kPi}) {
                const vec3 candidate(x + sx, ny, z + sz);
                const float d = distance(candidate);
                if (d < bestDistance) {
                    best = candidate;
                    bestDistance = d;
                }
            }
        }
    }
    return best;
}

StepLimit::StepLimit(float limitAngle)
    : angle(limitAngle),
      sin(std::sin(limitAngle)),
      cos(std::cos(limitAngle)),
      halfSin(std::sin(limitAngle * 0.5f)),
      halfCos(std::cos(limitAngle * 0.5f)) {}

void MMDIkSolver::AddIKLink(MMDNode* node, bool axisLimit, const Math::vec3& limitMin, const Math::vec3& limitMax) {
    MMDIkLink link;
    link.node = node;
    link.axisLimit = axisLimit;
    if (axisLimit) {
        link.limitMin = limitMin;
        link.limitMax = limitMax;
    }
    m_links.push_back(link);
    m_poseValid = false;
}

const std::u16string& MMDIkSolver::GetName() const {
    static const std::u16string kNoName;
    return m_ikNode ? m_ikNode->GetName() : kNoName;
}

void MMDIkSolver::Solve() {
    if (!m_enable || !m_ikNode || !m_targetNode) {
        return;
    }
    if (!m_poseValid) {
        for (const MMDIkLink& link : m_links) {
            if (!link.node) return;
        }
        std::vector<MMDNode*> linkNodes;
        for (const MMDIkLink& link : m_links) linkNodes.push_back(link.node);
        m_pose.Build(linkNodes, m_targetNode, m_ikNode);
        m_poseValid = true;
    }

    // Every link starts from IK rotate identity; the pose works on copies of the transforms and
    // hands the result to the nodes at the end.
    m_pose.Begin();
    m_inverseInner.resize(m_links.size());
    for (std::size_t k = 0; k < m_links.size(); ++k) {
        MMDIkLink& link = m_links[k];
        link.prevAngle = {};
        link.planeModeAngle = 0.0f;
        link.saveIKRotate = quat::Identity();
        m_inverseInner[k] = InverseOrZero(m_pose.GetLinkInnerRotate(k));
    }

    float best = kLargestFloat;
    for (uint32_t i = 0; i < m_iterateCount; ++i) {
        SolveCore(i);
        const float d = Math::Length(m_pose.GetTargetPosition() - m_pose.GetIKPosition());
        if (!(d < best)) {
            // This iteration made things worse (or no better): go back to the best one and stop.
            // A distance that isn't a number (non-finite positions) stops here too, so a hostile
            // loop count can't keep the solve running.
            for (std::size_t k = 0; k < m_links.size(); ++k) m_pose.SetLinkIKRotate(k, m_links[k].saveIKRotate);
            break;
        }
        for (std::size_t k = 0; k < m_links.size(); ++k) m_links[k].saveIKRotate = m_pose.GetLinkIKRotate(k);
        best = d;
    }
    m_pose.Commit();
}

void MMDIkSolver::SolveCore(uint32_t iteration) {
    // The goal is read once per pass; the target is re-read for every link, since each link moves it.
    const vec3 ikPosition = m_pose.GetIKPosition();
    for (std::size_t linkIndex = 0; linkIndex < m_links.size(); ++linkIndex) {
        MMDIkLink& link = m_links[linkIndex];
        MMDNode* node = link.node;
        if (node == m_targetNode) {
            continue;
        }
        if (link.axisLimit) {
            const int axis = SingleLimitedAxis(link.limitMin, link.limitMax);
            if (axis >= 0) {
                SolvePlane(iteration, linkIndex, axis, ikPosition);
                continue;
            }
        }

        // Goal and target directions in the link's own space.
        vec3 a;
        vec3 b;
        DirectionsInSpaceOf(m_pose.GetLinkGlobal(linkIndex), ikPosition, m_pose.GetTargetPosition(), a, b);

        // Links already turned to within 0.001 degrees of the goal are left alone.
        const vec3 axis = Math::Cross(b, a);
        if (Math::Length(axis) <= Math::Dot(a, b) * kTanSmallestStep) {
            continue;
        }
        const quat rot = LimitedTurn(a, b, axis, m_stepLimit);

        const quat& anim = m_pose.GetLinkInnerRotate(linkIndex);
        quat candidate = m_pose.GetLinkIKRotate(linkIndex) * anim * rot;
        if (link.axisLimit) {
            vec3 euler = DecomposeEuler(Math::RotationQuaternion(candidate), link.prevAngle);
            euler = Math::Min(link.limitMax, Math::Max(link.limitMin, euler));
            // Each step turns every axis by at most the limit angle.
            for (int c = 0; c < 3; ++c) {
                link.prevAngle[c] += Clamp(euler[c] - link.prevAngle[c], -m_limitAngle, m_limitAngle);
            }
            candidate = QuaternionFromEulerXYZ(link.prevAngle);
        }

        m_pose.SetLinkIKRotate(linkIndex, candidate * m_inverseInner[linkIndex]);
    }
}

void MMDIkSolver::SolvePlane(uint32_t iteration, std::size_t linkIndex, int axis, const Math::vec3& ikPosition) {
    MMDIkLink& link = m_links[linkIndex];
    vec3 a;
    vec3 b;
    DirectionsInSpaceOf(m_pose.GetLinkGlobal(linkIndex), ikPosition, m_pose.GetTargetPosition(), a, b);

    const vec3 cross = Math::Cross(b, a);
    const float angle = Clamp(AngleBetween(a, b, cross), -m_limitAngle, m_limitAngle);
    const vec3 axisVector = UnitAxis(axis);

    // Turn towards whichever side brings the target nearer to the goal: b turned by +angle about
    // the axis ends nearer a than b turned by -angle exactly when sin(angle) * axis . (b x a) > 0.
    // (Comparing the two dot products directly would tie in float for small angles and pick
    // the wrong side.) Only the sign of the sine matters; at 0 and pi the two turns tie.
    const float sinSign = (angle > 0.0f && angle < kPi) ? 1.0f : (angle < 0.0f && angle > -kPi) ? -1.0f : 0.0f;
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

    // The link's whole local rotation becomes the turn about the axis.
    const vec3 halfSine = axisVector * std::sin(newAngle * 0.5f);
    const quat turn(halfSine.x, halfSine.y, halfSine.z, std::cos(newAngle * 0.5f));
    m_pose.SetLinkIKRotate(linkIndex, turn * m_inverseInner[linkIndex]);
}

}  // namespace Vesma
