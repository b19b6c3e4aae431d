// The engine object on the device, with the headless output: a loaded scene of two models runs
// the render loop with the validation layer clean, the lighting tables are made once, and the
// camera block reaches the frame's slot.
#include <cstring>

#include "Engine/GpuResource/ReadbackBuffer.h"
#include "core/MessageLog.h"
#include "tests/scene/EngineGpuFixture.h"
#include "tests/scene/SceneFiles.h"

namespace {

using ProjectTavrin::PlaybackState;

class EngineLoopGpu : public SceneTest::EngineGpuTest {
protected:
    EngineLoopGpu() : EngineGpuTest(64, 48) {}

    void LoadTwoModels() {
        const std::u16string model = files.Model("rig.pmx", u"rig"), motion = files.Motion("walk.vmd");
        ASSERT_TRUE(engine->LoadScene({{model, motion}, {u"<Sample>", u"<None>"}}));
        ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    }

    SceneTest::SceneFiles files;
};

TEST_F(EngineLoopGpu, TwoModelSceneRunsThreeHundredIterationsCleanly) {
    // Before any scene nothing is recorded or presented: the back buffer stays where it is.
    const uint32_t before = Core().GetBackBufferIndex();
    engine->RunLoopIteration();
    EXPECT_EQ(Core().GetBackBufferIndex(), before);

    LoadTwoModels();
    const ProjectTavrin::Scene& scene = engine->GetScene();
    ASSERT_EQ(scene.ModelCount(), 2u);
    ASSERT_TRUE(scene.modelGpus[0] && scene.modelGpus[1]);
    EXPECT_TRUE(scene.modelGpus[0]->HasGpuResources());
    EXPECT_GT(scene.loadTimes.texturesMs, 0.0);
    EXPECT_GT(scene.loadTimes.gpuUploadMs, 0.0);
    EXPECT_EQ(engine->GetRenderWidth(), 64.0f);

    ASSERT_EQ(engine->PlayPause(), PlaybackState::Playing);
    for (int i = 0; i < 300; ++i) {
        const uint32_t index = Core().GetBackBufferIndex();
        engine->RunLoopIteration();
        ASSERT_TRUE(engine->GetLastUpdate().ran);
        ASSERT_EQ(Core().GetBackBufferIndex(), (index + 1) % Engine::kFrameCount) << "iteration " << i;
        ASSERT_FALSE(Core().IsDeviceLost());
        ASSERT_EQ(NewValidationMessages(), 0u) << "iteration " << i << ": " << Device().LastValidationMessage();
    }
    // The first model's vertices for the slot just written match what the model computed.
    const uint32_t written = (Core().GetBackBufferIndex() + Engine::kFrameCount - 1) % Engine::kFrameCount;
    auto& vertices = scene.modelGpus[0]->GetVertexBuffer();
    const auto* mapped = static_cast<const uint8_t*>(vertices.GetResource()->Map());
    const auto& cpu = scene.models[0]->GetOutputVertices();
    EXPECT_EQ(std::memcmp(mapped + vertices.CopyOffset(written), cpu.data(), cpu.size() * sizeof(Vesma::ModelVertex)), 0);
    // So does the camera block, transposed for the shaders.
    auto& camera = engine->GetCameraUploadBuffer();
    const auto* slot = static_cast<const uint8_t*>(camera.GetResource()->Map()) + camera.CopyOffset(written);
    const ProjectTavrin::CameraBuffer expected = engine->GetCameraBuffer().ForShaders();
    EXPECT_EQ(std::memcmp(slot, &expected, sizeof(expected)), 0);
    EXPECT_TRUE(MessageLog::Instance().Peek().empty()) << Utf16ToUtf8(MessageLog::Instance().Peek());
}

TEST_F(EngineLoopGpu, LightingTablesAreMadeAtTheFirstLoadAndKept) {
    EXPECT_TRUE(engine->GetBrdfIblTexture().srv.IsNull());
    ASSERT_TRUE(engine->LoadScene({}));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    const Engine::TextureResource& ibl = engine->GetBrdfIblTexture();
    const Engine::TextureResource& skin = engine->GetBrdfSkinTexture();
    ASSERT_FALSE(ibl.srv.IsNull());
    ASSERT_FALSE(skin.srv.IsNull());
    EXPECT_EQ(ibl.description.width, 400u);
    EXPECT_EQ(ibl.description.height, 400u);
    EXPECT_EQ(skin.description.width, 450u);
    EXPECT_EQ(skin.description.height, 450u);
    EXPECT_GT(ibl.description.mipLevels, 1u) << "a full mip chain";
    const int32_t iblView = ibl.srv.index, skinView = skin.srv.index;
    LoadTwoModels();
    EXPECT_EQ(engine->GetBrdfIblTexture().srv.index, iblView);
    EXPECT_EQ(engine->GetBrdfSkinTexture().srv.index, skinView);
}

TEST_F(EngineLoopGpu, RenderLoopRunsOnItsWorkItemAndStops) {
    LoadTwoModels();
    engine->StartRenderLoop();
    engine->StartRenderLoop();  // already running: nothing more starts
    const uint32_t start = engine->GetFrameClock().GetFrameCount();
    // Twenty frames come in well under a second on lavapipe; the deadline only stops a loop that
    // never runs, so a slow build (sanitizers) still gets there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (engine->GetFrameClock().GetFrameCount() < start + 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(engine->GetFrameClock().GetFrameCount(), start + 20);
    // The UI side: stop and resize take the engine lock while the loop runs.
    engine->Stop();
    engine->Resize(32, 32);
    engine->StopRenderLoop();
    EXPECT_FALSE(engine->IsRenderLoopRunning());
    EXPECT_EQ(engine->RenderLoopStatus(), WorkStatus::Canceled);
    const uint32_t stopped = engine->GetFrameClock().GetFrameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(engine->GetFrameClock().GetFrameCount(), stopped);
    EXPECT_EQ(engine->GetRenderWidth(), 32.0f);
    // And it starts again.
    engine->StartRenderLoop();
    EXPECT_TRUE(engine->IsRenderLoopRunning());
    engine->StopRenderLoop();
}

}  // namespace

namespace {

// The engine's frame goes through the renderer: after a loop iteration on the sample scene the
// pass log holds the default passes, the render size follows a resize, and the final image shows
// something other than the cleared background.
TEST_F(EngineLoopGpu, LoopIterationRendersTheSceneThroughTheRenderer) {
    ASSERT_TRUE(engine->LoadScene({{u"<Sample>", u"<None>"}}));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    engine->RunLoopIteration();
    ProjectTavrin::SceneRenderer* renderer = engine->GetSceneRenderer();
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(renderer->GetPassLog().Contains("RenderModel"));
    EXPECT_TRUE(renderer->GetPassLog().Contains("FinalCopy"));
    Core().WaitForGpu();
    Engine::ReadbackBuffer readback;
    auto& image = renderer->Targets().color8Bit;
    const uint8_t* bytes = readback.ReadBack(image);
    uint32_t lit = 0;
    for (uint32_t y = 0; y < image.Height(); ++y)
        for (uint32_t x = 0; x < image.Width(); ++x) lit += bytes[y * readback.RowPitch() + x * 4 + 1] > 20;
    EXPECT_GT(lit, 50u);

    engine->Resize(80, 40);
    EXPECT_EQ(engine->GetRenderWidth(), 80.0f);
    EXPECT_EQ(renderer->Targets().RenderSize().height, 40u);
    engine->Resize(20, 500);  // too small: the targets stay
    EXPECT_EQ(renderer->Targets().RenderSize().width, 80u);
    engine->RunLoopIteration();  // the frame still records, with nothing copied to the output
    Core().WaitForGpu();

    // The export's size: the camera block follows the render size, not the window.
    engine->Resize(64, 48);
    renderer->Settings().Edit([](ProjectTavrin::FrameSettings& s) {
        s.render.ExportWidth = 640;
        s.render.ExportHeight = 512;
    });
    engine->CreateSceneBuffers();
    EXPECT_EQ(engine->GetRenderWidth(), 640.0f);
    engine->RunLoopIteration();
    Core().WaitForGpu();
    EXPECT_EQ(engine->GetCameraBuffer().screenSize.y, 512.0f);
    EXPECT_TRUE(renderer->GetPassLog().Contains("OutputResample"));
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
