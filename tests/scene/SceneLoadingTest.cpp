// Scene loading through the engine object, without a device: the entries become models, motions
// and a camera motion in order, failures are reported per file, and one load runs at a time.
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "tests/scene/EngineFixture.h"

namespace {

using ProjectTavrin::SceneEntry;
using SceneTest::EngineTest;

constexpr char16_t kNone[] = u"<None>";
constexpr char16_t kCamera[] = u"<Camera>";
constexpr char16_t kSample[] = u"<Sample>";

using SceneLoading = EngineTest;

TEST_F(SceneLoading, EmptyListLeavesAnEmptyReadyScene) {
    Load({{files.Model("a.pmx", u"A"), kNone}, {kCamera, files.CameraMotion("cam.vmd", -40)}});
    ASSERT_EQ(Engine().GetScene().ModelCount(), 1u);
    Load({});
    EXPECT_TRUE(Engine().GetScene().Empty());
    EXPECT_EQ(Engine().GetScene().motions.size(), 0u);
    EXPECT_FALSE(Engine().GetScene().cameraMotion);
    EXPECT_TRUE(Log().empty()) << Utf16ToUtf8(Log());
}

TEST_F(SceneLoading, ModelsFollowEntryOrderAndTheSameFileTwiceGivesTwoModels) {
    const std::u16string a = files.Model("a.pmx", u"A"), b = files.Model("b.pmx", u"B");
    const std::u16string motion = files.Motion("walk.vmd");
    Load({{a, motion}, {kCamera, kNone}, {b, kNone}, {kSample, kNone}, {a, motion}});
    const ProjectTavrin::Scene& scene = Engine().GetScene();
    ASSERT_EQ(scene.ModelCount(), 4u);
    ASSERT_EQ(scene.motions.size(), 4u);
    EXPECT_EQ(scene.models[0]->GetModelName(), u"A");
    EXPECT_EQ(scene.models[1]->GetModelName(), u"B");
    EXPECT_EQ(scene.models[2]->GetModelPath(), kSample);
    EXPECT_EQ(scene.models[3]->GetModelName(), u"A");
    EXPECT_NE(scene.models[0], scene.models[3]);
    ASSERT_TRUE(scene.motions[0] && scene.motions[3]);
    EXPECT_NE(scene.motions[0], scene.motions[3]);
    EXPECT_EQ(scene.motions[0]->GetModel(), scene.models[0]);
    EXPECT_EQ(scene.motions[3]->GetModel(), scene.models[3]);
    EXPECT_FALSE(scene.motions[1]);
    EXPECT_FALSE(scene.motions[2]);
    EXPECT_FALSE(scene.cameraMotion) << "a camera entry with <None> adds nothing";
    // No GPU sides without a device, but one slot per model.
    EXPECT_EQ(scene.modelGpus.size(), 4u);
}

TEST_F(SceneLoading, CameraEntriesReplaceEachOther) {
    const std::u16string near = files.CameraMotion("near.vmd", -20), far = files.CameraMotion("far.vmd", -80);
    Load({{kCamera, near}, {kCamera, far}});
    ASSERT_TRUE(Engine().GetScene().cameraMotion);
    EXPECT_FLOAT_EQ(Engine().GetScene().cameraMotion->evaluator.Keys().front().distance, -80.0f);
    EXPECT_EQ(Engine().GetScene().ModelCount(), 0u);

    // A later camera entry with <None> keeps the earlier one.
    Load({{kCamera, near}, {kCamera, kNone}});
    ASSERT_TRUE(Engine().GetScene().cameraMotion);
    EXPECT_FLOAT_EQ(Engine().GetScene().cameraMotion->evaluator.Keys().front().distance, -20.0f);
    EXPECT_TRUE(Log().empty()) << Utf16ToUtf8(Log());
}

TEST_F(SceneLoading, CameraFileWithoutCameraKeysLeavesNoCameraMotionAtAll) {
    Load({{kCamera, files.CameraMotion("cam.vmd", -20)}, {kCamera, files.MotionWithoutCamera("body.vmd")}});
    EXPECT_FALSE(Engine().GetScene().cameraMotion);
    EXPECT_EQ(Log(), u"相机使用的VMD没有相机数据！\r\n");
}

TEST_F(SceneLoading, UnreadableCameraFileIsNamedAndGivesNoCameraMotion) {
    const std::u16string missing = files.Path("missing-camera.vmd");
    Load({{kCamera, files.CameraMotion("cam.vmd", -20)}, {kCamera, missing}});
    EXPECT_FALSE(Engine().GetScene().cameraMotion);
    EXPECT_TRUE(Contains(Log(), missing)) << Utf16ToUtf8(Log());
    EXPECT_TRUE(Contains(Log(), u"相机使用的VMD没有相机数据！"));
}

TEST_F(SceneLoading, MotionThatCannotBeBuiltLeavesTheModelWithoutMotionAndLoadingGoesOn) {
    const std::u16string broken = files.BrokenMotion("broken.vmd");
    const std::u16string a = files.Model("a.pmx", u"A");
    Load({{a, broken}, {a, files.Motion("walk.vmd")}});
    const ProjectTavrin::Scene& scene = Engine().GetScene();
    ASSERT_EQ(scene.ModelCount(), 2u);
    EXPECT_FALSE(scene.motions[0]);
    EXPECT_TRUE(scene.motions[1]);
    EXPECT_TRUE(Contains(Log(), broken)) << Utf16ToUtf8(Log());
    EXPECT_TRUE(Contains(Log(), u"ReadMotion Fail.")) << "the reader's reason is kept";
}

TEST_F(SceneLoading, UnreadableModelIsNamedStaysEmptyAndTheNextEntriesLoad) {
    const std::u16string missing = files.Path("missing.pmx");
    files.Write("garbage.pmx", {'P', 'M', 'X', ' ', 1, 2, 3});
    const std::u16string garbage = files.Path("garbage.pmx");
    Load({{missing, files.Motion("walk.vmd")}, {garbage, kNone}, {files.Model("a.pmx", u"A"), kNone}});
    const ProjectTavrin::Scene& scene = Engine().GetScene();
    ASSERT_EQ(scene.ModelCount(), 3u);
    EXPECT_TRUE(scene.models[0]->GetRestVertices().empty());
    EXPECT_TRUE(scene.models[1]->GetRestVertices().empty());
    EXPECT_EQ(scene.models[2]->GetModelName(), u"A");
    EXPECT_TRUE(Contains(Log(), missing)) << Utf16ToUtf8(Log());
    EXPECT_TRUE(Contains(Log(), garbage)) << Utf16ToUtf8(Log());
}

TEST_F(SceneLoading, MotionIsWarmedUpAndPosedAtFrameZero) {
    // The motion holds the root at x = 0 at frame 0; the warm-up blends it in and the load ends
    // with the rest pose evaluated at frame 0, physics reset: the hair triangle sits at rest.
    Load({{files.Model("a.pmx", u"A"), files.Motion("walk.vmd")}});
    Vesma::PMXModel& model = *Engine().GetScene().models[0];
    Engine().GetScene().motions[0]->Evaluate(0.0f);
    model.UpdateMorphsAndNodes();
    model.EndUpdate();
    model.UpdateVertices();
    EXPECT_NEAR(model.GetOutputVertices()[0].position.y, 10.0f, 1e-3f);
    EXPECT_NEAR(model.GetOutputVertices()[0].position.x, 0.0f, 1e-3f);
}

// Each phase is timed where it runs: files are parsed only for file entries, physics settles
// only under a motion, and nothing reaches textures or GPU buffers without a device.
TEST_F(SceneLoading, LoadPhasesAreTimedWhereTheyRun) {
    Load({{files.Model("a.pmx", u"A"), files.Motion("walk.vmd")}});
    ProjectTavrin::SceneLoadTimes t = Engine().GetScene().loadTimes;
    EXPECT_GT(t.parseMs, 0.0);
    EXPECT_GT(t.modelBuildMs, 0.0);
    EXPECT_GT(t.physicsMs, 0.0);
    EXPECT_EQ(t.texturesMs, 0.0);
    EXPECT_EQ(t.gpuUploadMs, 0.0);

    Load({{kSample, kNone}});
    t = Engine().GetScene().loadTimes;
    EXPECT_EQ(t.parseMs, 0.0) << "the built-in sample is not read from a file";
    EXPECT_GT(t.modelBuildMs, 0.0);
    EXPECT_EQ(t.physicsMs, 0.0);

    Load({});
    EXPECT_EQ(Engine().GetScene().loadTimes.TotalMs(), 0.0);
}

TEST_F(SceneLoading, ASecondRequestWhileOneRunsIsDroppedWithAMessage) {
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    ASSERT_TRUE(Engine().RunSceneTask([&] {
        std::unique_lock<std::mutex> guard(lock);
        released.wait(guard, [&] { return release; });
    }));
    EXPECT_FALSE(Engine().IsSceneReady());
    EXPECT_FALSE(Engine().LoadScene({{kSample, kNone}}));
    EXPECT_TRUE(Contains(Log(), ProjectTavrin::kSceneStillLoadingMessage));
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    released.notify_all();
    EXPECT_EQ(Engine().WaitForSceneTask(), WorkStatus::Completed);
    EXPECT_TRUE(Engine().IsSceneReady());
    EXPECT_EQ(Engine().GetScene().ModelCount(), 0u) << "the dropped load never ran";
    // Once the first has finished, a new request runs.
    Load({{kSample, kNone}});
    EXPECT_EQ(Engine().GetScene().ModelCount(), 1u);
}

TEST_F(SceneLoading, TaskThatThrowsLeavesTheSceneNotReadyAndReleasesTheLock) {
    ASSERT_TRUE(Engine().RunSceneTask([] { throw std::runtime_error("broken task"); }));
    EXPECT_EQ(Engine().WaitForSceneTask(), WorkStatus::Error);
    EXPECT_EQ(Engine().SceneTaskError(), "broken task");
    EXPECT_FALSE(Engine().IsSceneReady());
    // The loop still gets the lock (it would hang otherwise) and does nothing without a scene.
    Step(10);
    EXPECT_FALSE(Engine().GetLastUpdate().ran);
    Load({{kSample, kNone}});
}

}  // namespace
