// The generated demo scene in the engine on the device, loaded from the build tree's data folder
// like any user's files: the stage, the dancing mannequin and the camera motion load, and the
// render loop plays the dance with the validation layer clean while the camera motion drives the
// view.
#include <cmath>
#include <filesystem>

#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "tests/scene/EngineGpuFixture.h"

namespace {

using ProjectTavrin::PlaybackState;

std::u16string DemoFile(const char* name) {
    return Utf8ToUtf16((std::filesystem::path(TAVRIN_DEMO_DIR) / name).string());
}

class DemoSceneGpu : public SceneTest::EngineGpuTest {
protected:
    DemoSceneGpu() : EngineGpuTest(96, 64) {}
};

TEST_F(DemoSceneGpu, DancePlaysWithTheCameraMotionCleanly) {
    ASSERT_TRUE(engine->LoadScene({{DemoFile("stage.pmx"), u"<None>"},
                                   {DemoFile("mannequin.pmx"), DemoFile("dance.vmd")},
                                   {u"<Camera>", DemoFile("camera.vmd")}}));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    const ProjectTavrin::Scene& scene = engine->GetScene();
    ASSERT_EQ(scene.ModelCount(), 2u);
    for (size_t i = 0; i < scene.ModelCount(); ++i) {
        ASSERT_TRUE(scene.modelGpus[i]);
        EXPECT_TRUE(scene.modelGpus[i]->HasGpuResources());
    }

    ASSERT_EQ(engine->PlayPause(), PlaybackState::Playing);
    for (int i = 0; i < 90; ++i) {
        engine->RunLoopIteration();
        ASSERT_TRUE(engine->GetLastUpdate().ran) << "iteration " << i;
        EXPECT_TRUE(engine->GetLastUpdate().cameraMotionDrove) << "iteration " << i;
        ASSERT_FALSE(Core().IsDeviceLost());
        ASSERT_EQ(NewValidationMessages(), 0u) << "iteration " << i << ": " << Device().LastValidationMessage();
    }
    for (const Vesma::ModelVertex& v : scene.models[1]->GetOutputVertices()) {
        ASSERT_TRUE(std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z));
    }
    EXPECT_TRUE(MessageLog::Instance().Peek().empty()) << Utf16ToUtf8(MessageLog::Instance().Peek());
}

}  // namespace
