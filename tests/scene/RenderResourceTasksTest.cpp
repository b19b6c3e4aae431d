// The scene tasks that remake the renderer's resources: what each records, that the voxel
// volumes are remade only for a new resolution, that a request made while another task runs is
// dropped, and, on the device, that the colour table is really loaded and unloaded, also from
// the settings a scene load finds.
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unistd.h>

#include "Engine/TextureLoader/ColorFilterLut.h"
#include "core/TextConvert.h"
#include "renderer/SceneRenderer.h"
#include "renderer/passes/EnvironmentMaps.h"
#include "scene/RenderResourceTasks.h"
#include "tests/scene/EngineFixture.h"
#include "tests/scene/EngineGpuFixture.h"

namespace {

using ProjectTavrin::FrameSettings;
using ProjectTavrin::RenderResourceState;
using ProjectTavrin::RenderResourceTasks;

class RenderResourceTasksTest : public SceneTest::EngineTest {
protected:
    const RenderResourceState& StateAfterTask() {
        EXPECT_EQ(Engine().WaitForSceneTask(), WorkStatus::Completed) << Engine().SceneTaskError();
        return Engine().GetResourceState();
    }
};

TEST_F(RenderResourceTasksTest, VoxelVolumesAreRemadeOnlyForANewResolution) {
    RenderResourceTasks tasks(Engine());
    EXPECT_EQ(Engine().GetResourceState().voxelResolution, 96);
    ASSERT_TRUE(tasks.RebuildVoxelVolumes(128, 2048.0f));
    EXPECT_EQ(StateAfterTask().voxelResolution, 128);
    EXPECT_EQ(Engine().GetResourceState().voxelRebuilds, 1u);
    ASSERT_TRUE(tasks.RebuildVoxelVolumes(128, 1024.0f));
    EXPECT_EQ(StateAfterTask().voxelRebuilds, 1u);
    EXPECT_FLOAT_EQ(Engine().GetResourceState().voxelRegionSize, 1024.0f);
    ASSERT_TRUE(tasks.RebuildVoxelVolumes(160, 1024.0f));
    EXPECT_EQ(StateAfterTask().voxelRebuilds, 2u);
}

TEST_F(RenderResourceTasksTest, EachTaskRecordsItsChoice) {
    RenderResourceTasks tasks(Engine());
    ASSERT_TRUE(tasks.LoadEnvironment("<Sample>"));
    EXPECT_EQ(StateAfterTask().environmentFile, "<Sample>");
    ASSERT_TRUE(tasks.LoadColorFilterLut("/films/warm.cube"));
    EXPECT_EQ(StateAfterTask().colorFilterLutFile, "/films/warm.cube");
    ProjectTavrin::ProbeVolumeParams probes;
    probes.Origin = {1.0f, 2.0f, 3.0f};
    probes.Count = 3;
    ASSERT_TRUE(tasks.ReconfigureProbeVolumes(probes));
    const RenderResourceState& state = StateAfterTask();
    EXPECT_FLOAT_EQ(state.probeVolumes.Origin.z, 3.0f);
    EXPECT_EQ(state.probeVolumes.Count, 3u);
    EXPECT_EQ(state.environmentLoads, 1u);
    EXPECT_EQ(state.colorFilterLoads, 1u);
    EXPECT_EQ(state.probeReconfigurations, 1u);
}

TEST_F(RenderResourceTasksTest, RequestsWhileAnotherTaskRunsAreDropped) {
    RenderResourceTasks tasks(Engine());
    std::mutex lock;
    std::condition_variable changed;
    bool started = false, release = false;
    ASSERT_TRUE(Engine().RunSceneTask([&] {
        std::unique_lock<std::mutex> hold(lock);
        started = true;
        changed.notify_all();
        changed.wait(hold, [&] { return release; });
    }));
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return started; });
    }
    EXPECT_FALSE(tasks.LoadColorFilterLut("<Sample>"));
    EXPECT_FALSE(tasks.RebuildVoxelVolumes(160, 2048.0f));
    EXPECT_TRUE(Contains(Log(), ProjectTavrin::kSceneStillLoadingMessage));
    {
        std::lock_guard<std::mutex> hold(lock);
        release = true;
    }
    changed.notify_all();
    const RenderResourceState& state = StateAfterTask();
    EXPECT_EQ(state.colorFilterLoads, 0u);
    EXPECT_EQ(state.voxelResolution, 96);
}

TEST_F(RenderResourceTasksTest, MatchingTheSettingsRedoesOnlyWhatDiffers) {
    RenderResourceTasks tasks(Engine());
    FrameSettings settings;
    settings.post.EnvironmentFile = "<Sample>";
    settings.post.ColorFilterLutFile = "/films/cold.cube";
    settings.post.voxel.Resolution = 160;
    settings.post.probes.Count = 2;
    ASSERT_TRUE(tasks.MatchSettings(settings));
    RenderResourceState state = StateAfterTask();
    EXPECT_EQ(state.environmentFile, "<Sample>");
    EXPECT_EQ(state.colorFilterLutFile, "/films/cold.cube");
    EXPECT_EQ(state.voxelResolution, 160);
    EXPECT_EQ(state.probeVolumes.Count, 2u);

    ASSERT_TRUE(tasks.MatchSettings(settings));
    const RenderResourceState again = StateAfterTask();
    EXPECT_EQ(again.environmentLoads, state.environmentLoads);
    EXPECT_EQ(again.colorFilterLoads, state.colorFilterLoads);
    EXPECT_EQ(again.voxelRebuilds, state.voxelRebuilds);
    EXPECT_EQ(again.probeReconfigurations, state.probeReconfigurations);

    ASSERT_TRUE(tasks.MatchSettings(FrameSettings{}));
    state = StateAfterTask();
    EXPECT_EQ(state.environmentFile, "");
    EXPECT_EQ(state.colorFilterLutFile, "");
    EXPECT_EQ(state.voxelResolution, 96);
    EXPECT_EQ(state.probeVolumes.Count, 1u);
}

class RenderResourceTasksGpu : public SceneTest::EngineGpuTest {
protected:
    RenderResourceTasksGpu() : EngineGpuTest(64, 48) {}
    void SetUp() override {
        EngineGpuTest::SetUp();
        if (!IsSkipped()) Engine::GetColorFilterLut() = Engine::TextureResource{};
    }
    void TearDown() override {
        if (engine) engine->WaitForSceneTask();
        Engine::GetColorFilterLut() = Engine::TextureResource{};
        EngineGpuTest::TearDown();
    }
};

TEST_F(RenderResourceTasksGpu, ColourTableIsLoadedAndUnloaded) {
    RenderResourceTasks tasks(*engine);
    ASSERT_TRUE(tasks.LoadColorFilterLut("<Sample>"));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    EXPECT_FALSE(Engine::GetColorFilterLut().srv.IsNull());
    EXPECT_EQ(Engine::GetColorFilterLut().description.dimension, Engine::Platform::ResourceDimension::Texture3D);

    // A missing file is reported and keeps the table that was loaded.
    ASSERT_TRUE(tasks.LoadColorFilterLut("/no/such/table.cube"));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed);
    EXPECT_FALSE(Engine::GetColorFilterLut().srv.IsNull());
    EXPECT_FALSE(MessageLog::Instance().Peek().empty());

    ASSERT_TRUE(tasks.MatchSettings(FrameSettings{}));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed);
    EXPECT_TRUE(Engine::GetColorFilterLut().srv.IsNull()) << "no table named: none loaded";
}

TEST_F(RenderResourceTasksGpu, SceneLoadLoadsTheTableTheSettingsName) {
    engine->GetSceneRenderer()->Settings().Edit([](FrameSettings& s) { s.post.ColorFilterLutFile = "<Sample>"; });
    ASSERT_TRUE(engine->LoadScene({}));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    EXPECT_FALSE(Engine::GetColorFilterLut().srv.IsNull());
    EXPECT_EQ(engine->GetResourceState().colorFilterLutFile, "<Sample>");
}

// The built-in sky loads as a 512-texel cube of 10 mips; a corrupt or missing file afterwards is
// reported by name and changes nothing: the same textures, the record still naming "<Sample>".
TEST_F(RenderResourceTasksGpu, AFileThatFailsToLoadKeepsThePreviousSky) {
    RenderResourceTasks tasks(*engine);
    ASSERT_TRUE(tasks.LoadEnvironment("<Sample>"));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    ProjectTavrin::EnvironmentMaps& sky = engine->GetSceneRenderer()->GetEnvironment();
    ASSERT_TRUE(sky.IsLoaded());
    EXPECT_EQ(sky.EnvironmentCube().Size(), 512u);
    EXPECT_EQ(sky.EnvironmentCube().MipCount(), 10u);
    EXPECT_EQ(sky.Image()->Desc().width, 2048u);
    Engine::Platform::Resource* image = sky.Image();

    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tavrin-sky-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path corrupt = dir / "broken sky.hdr";
    {
        // A valid header, then a run-length scanline whose first count is 0.
        std::ofstream out(corrupt, std::ios::binary);
        out << "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 4 +X 16\n";
        const char scanline[] = {2, 2, 0, 16, 0, 0, 0, 0};
        out.write(scanline, sizeof(scanline));
    }
    for (const std::filesystem::path& file : {corrupt, dir / "missing.hdr"}) {
        MessageLog::Instance().Clear();
        ASSERT_TRUE(tasks.LoadEnvironment(file.string()));
        ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
        EXPECT_NE(MessageLog::Instance().Peek().find(Utf8ToUtf16(file.string())), std::u16string::npos) << file;
        EXPECT_EQ(sky.Image(), image) << file;
        EXPECT_TRUE(sky.IsLoaded());
        EXPECT_EQ(engine->GetResourceState().environmentFile, "<Sample>");
    }
    EXPECT_EQ(engine->GetResourceState().environmentFailures, 2u);
    EXPECT_EQ(engine->GetResourceState().environmentLoads, 1u);

    // No file named: no sky.
    ASSERT_TRUE(tasks.MatchSettings(FrameSettings{}));
    ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed);
    EXPECT_FALSE(sky.IsLoaded());
    std::filesystem::remove_all(dir);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
