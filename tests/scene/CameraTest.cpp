#include "scene/Camera.h"

#include <cmath>
#include <initializer_list>

#include <gtest/gtest.h>

#include "tests/support/VmdWriter.h"

namespace {

using Engine::Camera;
using Engine::CameraOutputs;
using Engine::KeyboardState;
using Engine::MouseState;
using Math::vec3;
namespace VK = Engine::VirtualKey;

KeyboardState Keys(std::initializer_list<std::uint32_t> down) {
    KeyboardState s;
    for (std::uint32_t key : down) s.bits[key >> 6] |= std::uint64_t{1} << (key & 63);
    return s;
}

MouseState Mouse(int x, int y, bool left, int wheel = 0) {
    MouseState m;
    m.leftButton = left;
    m.x = x;
    m.y = y;
    m.scrollWheelValue = wheel;
    return m;
}

void ExpectVec(vec3 got, vec3 want, float tolerance = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

// Over the viewport and looking along +z (yaw 0), so movement reads off the axes. With dt = 0.1
// one movement step is one unit and the smoothing factor is 0.5.
struct FacingZ : Camera {
    FacingZ() {
        inputMode = Engine::kInputOverViewport;
        yaw = targetYaw = 0.0f;
    }
};

TEST(Camera, KeyboardMovesTheTarget) {
    const struct {
        std::initializer_list<std::uint32_t> keys;
        vec3 move;
        float pitch;
    } cases[] = {
        {{VK::W}, {0, 0, 1}, 0},           {{VK::Up}, {0, 0, 1}, 0},          {{VK::W, VK::S}, {0, 0, -1}, 0},
        {{VK::Up, VK::Down}, {0, 0, -1}, 0}, {{VK::D}, {-1, 0, 0}, 0},        {{VK::D, VK::A}, {1, 0, 0}, 0},
        {{VK::Right, VK::Left}, {1, 0, 0}, 0}, {{VK::Add}, {0, 1, 0}, 0},     {{VK::F, VK::C}, {0, -1, 0}, 0},
        {{VK::Subtract}, {0, -1, 0}, 0},   {{VK::LeftShift, VK::D, VK::F}, {-5, 5, 0}, 0},
        {{VK::RightShift, VK::W}, {0, 0, 1}, 0},  // only the left shift speeds up
        {{VK::W}, {0, 0.5f, 1}, 0.5f},     {{VK::S}, {0, -0.5f, -1}, 0.5f},  // pitched: climbs or sinks
    };
    for (const auto& c : cases) {
        FacingZ cam;
        cam.pitch = c.pitch;  // the climb uses the current pitch...
        cam.targetPitch = 1.0f;  // ...not the target
        cam.Update(0.1f, MouseState{}, Keys(c.keys));
        ExpectVec(cam.targetPosition - Camera::kStartPosition, c.move);
        ExpectVec(cam.position - Camera::kStartPosition, c.move * 0.5f);
    }
    Camera start;  // yaw 3.14 looks along -z: forward follows (sin yaw, cos yaw)
    start.inputMode = Engine::kInputOverViewport;
    start.Update(0.1f, MouseState{}, Keys({VK::W}));
    ExpectVec(start.targetPosition - Camera::kStartPosition, {std::sin(3.14f), 0, std::cos(3.14f)});
}

TEST(Camera, RollKeys) {
    const struct {
        std::initializer_list<std::uint32_t> keys;
        float targetRoll;
    } cases[] = {{{VK::Q}, -0.01f}, {{VK::E}, 0.01f}, {{VK::Q, VK::E}, 0.0f}, {{VK::LeftShift, VK::Q}, -0.05f}};
    for (const auto& c : cases) {
        FacingZ cam;
        cam.Update(0.1f, MouseState{}, Keys(c.keys));
        EXPECT_NEAR(cam.targetRoll, c.targetRoll, 1e-7f);
        EXPECT_NEAR(cam.roll, c.targetRoll * 0.5f, 1e-7f);
    }
}

TEST(Camera, ResetSnapsBackAndIgnoresTheMouse) {
    FacingZ cam;
    cam.position = cam.targetPosition = {5, 6, 7};
    cam.pitch = cam.targetPitch = 1.0f;
    cam.roll = cam.targetRoll = 0.3f;
    cam.fovDegrees = cam.targetFovDegrees = 80.0f;
    cam.lastWheel = 240.0f;
    cam.Update(0.1f, Mouse(100, 100, true, 1200), Keys({VK::R, VK::W}));
    EXPECT_EQ(cam.position, Camera::kStartPosition);
    EXPECT_EQ(cam.targetPosition, Camera::kStartPosition);
    for (float v : {cam.pitch, cam.targetPitch, cam.roll, cam.targetRoll}) EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(cam.yaw, 3.14f);
    EXPECT_EQ(cam.targetYaw, 3.14f);
    EXPECT_EQ(cam.fovDegrees, 45.0f);
    EXPECT_EQ(cam.targetFovDegrees, 45.0f);
    EXPECT_EQ(cam.lastWheel, 240.0f);
    EXPECT_EQ(cam.inputMode.load(), Engine::kInputOverViewport);
}

TEST(Camera, MouseLookAndClamps) {
    FacingZ cam;
    cam.Update(0.1f, Mouse(10, -20, false), Keys({}));  // button up: nothing
    EXPECT_EQ(cam.targetYaw, 0.0f);
    EXPECT_EQ(cam.targetPitch, 0.0f);
    cam.Update(0.1f, Mouse(10, -20, true), Keys({}));
    EXPECT_NEAR(cam.targetYaw, -0.3f, 1e-6f);
    EXPECT_NEAR(cam.targetPitch, 0.6f, 1e-6f);
    EXPECT_NEAR(cam.pitch, 0.3f, 1e-6f);
    cam.Update(0.1f, Mouse(10, 0, true), Keys({VK::LeftShift}));
    EXPECT_NEAR(cam.targetYaw, -1.8f, 1e-5f);
    cam.Update(0.1f, Mouse(0, -100000, true), Keys({}));
    EXPECT_EQ(cam.targetPitch, 1.5f);
    cam.Update(0.1f, Mouse(0, 100000, true), Keys({}));
    EXPECT_EQ(cam.targetPitch, -1.5f);

    // Wheel totals seen one after the other; each update narrows by (last - now) / 120 degrees.
    const struct {
        int wheel;
        float fov;
    } wheel[] = {{360, 42}, {360, 42}, {240, 43}, {-120000, 90}, {-119880, 89}, {120000, 30}, {119880, 31}};
    for (const auto& w : wheel) {
        cam.Update(0.1f, Mouse(0, 0, false, w.wheel), Keys({}));
        EXPECT_FLOAT_EQ(cam.targetFovDegrees, w.fov) << w.wheel;
    }
}

TEST(Camera, PointerOutsideTheViewport) {
    FacingZ cam;
    cam.targetPosition = {0, 20, 60};
    cam.inputMode = Engine::kInputOutside;
    cam.Update(0.1f, Mouse(50, 50, true, 600), Keys({VK::W, VK::E, VK::R}));
    EXPECT_EQ(cam.targetPosition, vec3(0, 20, 60));  // keys ignored, R included
    EXPECT_EQ(cam.targetYaw, 0.0f);
    EXPECT_EQ(cam.targetRoll, 0.0f);
    EXPECT_EQ(cam.targetFovDegrees, 45.0f);
    EXPECT_NEAR(cam.position.z, 55.0f, 1e-5f);  // smoothing goes on
    cam.inputMode = Engine::kInputOverViewport;
    cam.Update(0.1f, Mouse(0, 0, false, 600), Keys({}));
    EXPECT_EQ(cam.targetFovDegrees, 45.0f);  // the turn made outside was dropped

    cam.inputMode = Engine::kInputMouseOnly;  // looks, but does not move (nor read shift)
    cam.Update(0.1f, Mouse(10, 0, true, 720), Keys({VK::W, VK::LeftShift}));
    EXPECT_EQ(cam.targetPosition, vec3(0, 20, 60));
    EXPECT_NEAR(cam.targetYaw, -0.3f, 1e-6f);
    EXPECT_FLOAT_EQ(cam.targetFovDegrees, 44.0f);
}

TEST(Camera, UpdateReadsEachMovementOnce) {
    Engine::Keyboard keyboard;
    Engine::Mouse mouse;
    mouse.SetMode(MouseState::PositionMode::Relative);
    mouse.OnPointerButtons(Engine::PointerDeviceType::Mouse, {true, false, false, false, false});
    FacingZ cam;
    mouse.OnRawMovement(10, 0);
    cam.Update(0.1f, mouse, keyboard);
    cam.Update(0.1f, mouse, keyboard);
    EXPECT_NEAR(cam.targetYaw, -0.3f, 1e-6f);
}

TEST(Camera, ProjectionMatchesTheHandDerivedMatrix) {
    const Math::mat4 p = Camera::Projection(0.8f, 1920.0f, 1080.0f);
    const float h = 1.0f / std::tan(0.4f), range = 16384.0f / (1.0f - 16384.0f);
    const float want[4][4] = {{h * 1080 / 1920, 0, 0, 0}, {0, h, 0, 0}, {0, 0, range, -1}, {0, 0, range, 0}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(p[r][c], want[r][c], 1e-4f) << r << "," << c;
    }
    EXPECT_NEAR(Math::TransformCoord({0, 0, -1}, p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Math::TransformCoord({0, 0, -16384}, p).z, 1.0f, 1e-6f);
    EXPECT_TRUE(std::isfinite(Camera::Projection(0.8f, 0.0f, 0.0f)[0][0]));
}

TEST(Camera, FreeCameraView) {
    Camera cam;
    cam.pitch = 0.3f;
    cam.roll = 0.2f;
    const CameraOutputs out = cam.FreeCameraView(0.016f, 800.0f, 600.0f);
    EXPECT_FLOAT_EQ(out.stepSeconds, 0.016f);
    EXPECT_FLOAT_EQ(out.fovRadians, 45.0f * 0.017453292f);
    const vec3 f{std::sin(3.14f) * std::cos(0.3f), std::sin(0.3f), std::cos(3.14f) * std::cos(0.3f)};
    ExpectVec(out.viewDirection.xyz(), f);
    EXPECT_EQ(out.viewDirection.w, 0.0f);
    EXPECT_EQ(out.eyePosition, Math::vec4(0, 20, 50, 0));
    ExpectVec(Math::TransformPoint(cam.position, out.view), {0, 0, 0}, 1e-4f);
    ExpectVec(Math::TransformNormal(f, out.view), {0, 0, -1});
    // Seen from the camera, the world's up leans by the roll angle.
    const vec3 worldUp = Math::TransformNormal({0, 1, 0}, out.view);
    EXPECT_NEAR(std::atan2(-worldUp.x, worldUp.y), 0.2f, 1e-4f);
}

TEST(Camera, CameraMotionView) {
    Vesma::CameraAnimation motion;
    const std::vector<Vesma::VMDCameraKey> keys{TestSupport::MakeCameraKey(0, -45.0f, {0, 10, 0}, {}, 30)};
    ASSERT_TRUE(motion.Build(keys));
    Vesma::CameraState last;
    last.distance = 0.0f;
    const CameraOutputs out = Camera::CameraMotionView(motion, 12.0f, 1.0f / 30, 640.0f, 480.0f, last);
    EXPECT_FLOAT_EQ(out.fovRadians, 0.5235988f);
    EXPECT_NEAR(out.fovRadians * 57.295826f, 30.0f, 5e-5f);  // shown as 30.00
    EXPECT_FLOAT_EQ(out.stepSeconds, 1.0f / 30);
    EXPECT_FLOAT_EQ(last.distance, -45.0f);
    EXPECT_EQ(out.eyePosition, Math::vec4(0, 10, 45, 0));
    ExpectVec(out.viewDirection.xyz(), {0, 0, -1});
    // Eye (0, 10, 45) looking at (0, 10, 44) with up +y: a pure translation by -eye.
    const float want[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, -10, -45, 1}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(out.view[r][c], want[r][c], 1e-5f) << r << "," << c;
    }
    EXPECT_EQ(out.projection, Camera::Projection(0.5235988f, 640.0f, 480.0f));
}

// A pitched, turned and rolled camera keeps the interest point in the middle of the picture at
// |distance| ahead; the roll tilts the picture. A positive distance leaves it behind the camera.
TEST(Camera, CameraMotionViewOfAPitchedRolledCamera) {
    Vesma::CameraState state;
    state.interest = {2, 10, -1};
    state.rotation = {0.5f, 0.3f, 0.4f};
    state.distance = -30.0f;
    Vesma::CameraState level = state;
    level.rotation.z = 0.0f;
    const vec3 levelUp = Vesma::CameraAnimation::LookAt(level).up;

    const CameraOutputs out = Camera::CameraMotionView(state, 1.0f / 30, 640.0f, 480.0f);
    ExpectVec(Math::TransformPoint(state.interest, out.view), {0, 0, -30}, 1e-4f);
    // Seen through the rolled camera, the level camera's up leans by the roll angle.
    const vec3 seenUp = Math::TransformNormal(levelUp, out.view);
    EXPECT_NEAR(std::atan2(-seenUp.x, seenUp.y), 0.4f, 1e-5f);
    EXPECT_NEAR(seenUp.z, 0.0f, 1e-5f);

    state.distance = 12.0f;
    const CameraOutputs away = Camera::CameraMotionView(state, 1.0f / 30, 640.0f, 480.0f);
    ExpectVec(Math::TransformPoint(state.interest, away.view), {0, 0, 12}, 1e-4f);
    ExpectVec(away.viewDirection.xyz(), out.viewDirection.xyz());
}

}  // namespace
