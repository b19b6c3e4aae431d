#pragma once
// Camera motion: the camera keys of a VMD file as a sorted key list, evaluated per frame into a
// CameraState, and the eye / look-at point / up vector derived from that state.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/Math.h"
#include "model/motion/BezierCurve.h"
#include "model/io/VMDFile.h"

namespace Vesma {

/// Index of each curve in CameraKey::curves.
enum CameraCurve : int {
    kCameraCurveInterestX = 0,
    kCameraCurveInterestY,
    kCameraCurveInterestZ,
    kCameraCurveRotation,
    kCameraCurveDistance,
    kCameraCurveFov,
    kCameraCurveCount
};

/// One camera key in model space.
struct CameraKey {
    std::int32_t frame = 0;  ///< the file's frame number as signed
    Math::vec3 interest;     ///< model space (file z negated)
    Math::vec3 rotation;     ///< radians, as in the file
    float distance = 0.0f;   ///< as in the file; negative values are usual
    float fov = 0.0f;        ///< vertical field of view, radians
    /// Shape of the segment that ends at this key (from the previous key to this one).
    std::array<BezierCurve, kCameraCurveCount> curves{};
};

/// Evaluated camera: what a key (or a blend of two keys) says at one frame. 32 bytes.
struct CameraState {
    Math::vec3 interest{0.0f, 10.0f, 0.0f};
    Math::vec3 rotation{0.0f, 0.0f, 0.0f};
    float distance = 50.0f;
    float fov = 0.5235988f;  ///< radians (30 degrees)
};
static_assert(sizeof(CameraState) == 32);

/// Eye, look-at point and up vector of a CameraState (model space).
struct CameraLookAt {
    Math::vec3 lookAt;
    Math::vec3 eye;
    Math::vec3 up;
};

/// Degrees-to-radians factor used for camera angles.
inline constexpr float kCameraDegreesToRadians = 0.017453292f;

class CameraAnimation {
public:
    /// Replaces the key list with the file's camera keys (sorted by frame) and resets the state
    /// and the cached index. Returns false, leaving no keys, when the file has no camera keys.
    bool Build(const VMDFile& vmd) { return Build(vmd.cameraKeys); }
    bool Build(std::span<const VMDCameraKey> records);

    /// Updates the current state for the float frame (30 per second). Does nothing without keys.
    void Evaluate(float frame);

    const CameraState& State() const { return m_state; }
    const std::vector<CameraKey>& Keys() const { return m_keys; }
    std::size_t CachedIndex() const { return m_cachedIndex; }

    /// Converts one file record into a model-space key.
    static CameraKey MakeKey(const VMDCameraKey& record);

    /// With the rotation M that turns a vector about z by -rz first, then about x by rx, then
    /// about y by ry: eye = interest - distance * M(0, 0, 1), look-at point = eye - M(0, 0, 1)
    /// (one unit along the view direction), up = M(0, 1, 0). The usual negative distance puts
    /// the eye behind the interest point, facing it; a positive one puts it past the interest
    /// point, facing away.
    static CameraLookAt LookAt(const CameraState& state);

private:
    std::vector<CameraKey> m_keys;
    CameraState m_state;
    std::size_t m_cachedIndex = 0;
};

}  // namespace Vesma
