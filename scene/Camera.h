#pragma once
// The free camera that the user flies with keyboard and mouse, and the view/projection the
// renderer uses, from either the free camera or the scene's camera motion.
//
// Target fields are what input changes directly; each matching current field follows its
// target with exponential smoothing (factor dt * 5 per update).
#include <atomic>
#include <cstdint>

#include "core/Math.h"
#include "model/motion/CameraAnimation.h"
#include "scene/Keyboard.h"
#include "scene/Mouse.h"

namespace Engine {

/// What one camera update hands to the renderer.
struct CameraOutputs {
    Math::mat4 view;
    Math::mat4 projection;
    Math::vec4 eyePosition;    ///< xyz = eye, w = 0
    Math::vec4 viewDirection;  ///< unit xyz, w = 0
    float fovRadians = 0.0f;   ///< vertical field of view
    float stepSeconds = 0.0f;  ///< time step the update stood for
};

/// Pointer position relative to the viewport, written by the UI thread.
enum CameraInputMode : std::int32_t {
    kInputOverViewport = 0,  ///< keyboard movement and mouse look on
    kInputMouseOnly = 1,     ///< never set by the application: movement off, mouse look on
    kInputOutside = 2,       ///< keyboard movement and mouse look off; wheel turns dropped
};

class Camera {
public:
    static constexpr Math::vec3 kStartPosition{0.0f, 20.0f, 50.0f};
    static constexpr float kStartYaw = 3.14f;  // deliberately 3.14, not pi
    static constexpr float kStartFovDegrees = 45.0f;
    static constexpr float kPitchLimit = 1.5f;
    static constexpr float kMinFovDegrees = 30.0f;
    static constexpr float kMaxFovDegrees = 90.0f;
    static constexpr float kNearPlane = 1.0f;
    static constexpr float kFarPlane = 16384.0f;
    static constexpr float kDegreesToRadians = 0.017453292f;
    static constexpr float kWheelNotch = 120.0f;

    Camera() = default;
    virtual ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    /// Free camera update over dt seconds: reads the mouse, then the keyboard, and applies them.
    void Update(float dt, Mouse& mouse, const Keyboard& keyboard);
    /// The same update with the device states already read.
    void Update(float dt, const MouseState& mouse, const KeyboardState& keyboard);

    /// Puts position, angles and field of view (current and target) back to the start values.
    /// lastWheel and inputMode are kept.
    void Reset();

    /// Share of the picture's height a framed box fills.
    static constexpr float kFrameFill = 0.8f;

    /// Looks at the box [lo, hi] from the front (the start direction, level, no roll) from the
    /// distance at which its front face fills kFrameFill of the picture's height with the
    /// current field of view, or its width, for a box too wide for the picture at `aspect`
    /// (width / height). Current and target values both move, so the view is there at once.
    void FrameBox(const Math::vec3& lo, const Math::vec3& hi, float aspect);

    /// View and projection of the free camera for a render target of the given size.
    CameraOutputs FreeCameraView(float dt, float renderWidth, float renderHeight) const;

    /// View and projection from an evaluated camera motion state.
    static CameraOutputs CameraMotionView(const Vesma::CameraState& state, float stepSeconds, float renderWidth,
                                          float renderHeight);
    /// Evaluates the motion at the animation frame, copies the evaluated state into
    /// lastEvaluated and returns the view and projection it gives.
    static CameraOutputs CameraMotionView(Vesma::CameraAnimation& motion, float frame, float stepSeconds,
                                          float renderWidth, float renderHeight, Vesma::CameraState& lastEvaluated);

    /// Right-handed perspective with the engine's near and far planes; depth 0 at near, 1 at far.
    static Math::mat4 Projection(float fovRadians, float renderWidth, float renderHeight);

    Math::vec3 position = kStartPosition;
    Math::vec3 targetPosition = kStartPosition;
    float pitch = 0.0f;
    float yaw = kStartYaw;
    float roll = 0.0f;
    float fovDegrees = kStartFovDegrees;
    float targetPitch = 0.0f;
    float targetYaw = kStartYaw;
    float targetRoll = 0.0f;
    float targetFovDegrees = kStartFovDegrees;
    /// Wheel total seen by the previous update.
    float lastWheel = 0.0f;
    /// CameraInputMode; written by the UI thread's pointer handlers without the engine lock.
    /// Starts outside: the camera ignores keys until the pointer first enters the viewport.
    std::atomic<std::int32_t> inputMode{kInputOutside};
};

}  // namespace Engine
