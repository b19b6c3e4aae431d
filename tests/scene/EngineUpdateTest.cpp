// The engine object's update step without a device: the clocks, the physics reset rule, the
// camera source and the per-frame camera block, and parallel model updates.
#include <cmath>
#include <cstring>

#include "tests/scene/EngineFixture.h"

namespace {

using ProjectTavrin::PlaybackState;
using ProjectTavrin::SceneEntry;
using SceneTest::EngineTest;

constexpr char16_t kNone[] = u"<None>";
constexpr char16_t kCamera[] = u"<Camera>";

class EngineUpdate : public EngineTest {
protected:
    void LoadRig() { Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}}); }
    // The hair triangle's first vertex: 10 units up at rest, lower once its body has fallen.
    float HairHeight() { return Engine().GetScene().models[0]->GetOutputVertices()[0].position.y; }
    const ProjectTavrin::UpdateReport& Last() { return Engine().GetLastUpdate(); }
    Math::vec4 Eye() { return Engine().GetCameraBuffer().cameraWorldPos; }
};

TEST_F(EngineUpdate, WithoutASceneOnlyTheFrameClockRunsAndItDoesNotBuildUpAStep) {
    Step(500);
    Step(500);
    EXPECT_FALSE(Last().ran);
    EXPECT_EQ(Engine().GetFrameClock().GetFrameCount(), 2u);
    LoadRig();
    // The long wait before the load is not taken as the first step.
    Step(10);
    ASSERT_TRUE(Last().ran);
    EXPECT_FLOAT_EQ(Last().stepSeconds, 0.01f);
}

TEST_F(EngineUpdate, PlayPauseWithoutASceneChangesNothing) {
    EXPECT_EQ(Engine().PlayPause(), PlaybackState::NoScene);
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
}

TEST_F(EngineUpdate, AnimationFollowsThePlaybackClockOnly) {
    LoadRig();
    Step(100);
    EXPECT_EQ(Last().animationFrame, 0.0f) << "playback starts paused";
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    for (int i = 0; i < 3; ++i) Step(100);
    EXPECT_NEAR(Last().animationSeconds, 0.3, 1e-9);
    EXPECT_NEAR(Last().animationFrame, 9.0f, 1e-4f);
    // The motion moves the root 0.1 per frame, and the vertex on the root with it.
    EXPECT_NEAR(Engine().GetScene().models[0]->GetOutputVertices()[3].position.x, 2.9f, 1e-4f);
    // A stall is cut to 0.1 s of animation.
    Step(2000);
    EXPECT_NEAR(Last().animationSeconds, 0.4, 1e-9);
    EXPECT_FLOAT_EQ(Last().stepSeconds, 0.1f);
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Paused);
    Step(100);
    EXPECT_NEAR(Last().animationSeconds, 0.4, 1e-9);
}

TEST_F(EngineUpdate, StopRewindsAndResetsPhysicsExactlyOnce) {
    LoadRig();
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    for (int i = 0; i < 5; ++i) {
        Step(100);
        EXPECT_FALSE(Last().physicsReset);
    }
    EXPECT_LT(HairHeight(), 9.5f) << "the hair body falls while physics steps";

    Engine().Stop();
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), 0u);
    Step(16);
    EXPECT_TRUE(Last().physicsReset);
    EXPECT_EQ(Last().animationFrame, 0.0f);
    EXPECT_NEAR(HairHeight(), 10.0f, 1e-3f) << "reset puts the body back on its bone";

    // Still at zero, still paused: no second reset; physics steps again and the hair falls.
    for (int i = 0; i < 3; ++i) {
        Step(100);
        EXPECT_FALSE(Last().physicsReset) << "update " << i;
    }
    EXPECT_LT(HairHeight(), 9.9f);
}

TEST_F(EngineUpdate, ResetRequestResetsOnceAndIsCleared) {
    LoadRig();
    Step(100);
    Engine().physicsResetRequest = true;
    Step(100);
    EXPECT_TRUE(Last().physicsReset);
    EXPECT_FALSE(Engine().physicsResetRequest.load());
    Step(100);
    EXPECT_FALSE(Last().physicsReset);
}

TEST_F(EngineUpdate, ResetRequestWaitsForAModel) {
    Load({});
    Engine().physicsResetRequest = true;
    Step(100);
    EXPECT_FALSE(Last().physicsReset);
    EXPECT_TRUE(Engine().physicsResetRequest.load()) << "nothing was reset, so the request stays";
}

TEST_F(EngineUpdate, PausedAnimationKeepsItsFrameWhileTheFreeCameraMoves) {
    LoadRig();
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    Step(100);
    Step(100);
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Paused);
    Step(100);
    const float frame = Last().animationFrame;
    EXPECT_GT(frame, 0.0f);

    Engine().GetCamera().inputMode = Engine::kInputOverViewport;
    Engine().GetKeyboard().OnKeyEvent(Engine::KeyEventType::KeyDown, Engine::VirtualKey::W, 0, false);
    Math::vec4 eye = Eye();
    for (int i = 0; i < 3; ++i) {
        Step(50);
        EXPECT_EQ(Last().animationFrame, frame);
        EXPECT_FALSE(Last().cameraMotionDrove);
        EXPECT_NE(Eye().z, eye.z) << "update " << i;
        eye = Eye();
    }
}

TEST_F(EngineUpdate, CameraMotionDrivesTheViewUnlessTheFreeCameraIsForced) {
    // Camera keys at distance -45 looking at (0, 10, 0): the eye is at (0, 10, 45) with 30 degrees.
    Load({{files.Model("rig.pmx", u"rig"), kNone}, {kCamera, files.CameraMotion("cam.vmd", -45)}});
    Step(16);
    EXPECT_TRUE(Last().cameraMotionDrove);
    EXPECT_NEAR(Eye().x, 0.0f, 1e-4f);
    EXPECT_NEAR(Eye().y, 10.0f, 1e-4f);
    EXPECT_NEAR(Eye().z, 45.0f, 1e-4f);
    EXPECT_NEAR(Engine().GetFovRadians(), 0.5235988f, 1e-6f);
    EXPECT_EQ(Engine().GetScene().cameraMotion->lastEvaluated.distance, -45.0f);

    Engine().forceFreeCamera = true;
    Step(16);
    EXPECT_FALSE(Last().cameraMotionDrove);
    EXPECT_NEAR(Eye().y, 20.0f, 1e-4f) << "the free camera starts at (0, 20, 50)";
    EXPECT_NEAR(Eye().z, 50.0f, 1e-4f);
    EXPECT_NEAR(Engine().GetFovRadians(), 45.0f * 0.017453292f, 1e-6f);
    EXPECT_FLOAT_EQ(Engine().GetStepSeconds(), 0.016f);

    Engine().forceFreeCamera = false;
    Step(16);
    EXPECT_TRUE(Last().cameraMotionDrove);
    EXPECT_NEAR(Eye().z, 45.0f, 1e-4f);
    // The camera motion's step is the playback clock's, which is paused.
    EXPECT_EQ(Engine().GetStepSeconds(), 0.0f);
}

TEST_F(EngineUpdate, CameraBlockCarriesLastFramesMatricesSizeAndFrameCount) {
    LoadRig();
    Engine().GetCamera().inputMode = Engine::kInputOverViewport;
    Engine().GetKeyboard().OnKeyEvent(Engine::KeyEventType::KeyDown, Engine::VirtualKey::D, 0, false);
    Step(16);
    const ProjectTavrin::CameraBuffer first = Engine().GetCameraBuffer();
    Step(16);
    const ProjectTavrin::CameraBuffer& now = Engine().GetCameraBuffer();
    EXPECT_EQ(now.prevView, first.view);
    EXPECT_EQ(now.prevProjection, first.projection);
    EXPECT_FALSE(now.view == first.view) << "the camera strafes";
    EXPECT_EQ(now.frameCount, static_cast<int32_t>(Engine().GetFrameClock().GetFrameCount()));
    EXPECT_EQ(now.screenSize.x, 1280.0f);
    EXPECT_EQ(now.screenSize.y, 720.0f);
    EXPECT_FLOAT_EQ(now.screenSize.z, 1.0f / 1280.0f);
    EXPECT_FLOAT_EQ(now.screenSize.w, 1.0f / 720.0f);
    EXPECT_EQ(now.NearZ, 1.0f);
    EXPECT_EQ(now.FarZ, 16384.0f);
    const Math::mat4 product = (now.view * now.projection) * now.inverseViewProjection;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(product[r][c], r == c ? 1.0f : 0.0f, 1e-3f) << r << "," << c;
    EXPECT_NEAR(std::sqrt(now.cameraViewDir.x * now.cameraViewDir.x + now.cameraViewDir.y * now.cameraViewDir.y +
                          now.cameraViewDir.z * now.cameraViewDir.z),
                1.0f, 1e-5f);
    EXPECT_EQ(now.cameraViewDir.w, 0.0f);
    // The shaders read the matrices transposed.
    EXPECT_EQ(now.ForShaders().view, Math::Transpose(now.view));

    Engine().Resize(640, 480);
    Step(16);
    EXPECT_EQ(Engine().GetCameraBuffer().screenSize.x, 640.0f);
    EXPECT_EQ(Engine().GetCameraBuffer().screenSize.y, 480.0f);
}

// Three models with motion and falling hair, updated in parallel, then the same scene and the
// same steps one model at a time: every output vertex has the same bits.
TEST_F(EngineUpdate, ParallelModelUpdatesGiveTheSameResultsAsOneAtATime) {
    const std::u16string model = files.Model("rig.pmx", u"rig"), motion = files.Motion("walk.vmd");
    const std::vector<SceneEntry> entries(3, SceneEntry{model, motion});
    std::vector<std::vector<Vesma::ModelVertex>> results[2];
    for (int pass = 0; pass < 2; ++pass) {
        Engine().GetModelUpdateRunner().SetParallel(pass == 0);
        Engine().Stop();
        Load(entries);
        ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
        for (int i = 0; i < 20; ++i) Step(5 + i * 7);
        for (const auto& m : Engine().GetScene().models) results[pass].push_back(m->GetOutputVertices());
    }
    ASSERT_EQ(results[0].size(), 3u);
    for (size_t m = 0; m < 3; ++m) {
        ASSERT_EQ(results[0][m].size(), results[1][m].size());
        EXPECT_EQ(std::memcmp(results[0][m].data(), results[1][m].data(), results[0][m].size() * sizeof(Vesma::ModelVertex)), 0)
            << "model " << m;
    }
    // The models moved at all (otherwise equality would prove nothing).
    EXPECT_LT(results[0][0][0].position.y, 9.9f);
}

TEST(ModelUpdateRunner, RunsEveryJobOnceAndPassesOnAnException) {
    ProjectTavrin::ModelUpdateRunner runner(4);
    runner.SetParallel(true);
    std::vector<std::atomic<int>> runs(11);
    runner.Run(runs.size(), [&](size_t i) { ++runs[i]; });
    for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i].load(), 1) << i;
    EXPECT_THROW(runner.Run(5, [](size_t i) {
        if (i == 3) throw std::runtime_error("job");
    }), std::runtime_error);
    // The runner still works afterwards.
    runner.Run(runs.size(), [&](size_t i) { ++runs[i]; });
    EXPECT_EQ(runs[10].load(), 2);
}

}  // namespace
