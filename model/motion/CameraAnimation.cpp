#include "model/motion/CameraAnimation.h"

#include <algorithm>

#include "model/motion/KeySearch.h"

namespace Vesma {

namespace {

CameraState StateOf(const CameraKey& key) {
    return {key.interest, key.rotation, key.distance, key.fov};
}

float Blend(float a, float b, float factor) { return a + (b - a) * factor; }

}  // namespace

CameraKey CameraAnimation::MakeKey(const VMDCameraKey& record) {
    CameraKey key;
    key.frame = static_cast<std::int32_t>(record.frame);
    key.interest = {record.interest.x, record.interest.y, -record.interest.z};
    key.rotation = record.rotation;
    key.distance = record.distance;
    key.fov = static_cast<float>(record.viewAngle) * kCameraDegreesToRadians;
    // Camera curves store each group of four bytes as x1, x2, y1, y2 (bone keys differ).
    const auto& b = record.interpolation;
    for (int k = 0; k < kCameraCurveCount; ++k) {
        key.curves[k] = BezierCurve::FromBytes(b[4 * k], b[4 * k + 2], b[4 * k + 1], b[4 * k + 3]);
    }
    return key;
}

bool CameraAnimation::Build(std::span<const VMDCameraKey> records) {
    m_keys.clear();
    m_keys.reserve(records.size());
    for (const VMDCameraKey& record : records) m_keys.push_back(MakeKey(record));
    std::stable_sort(m_keys.begin(), m_keys.end(),
                     [](const CameraKey& a, const CameraKey& b) { return a.frame < b.frame; });
    m_state = CameraState{};
    m_cachedIndex = 0;
    return !m_keys.empty();
}

void CameraAnimation::Evaluate(float frame) {
    const KeyLookup found = FindKey(m_keys, frame, m_cachedIndex);
    switch (found.position) {
        case KeyPosition::Empty:
            return;
        case KeyPosition::First:
        case KeyPosition::PastEnd:
            m_state = StateOf(m_keys[found.index]);
            return;
        case KeyPosition::Between:
            break;
    }

    const CameraKey& k0 = m_keys[found.index - 1];
    const CameraKey& k1 = m_keys[found.index];
    // Keys on neighbouring frames are a cut: hold the earlier key until the later one is reached.
    if (static_cast<std::int64_t>(k1.frame) - k0.frame < 2) {
        m_state = StateOf(k0);
        return;
    }

    const float t = KeyProgress(frame, k0.frame, k1.frame);
    const auto& curves = k1.curves;
    CameraState state;
    state.interest.x = Blend(k0.interest.x, k1.interest.x, curves[kCameraCurveInterestX].Evaluate(t));
    state.interest.y = Blend(k0.interest.y, k1.interest.y, curves[kCameraCurveInterestY].Evaluate(t));
    state.interest.z = Blend(k0.interest.z, k1.interest.z, curves[kCameraCurveInterestZ].Evaluate(t));
    // Euler angles blend linearly, all three with the one rotation curve.
    const float r = curves[kCameraCurveRotation].Evaluate(t);
    state.rotation = {Blend(k0.rotation.x, k1.rotation.x, r), Blend(k0.rotation.y, k1.rotation.y, r),
                      Blend(k0.rotation.z, k1.rotation.z, r)};
    state.distance = Blend(k0.distance, k1.distance, curves[kCameraCurveDistance].Evaluate(t));
    state.fov = Blend(k0.fov, k1.fov, curves[kCameraCurveFov].Evaluate(t));
    m_state = state;
}

CameraLookAt CameraAnimation::LookAt(const CameraState& state) {
    // Roll first, about the view axis, so that it only spins the picture; then pitch about x,
    // then yaw about y. The row-vector rotations of Math turn a vector the same way a
    // right-handed column-vector rotation does, and a row-vector product applies its left factor
    // first: this is Ry(ry) * Rx(rx) * Rz(-rz) in the column-vector reading.
    const Math::mat4 m = Math::RotationZ(-state.rotation.z) * Math::RotationX(state.rotation.x) *
                         Math::RotationY(state.rotation.y);
    const Math::vec3 forward = Math::TransformNormal({0.0f, 0.0f, 1.0f}, m);
    const Math::vec3 up = Math::TransformNormal({0.0f, 1.0f, 0.0f}, m);
    CameraLookAt result;
    // Distances are usually negative: the eye stands back from the interest point along +forward
    // and looks at it. A positive distance puts the eye past the interest point, looking away.
    result.eye = state.interest - forward * state.distance;
    result.lookAt = result.eye - forward;
    result.up = up;
    return result;
}

}  // namespace Vesma
