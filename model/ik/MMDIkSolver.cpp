#include "model/ik/MMDIkSolver.h"

#include "model/ik/IkStep.h"

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

using IkStep::Clamp;

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

bool MMDIkSolver::PreparePose() {
    if (!m_ikNode || !m_targetNode) return false;
    if (!m_poseValid) {
        for (const MMDIkLink& link : m_links) {
            if (!link.node) return false;
        }
        std::vector<MMDNode*> linkNodes;
        for (const MMDIkLink& link : m_links) linkNodes.push_back(link.node);
        m_pose.Build(linkNodes, m_targetNode, m_ikNode);
        m_poseValid = true;
        ++m_poseGeneration;
    }
    return true;
}

void MMDIkSolver::Solve() {
    if (!m_enable || !PreparePose()) {
        return;
    }
    BeginSolve();
    Iterate();
    m_pose.Commit();
}

void MMDIkSolver::BeginSolve(bool globals) {
    // Every link starts from IK rotate identity; the pose works on copies of the transforms and
    // hands the result to the nodes at the end.
    m_pose.Begin(globals);
    m_inverseInner.resize(m_links.size());
    for (std::size_t k = 0; k < m_links.size(); ++k) {
        MMDIkLink& link = m_links[k];
        link.prevAngle = {};
        link.planeModeAngle = 0.0f;
        link.saveIKRotate = quat::Identity();
        m_inverseInner[k] = IkStep::InverseOrZero(m_pose.GetLinkInnerRotate(k));
    }
}

void MMDIkSolver::Iterate() {
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
            const int axis = IkStep::SingleLimitedAxis(link.limitMin, link.limitMax);
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
        if (IkStep::BelowSmallestStep(a, b, axis)) {
            continue;
        }
        const quat rot = IkStep::LimitedTurn(a, b, axis, m_stepLimit);

        const quat& anim = m_pose.GetLinkInnerRotate(linkIndex);
        quat candidate = m_pose.GetLinkIKRotate(linkIndex) * anim * rot;
        if (link.axisLimit) candidate = IkStep::LimitToRanges(candidate, link, m_limitAngle);

        m_pose.SetLinkIKRotate(linkIndex, candidate * m_inverseInner[linkIndex]);
    }
}

void MMDIkSolver::SolvePlane(uint32_t iteration, std::size_t linkIndex, int axis, const Math::vec3& ikPosition) {
    MMDIkLink& link = m_links[linkIndex];
    vec3 a;
    vec3 b;
    DirectionsInSpaceOf(m_pose.GetLinkGlobal(linkIndex), ikPosition, m_pose.GetTargetPosition(), a, b);

    // The link's whole local rotation becomes the turn about the axis.
    const quat turn = IkStep::PlaneTurn(iteration, a, b, Math::Cross(b, a), axis, link, m_limitAngle);
    m_pose.SetLinkIKRotate(linkIndex, turn * m_inverseInner[linkIndex]);
}

}  // namespace Vesma
