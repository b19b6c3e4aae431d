#include "scene/Camera.h"

#include <algorithm>
#include <cmath>

namespace Engine {

using Math::vec3;
using Math::vec4;

Camera::~Camera() = default;

void Camera::Reset() {
    position = kStartPosition;
    targetPosition = kStartPosition;
    pitch = 0.0f;
    yaw = kStartYaw;
    roll = 0.0f;
    fovDegrees = kStartFovDegrees;
    targetPitch = 0.0f;
    targetYaw = kStartYaw;
    targetRoll = 0.0f;
    targetFovDegrees = kStartFovDegrees;
}

void Camera::FrameBox(const vec3& lo, const vec3& hi, float aspect) {
    const vec3 size = hi - lo;
    const vec3 centre = (lo + hi) * 0.5f;
    const float halfFov = std::tan(fovDegrees * kDegreesToRadians * 0.5f);
    // Distance from the box's front face at which its half height (or half width) takes up
    // kFrameFill of the picture's half height (or half width).
    const float forHeight = size.y * 0.5f / (kFrameFill * halfFov);
    const float forWidth = aspect > 0.0f ? size.x * 0.5f / (kFrameFill * halfFov * aspect) : 0.0f;
    const float distance = std::max({forHeight, forWidth, 2.0f * kNearPlane}) + size.z * 0.5f;
    pitch = targetPitch = 0.0f;
    yaw = targetYaw = kStartYaw;
    roll = targetRoll = 0.0f;
    targetFovDegrees = fovDegrees;
    const vec3 forward{std::sin(yaw), 0.0f, std::cos(yaw)};
    position = targetPosition = centre - forward * distance;
}

void Camera::Update(float dt, Mouse& mouse, const Keyboard& keyboard) {
    const MouseState mouseState = mouse.GetState();
    const KeyboardState keyboardState = keyboard.GetState();
    Update(dt, mouseState, keyboardState);
}

void Camera::Update(float dt, const MouseState& mouse, const KeyboardState& keys) {
    const std::int32_t mode = inputMode.load(std::memory_order_relaxed);
    float speed = 1.0f;

    if (mode != kInputMouseOnly && mode != kInputOutside) {
        if (keys.IsKeyDown(VirtualKey::R)) {
            Reset();
            return;
        }
        if (keys.IsKeyDown(VirtualKey::LeftShift)) speed = 5.0f;

        // Opposite keys held together: the second one of each pair wins.
        float forward = 0.0f;
        if (keys.IsKeyDown(VirtualKey::Up) || keys.IsKeyDown(VirtualKey::W)) forward = 1.0f;
        if (keys.IsKeyDown(VirtualKey::Down) || keys.IsKeyDown(VirtualKey::S)) forward = -1.0f;
        float strafe = 0.0f;
        if (keys.IsKeyDown(VirtualKey::Right) || keys.IsKeyDown(VirtualKey::D)) strafe = 1.0f;
        if (keys.IsKeyDown(VirtualKey::Left) || keys.IsKeyDown(VirtualKey::A)) strafe = -1.0f;
        float vertical = 0.0f;
        if (keys.IsKeyDown(VirtualKey::F) || keys.IsKeyDown(VirtualKey::Add)) vertical = 1.0f;
        if (keys.IsKeyDown(VirtualKey::C) || keys.IsKeyDown(VirtualKey::Subtract)) vertical = -1.0f;

        const double rollStep = static_cast<double>(dt) * 0.1 * speed;
        if (keys.IsKeyDown(VirtualKey::Q)) targetRoll = static_cast<float>(targetRoll - rollStep);
        if (keys.IsKeyDown(VirtualKey::E)) targetRoll = static_cast<float>(targetRoll + rollStep);

        const float c = std::cos(yaw);
        const float s = std::sin(yaw);
        const float step = 10.0f * dt * speed;
        targetPosition.x += (strafe * c - forward * s) * -step;
        targetPosition.z += (strafe * s + forward * c) * step;
        // Moving along a pitched view also climbs or sinks with the current pitch.
        const float climb = (forward == 1.0f ? pitch : 0.0f) + vertical - (forward == -1.0f ? pitch : 0.0f);
        targetPosition.y += climb * step;
    }

    const float t = dt * 5.0f;
    position += (targetPosition - position) * t;
    roll += (targetRoll - roll) * t;

    if (mode != kInputOutside) {
        float p = targetPitch;
        if (mouse.leftButton) {
            const float look = 0.3f * speed * dt;
            targetYaw -= static_cast<float>(mouse.x) * look;
            p = targetPitch - static_cast<float>(mouse.y) * look;
        }
        targetPitch = std::max(std::min(p, kPitchLimit), -kPitchLimit);
        // Turning the wheel away from the user narrows the view, one degree per notch.
        const float fov = targetFovDegrees + (lastWheel - static_cast<float>(mouse.scrollWheelValue)) / kWheelNotch;
        targetFovDegrees = std::max(std::min(fov, kMaxFovDegrees), kMinFovDegrees);
    }

    pitch += (targetPitch - pitch) * t;
    yaw += (targetYaw - yaw) * t;
    fovDegrees += (targetFovDegrees - fovDegrees) * t;
    // Also outside the viewport, so wheel turns made there are dropped.
    lastWheel = static_cast<float>(mouse.scrollWheelValue);
}

Math::mat4 Camera::Projection(float fovRadians, float renderWidth, float renderHeight) {
    // A zero-sized target (minimised window) would give an infinite or NaN aspect ratio.
    const float aspect = (renderWidth > 0.0f && renderHeight > 0.0f) ? renderWidth / renderHeight : 1.0f;
    return Math::PerspectiveFovRH(fovRadians, aspect, kNearPlane, kFarPlane);
}

CameraOutputs Camera::FreeCameraView(float dt, float renderWidth, float renderHeight) const {
    CameraOutputs out;
    out.stepSeconds = dt;
    out.fovRadians = fovDegrees * kDegreesToRadians;
    out.projection = Projection(out.fovRadians, renderWidth, renderHeight);
    const vec3 forward{std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
    const vec3 up = Math::Rotate({0.0f, 1.0f, 0.0f}, Math::QuaternionRotationAxis(forward, roll));
    out.view = Math::LookAtRH(position, position + forward, up);
    out.eyePosition = vec4(position, 0.0f);
    out.viewDirection = vec4(Math::Normalize(forward), 0.0f);
    return out;
}

CameraOutputs Camera::CameraMotionView(const Vesma::CameraState& state, float stepSeconds, float renderWidth,
                                       float renderHeight) {
    const Vesma::CameraLookAt lookAt = Vesma::CameraAnimation::LookAt(state);
    CameraOutputs out;
    out.stepSeconds = stepSeconds;
    out.fovRadians = state.fov;
    out.projection = Projection(state.fov, renderWidth, renderHeight);
    out.view = Math::LookAtRH(lookAt.eye, lookAt.lookAt, lookAt.up);
    out.eyePosition = vec4(lookAt.eye, 0.0f);
    out.viewDirection = vec4(Math::Normalize(lookAt.lookAt - lookAt.eye), 0.0f);
    return out;
}

CameraOutputs Camera::CameraMotionView(Vesma::CameraAnimation& motion, float frame, float stepSeconds,
                                       float renderWidth, float renderHeight, Vesma::CameraState& lastEvaluated) {
    motion.Evaluate(frame);
    lastEvaluated = motion.State();
    return CameraMotionView(lastEvaluated, stepSeconds, renderWidth, renderHeight);
}

}  // namespace Engine
