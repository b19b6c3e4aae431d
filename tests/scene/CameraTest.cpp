#include "scene/Camera.h"

#include <cmath>
#include <initializer_list>

#include <gtest/gtest.h>

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

MouseState Drag(int x, int y, bool left = true, int wheel = 0) {
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

// A camera over the viewport, looking along +z (yaw 0) so movement is easy to read off.
struct FacingZ : Camera {
    FacingZ() {
        inputMode = Engine::kInputOverViewport;
        yaw = targetYaw = 0.0f;
    }
};

TEST(Camera, StartValues) {
    Camera c;
    EXPECT_EQ(c.position, vec3(0, 20, 50));
    EXPECT_EQ(c.targetPosition, vec3(0, 20, 50));
    EXPECT_EQ(c.yaw, 3.14f);
    EXPECT_EQ(c.targetYaw, 3.14f);
    EXPECT_EQ(c.pitch, 0.0f);
    EXPECT_EQ(c.roll, 0.0f);
    EXPECT_EQ(c.fovDegrees, 45.0f);
    EXPECT_EQ(c.targetFovDegrees, 45.0f);
    EXPECT_EQ(c.lastWheel, 0.0f);
}

TEST(Camera, KeyboardMovesTheTarget) {
    // dt = 0.1, yaw 0: one unit of movement per axis step (speed 1), five with left shift.
    struct Case {
        std::initializer_list<std::uint32_t> keys;
        vec3 move;
    };
    const Case cases[] = {
        {{VK::W}, {0, 0, 1}},
        {{VK::Up}, {0, 0, 1}},
        {{VK::S}, {0, 0, -1}},
        {{VK::W, VK::S}, {0, 0, -1}},  // both: backwards
        {{VK::Up, VK::Down}, {0, 0, -1}},
        {{VK::D}, {-1, 0, 0}},         // facing +z, right is -x
        {{VK::A}, {1, 0, 0}},
        {{VK::D, VK::A}, {1, 0, 0}},   // both: left
        {{VK::Right, VK::Left}, {1, 0, 0}},
        {{VK::F}, {0, 1, 0}},
        {{VK::Add}, {0, 1, 0}},
        {{VK::C}, {0, -1, 0}},
        {{VK::Subtract}, {0, -1, 0}},
        {{VK::F, VK::C}, {0, -1, 0}},
        {{VK::LeftShift, VK::W}, {0, 0, 5}},
        {{VK::LeftShift, VK::D, VK::F}, {-5, 5, 0}},
        {{VK::RightShift, VK::W}, {0, 0, 1}},  // only the left shift speeds up
        {{}, {0, 0, 0}},
    };
    int row = 0;
    for (const Case& c : cases) {
        FacingZ cam;
        cam.Update(0.1f, MouseState{}, Keys(c.keys));
        SCOPED_TRACE(row++);
        ExpectVec(cam.targetPosition - Camera::kStartPosition, c.move);
    }
}

TEST(Camera, MovementFollowsTheYaw) {
    Camera cam;  // yaw 3.14: looking along -z
    cam.inputMode = Engine::kInputOverViewport;
    cam.Update(0.1f, MouseState{}, Keys({VK::W}));
    const vec3 move = cam.targetPosition - Camera::kStartPosition;
    EXPECT_NEAR(move.x, std::sin(3.14f), 1e-5f);
    EXPECT_NEAR(move.z, std::cos(3.14f), 1e-5f);
    // Strafing right looking along -z moves to +x.
    Camera right;
    right.inputMode = Engine::kInputOverViewport;
    right.Update(0.1f, MouseState{}, Keys({VK::D}));
    EXPECT_NEAR(right.targetPosition.x, -std::cos(3.14f), 1e-5f);
}

TEST(Camera, PitchedMovementClimbsAndSinks) {
    for (float direction : {1.0f, -1.0f}) {
        FacingZ cam;
        cam.pitch = cam.targetPitch = 0.5f;
        cam.Update(0.1f, MouseState{}, Keys({direction > 0 ? VK::W : VK::S}));
        EXPECT_NEAR(cam.targetPosition.y - 20.0f, direction * 0.5f, 1e-5f);
        EXPECT_NEAR(cam.targetPosition.z - 50.0f, direction, 1e-5f);
    }
    FacingZ level;  // the climb uses the current pitch, not the target
    level.targetPitch = 0.5f;
    level.Update(0.1f, MouseState{}, Keys({VK::W}));
    EXPECT_NEAR(level.targetPosition.y, 20.0f, 1e-6f);
}

TEST(Camera, RollKeys) {
    struct Case {
        std::initializer_list<std::uint32_t> keys;
        float targetRoll;
    };
    const Case cases[] = {{{VK::Q}, -0.01f}, {{VK::E}, 0.01f}, {{VK::Q, VK::E}, 0.0f},
                          {{VK::LeftShift, VK::Q}, -0.05f}, {{VK::LeftShift, VK::E}, 0.05f}};
    for (const Case& c : cases) {
        FacingZ cam;
        cam.Update(0.1f, MouseState{}, Keys(c.keys));
        EXPECT_NEAR(cam.targetRoll, c.targetRoll, 1e-7f);
        EXPECT_NEAR(cam.roll, c.targetRoll * 0.5f, 1e-7f);  // smoothed by dt * 5 = 0.5
    }
}

TEST(Camera, SmoothingFollowsTheTargets) {
    FacingZ cam;
    cam.Update(0.1f, MouseState{}, Keys({VK::W}));
    EXPECT_NEAR(cam.position.z, 50.5f, 1e-5f);  // half of the way to 51
    cam.Update(0.1f, MouseState{}, Keys({}));
    EXPECT_NEAR(cam.position.z, 50.75f, 1e-5f);
    cam.targetFovDegrees = 35.0f;
    cam.targetYaw = 1.0f;
    cam.targetPitch = -1.0f;
    cam.Update(0.04f, MouseState{}, Keys({}));  // t = 0.2
    EXPECT_NEAR(cam.fovDegrees, 45.0f - 2.0f, 1e-4f);
    EXPECT_NEAR(cam.yaw, 0.2f, 1e-6f);
    EXPECT_NEAR(cam.pitch, -0.2f, 1e-6f);
}

TEST(Camera, ResetSnapsBackAndIgnoresTheMouse) {
    FacingZ cam;
    cam.position = cam.targetPosition = {5, 6, 7};
    cam.pitch = cam.targetPitch = 1.0f;
    cam.roll = cam.targetRoll = 0.3f;
    cam.fovDegrees = cam.targetFovDegrees = 80.0f;
    cam.lastWheel = 240.0f;
    cam.Update(0.1f, Drag(100, 100, true, 1200), Keys({VK::R, VK::W}));
    EXPECT_EQ(cam.position, Camera::kStartPosition);
    EXPECT_EQ(cam.targetPosition, Camera::kStartPosition);
    EXPECT_EQ(cam.yaw, 3.14f);
    EXPECT_EQ(cam.targetYaw, 3.14f);
    EXPECT_EQ(cam.pitch, 0.0f);
    EXPECT_EQ(cam.targetPitch, 0.0f);
    EXPECT_EQ(cam.roll, 0.0f);
    EXPECT_EQ(cam.targetRoll, 0.0f);
    EXPECT_EQ(cam.fovDegrees, 45.0f);
    EXPECT_EQ(cam.targetFovDegrees, 45.0f);
    EXPECT_EQ(cam.lastWheel, 240.0f);
    EXPECT_EQ(cam.inputMode.load(), Engine::kInputOverViewport);
}

TEST(Camera, MouseLookNeedsTheLeftButton) {
    FacingZ cam;
    cam.Update(0.1f, Drag(10, -20, false), Keys({}));
    EXPECT_EQ(cam.targetYaw, 0.0f);
    EXPECT_EQ(cam.targetPitch, 0.0f);

    cam.Update(0.1f, Drag(10, -20, true), Keys({}));
    EXPECT_NEAR(cam.targetYaw, -10 * 0.3f * 0.1f, 1e-6f);
    EXPECT_NEAR(cam.targetPitch, 20 * 0.3f * 0.1f, 1e-6f);

    FacingZ fast;
    fast.Update(0.1f, Drag(10, 0, true), Keys({VK::LeftShift}));
    EXPECT_NEAR(fast.targetYaw, -10 * 0.3f * 5 * 0.1f, 1e-6f);
}

TEST(Camera, PitchAndFieldOfViewStayInRange) {
    FacingZ cam;
    cam.Update(0.1f, Drag(0, -100000), Keys({}));
    EXPECT_EQ(cam.targetPitch, 1.5f);
    cam.Update(0.1f, Drag(0, 100000), Keys({}));
    EXPECT_EQ(cam.targetPitch, -1.5f);

    struct Case {
        int wheel;
        float fov;
    };
    // Totals seen one after the other; each update narrows by (last - now) / 120 degrees.
    const Case cases[] = {{360, 42.0f}, {360, 42.0f}, {240, 43.0f}, {-120000, 90.0f},
                          {-119880, 89.0f}, {120000, 30.0f}, {119880, 31.0f}};
    FacingZ zoom;
    for (const Case& c : cases) {
        zoom.Update(0.1f, Drag(0, 0, false, c.wheel), Keys({}));
        EXPECT_FLOAT_EQ(zoom.targetFovDegrees, c.fov) << c.wheel;
        EXPECT_EQ(zoom.lastWheel, static_cast<float>(c.wheel));
    }
}

TEST(Camera, PointerOutsideTheViewport) {
    FacingZ cam;
    cam.targetPosition = {0, 20, 60};  // still on its way
    cam.inputMode = Engine::kInputOutside;
    cam.Update(0.1f, Drag(50, 50, true, 600), Keys({VK::W, VK::E, VK::R}));
    EXPECT_EQ(cam.targetPosition, vec3(0, 20, 60));  // keys ignored, R included
    EXPECT_EQ(cam.targetYaw, 0.0f);                   // mouse ignored
    EXPECT_EQ(cam.targetRoll, 0.0f);
    EXPECT_EQ(cam.targetFovDegrees, 45.0f);           // wheel ignored...
    EXPECT_EQ(cam.lastWheel, 600.0f);                 // ...and forgotten
    EXPECT_NEAR(cam.position.z, 55.0f, 1e-5f);        // smoothing continues

    cam.inputMode = Engine::kInputOverViewport;
    cam.Update(0.1f, Drag(0, 0, false, 600), Keys({}));
    EXPECT_EQ(cam.targetFovDegrees, 45.0f);
}

TEST(Camera, ModeOneLooksButDoesNotMove) {
    FacingZ cam;
    cam.inputMode = Engine::kInputMouseOnly;
    cam.Update(0.1f, Drag(10, 0, true, 120), Keys({VK::W, VK::LeftShift}));
    EXPECT_EQ(cam.targetPosition, Camera::kStartPosition);
    EXPECT_NEAR(cam.targetYaw, -10 * 0.3f * 0.1f, 1e-6f);  // shift not read in this mode
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
    cam.Update(0.1f, mouse, keyboard);  // no new movement: no further turn
    EXPECT_NEAR(cam.targetYaw, -0.3f, 1e-6f);
    keyboard.OnKeyEvent(Engine::KeyEventType::KeyDown, VK::W, 0x11, false);
    cam.Update(0.1f, mouse, keyboard);
    EXPECT_GT(cam.targetPosition.z, 50.0f + 0.5f);
}

TEST(Camera, ProjectionMatchesTheHandDerivedMatrix) {
    const float fov = 0.8f;
    const Math::mat4 p = Camera::Projection(fov, 1920.0f, 1080.0f);
    const float h = 1.0f / std::tan(0.4f);
    const float range = 16384.0f / (1.0f - 16384.0f);
    const float want[4][4] = {{h * 1080.0f / 1920.0f, 0, 0, 0}, {0, h, 0, 0}, {0, 0, range, -1}, {0, 0, range, 0}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(p[r][c], want[r][c], 1e-4f) << r << "," << c;
    }
    // Near plane maps to depth 0, far plane to 1.
    EXPECT_NEAR(Math::TransformCoord({0, 0, -1}, p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Math::TransformCoord({0, 0, -16384}, p).z, 1.0f, 1e-6f);

    const Math::mat4 empty = Camera::Projection(fov, 0.0f, 0.0f);
    EXPECT_TRUE(std::isfinite(empty[0][0]));
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
    EXPECT_EQ(out.eyePosition.xyz(), vec3(0, 20, 50));
    EXPECT_EQ(out.eyePosition.w, 0.0f);

    // The eye goes to the origin and the view direction to -z.
    ExpectVec(Math::TransformPoint(cam.position, out.view), {0, 0, 0}, 1e-4f);
    ExpectVec(Math::TransformNormal(f, out.view), {0, 0, -1});
    // Roll turns the up vector about the view direction: the world up, seen from the camera,
    // leans by the roll angle.
    const vec3 worldUp = Math::TransformNormal({0, 1, 0}, out.view);
    const float lean = std::atan2(-worldUp.x, worldUp.y);
    EXPECT_NEAR(lean, 0.2f, 1e-4f);
}

TEST(Camera, CameraMotionView) {
    Vesma::CameraAnimation motion;
    Vesma::CameraKeyRecord key;
    key.frame = 0;
    key.interest = {0, 10, 0};
    key.distance = -45.0f;
    key.viewAngle = 30;
    ASSERT_TRUE(motion.Build(std::span<const Vesma::CameraKeyRecord>(&key, 1)));

    Vesma::CameraState last;
    const CameraOutputs out = Camera::CameraMotionView(motion, 12.0f, 1.0f / 30.0f, 640.0f, 480.0f, last);
    EXPECT_FLOAT_EQ(out.fovRadians, 0.5235988f);
    EXPECT_NEAR(out.fovRadians * 57.295826f, 30.0f, 5e-5f);
    EXPECT_FLOAT_EQ(out.stepSeconds, 1.0f / 30.0f);
    EXPECT_FLOAT_EQ(last.distance, -45.0f);
    EXPECT_EQ(last.interest, vec3(0, 10, 0));
    EXPECT_EQ(out.eyePosition.xyz(), vec3(0, 10, 45));
    ExpectVec(out.viewDirection.xyz(), {0, 0, -1});
    // Eye (0, 10, 45) looking at (0, 10, 44) with up +y is a pure translation by -eye.
    const float want[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, -10, -45, 1}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(out.view[r][c], want[r][c], 1e-5f) << r << "," << c;
    }
    const Math::mat4 projection = Camera::Projection(0.5235988f, 640.0f, 480.0f);
    EXPECT_EQ(out.projection, projection);
}

}  // namespace
