// Whole exports on the device (headless output, validation layer on): the file holds the
// renderer's final images at the export size (large exports behind the output, small ones by
// moving the output), overlapped and serial exports agree, a
// cancelled export is playable, an empty one restores the renderer, and the sound comes along.
#include <cstring>

#include "core/MessageLog.h"
#include "export/VideoExport.h"
#include "scene/MainRenderer.h"
#include "tests/engine/GpuTest.h"
#include "tests/export/ExportTestDir.h"
#include "tests/export/MediaProbe.h"
#include "tests/scene/SceneFiles.h"

namespace {

using ProjectTavrin::ExportJob;
using ProjectTavrin::ExportReport;
using ProjectTavrin::MainRenderer;

class ExportGpu : public TavrinTest::GpuTest {
protected:
    void SetUp() override {
        GpuTest::SetUp();
        if (IsSkipped()) return;
        if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
        Core().SetHeadlessOutput(64, 48);
        MessageLog::Instance().Clear();
        MainRenderer::Options options;
        options.core = Engine::EngineCore::GetInstance();
        engine = std::make_unique<MainRenderer>(options);
        const std::u16string model = files.Model("rig.pmx", u"rig"), motion = files.Motion("walk.vmd");
        ASSERT_TRUE(engine->LoadScene({{model, motion}, {u"<Sample>", u"<None>"}}));
        ASSERT_EQ(engine->WaitForSceneTask(), WorkStatus::Completed) << engine->SceneTaskError();
    }
    void TearDown() override {
        engine.reset();
        GpuTest::TearDown();
    }
    ExportJob Job(const std::string& name, uint32_t frames) const {
        ExportJob job;
        job.width = 128;
        job.height = 72;
        job.frameCount = frames;
        job.output = dir / name;
        job.preset = "ultrafast";
        return job;
    }
    ExportReport Export(const ExportJob& job) {
        const ExportReport report = ProjectTavrin::RunExport(*engine, job, {});
        EXPECT_TRUE(report.opened) << report.error;
        EXPECT_TRUE(report.finalised) << report.error;
        EXPECT_EQ(report.failedWrites, 0u);
        EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
        return report;
    }

    SceneTest::SceneFiles files;
    ExportTest::TestDir dir;
    std::unique_ptr<MainRenderer> engine;
};

TEST_F(ExportGpu, FileHoldsTheReadBackFramesAtTheExportSize) {
    // Without the temporal passes a frame depends only on its time, so rendering frame 0 again
    // after the export gives the image the export encoded.
    engine->GetSceneRenderer()->Settings().Edit([](ProjectTavrin::FrameSettings& s) {
        s.render.TaaEnable = false;
        s.post.AdaptationEnable = false;
    });
    const ExportReport report = Export(Job("out.mp4", 3));
    EXPECT_EQ(report.framesWritten, 3u);
    EXPECT_EQ(report.renderFailures, 0u);
    EXPECT_EQ(Core().GetOutputWidth(), 64.0f) << "the output is back at its own size";
    const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].at("width"), "128");
    EXPECT_EQ(streams[0].at("height"), "72");
    EXPECT_EQ(ExportTest::ToInt(streams[0], "nb_frames"), 3);

    // The first frame again, straight from the renderer: the decoded frame must match it.
    engine->BeginExport(128, 72);
    const ProjectTavrin::OfflineFrame frame = engine->RenderOfflineFrame(30, 0);
    ASSERT_NE(frame.pixels, nullptr);
    ASSERT_EQ(frame.width, 128u);
    ASSERT_EQ(frame.height, 72u);
    EXPECT_EQ(frame.rowPitch % 256, 0u);
    std::vector<uint8_t> expected(128 * 72 * 4);
    for (uint32_t y = 0; y < 72; ++y) std::memcpy(&expected[y * 128 * 4], frame.pixels + y * frame.rowPitch, 128 * 4);
    engine->EndExport();
    // The renderer's image shows the models on the background, never one flat colour (a black
    // or cleared frame would match a black decoded one just as well).
    int spread = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        if (i % 4 != 3) spread = std::max(spread, std::abs(int(expected[i]) - int(expected[i % 4])));
    EXPECT_GT(spread, 40) << "the rendered frame is uniform";
    const auto decoded = ExportTest::DecodeFrames(dir / "out.mp4", 128, 72, 1);
    ASSERT_EQ(decoded.size(), 1u);
    // 4:2:0 chroma and the lossy encode blur the sharp colour edges of a real image, so single
    // pixels may differ a lot; on the whole the picture matches (a flipped, shifted or
    // channel-swapped frame is far off on average and in many pixels).
    double total = 0;
    size_t farOff = 0;
    const size_t values = expected.size() / 4 * 3;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i % 4 == 3) continue;
        const int difference = std::abs(int(decoded[0][i]) - int(expected[i]));
        total += difference;
        if (difference > 24) ++farOff;
    }
    EXPECT_LE(total / values, 2.0);
    EXPECT_LE(farOff, values / 50);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST_F(ExportGpu, LargeExportsRenderTheSceneTargetsAtTheExportSizeBehindTheOutput) {
    ProjectTavrin::SceneRenderer& renderer = *engine->GetSceneRenderer();
    engine->BeginExport(640, 512);
    EXPECT_EQ(Core().GetOutputWidth(), 64.0f) << "from 512 a side the output keeps its size";
    EXPECT_EQ(renderer.Targets().RenderSize(), (ProjectTavrin::PixelSize{640, 512}));
    const ProjectTavrin::OfflineFrame frame = engine->RenderOfflineFrame(30, 0);
    EXPECT_TRUE(frame.rendered);
    EXPECT_NE(frame.pixels, nullptr);
    EXPECT_EQ(frame.width, 640u);
    EXPECT_EQ(frame.height, 512u);
    EXPECT_FALSE(frame.bgra);
    engine->EndExport();
    EXPECT_EQ(renderer.Targets().RenderSize(), (ProjectTavrin::PixelSize{64, 48}));
    EXPECT_EQ(renderer.Settings().Snapshot().render.ExportWidth, 0u) << "the export fields are cleared again";
    EXPECT_EQ(engine->GetRenderWidth(), 64.0f);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// An export's first frame owes nothing to the frames rendered before it: the same frame comes
// out bit for bit whether another export (whose frames filled both temporal histories) ran just
// before or not.
TEST_F(ExportGpu, AnExportStartsFromAnEmptyTemporalHistory) {
    auto image = [](const ProjectTavrin::OfflineFrame& f) {
        std::vector<uint8_t> rows;
        for (uint32_t y = 0; y < f.height; ++y) rows.insert(rows.end(), f.pixels + y * f.rowPitch, f.pixels + y * f.rowPitch + f.width * 4);
        return rows;
    };
    engine->BeginExport(128, 72);
    const std::vector<uint8_t> first = image(engine->RenderOfflineFrame(30, 0));
    for (uint32_t i = 1; i <= 8; ++i) engine->RenderOfflineFrame(30, i);
    engine->EndExport();

    engine->BeginExport(128, 72);
    EXPECT_TRUE(image(engine->RenderOfflineFrame(30, 0)) == first);
    engine->EndExport();
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST_F(ExportGpu, SmallExportsMoveTheOutputAndPutItBack) {
    ProjectTavrin::SceneRenderer& renderer = *engine->GetSceneRenderer();
    engine->BeginExport(256, 144);
    EXPECT_EQ(renderer.Targets().RenderSize(), (ProjectTavrin::PixelSize{256, 144}));
    EXPECT_EQ(engine->GetRenderWidth(), 256.0f);
    engine->EndExport();
    EXPECT_EQ(Core().GetOutputWidth(), 64.0f);
    EXPECT_EQ(Core().GetOutputHeight(), 48.0f);
    EXPECT_EQ(renderer.Targets().RenderSize(), (ProjectTavrin::PixelSize{64, 48}));
}

TEST_F(ExportGpu, OverlappedAndSerialExportsGiveTheSameFrames) {
    ExportJob overlapped = Job("overlapped.mp4", 12);
    ExportJob serial = Job("serial.mp4", 12);
    serial.overlap = false;
    Export(overlapped);
    Export(serial);
    const auto a = ExportTest::DecodeFrames(dir / "overlapped.mp4", 128, 72, 12);
    const auto b = ExportTest::DecodeFrames(dir / "serial.mp4", 128, 72, 12);
    ASSERT_EQ(a.size(), 12u);
    EXPECT_TRUE(a == b);
}

TEST_F(ExportGpu, CancelledExportIsPlayableWithTheFramesWritten) {
    ExportJob job = Job("out.mp4", 300);
    int calls = 0;
    const ExportReport report = ProjectTavrin::RunExport(*engine, job, [&] { return ++calls > 10; });
    EXPECT_TRUE(report.canceled);
    EXPECT_TRUE(report.finalised);
    EXPECT_EQ(report.framesWritten, 10u);
    EXPECT_TRUE(ExportTest::ProbeOpens(dir / "out.mp4"));
    EXPECT_EQ(ExportTest::DecodeFrames(dir / "out.mp4", 128, 72, 300).size(), 10u);
}

TEST_F(ExportGpu, EmptyExportGivesAValidFileAndRestartsTheLoop) {
    engine->StartRenderLoop();
    ASSERT_TRUE(engine->IsRenderLoopRunning());
    const ExportReport report = Export(Job("out.mp4", 0));
    EXPECT_EQ(report.framesRendered, 0u);
    EXPECT_TRUE(ExportTest::ProbeOpens(dir / "out.mp4"));
    EXPECT_TRUE(engine->IsRenderLoopRunning()) << "the loop that ran before runs again";
    EXPECT_EQ(engine->GetRenderWidth(), 64.0f);
    engine->StopRenderLoop();
    EXPECT_EQ(engine->RenderLoopStatus(), WorkStatus::Canceled) << engine->SceneTaskError();
}

TEST_F(ExportGpu, SixtyFramesASecondWithSound) {
    ExportTest::WriteSineWav(dir / "tone.wav", 2.0, 48000, 2);
    ExportJob job = Job("out.mp4", 30);
    job.fps = 60;
    job.audio = dir / "tone.wav";
    const ExportReport report = Export(job);
    EXPECT_TRUE(report.hasAudio);
    const auto streams = ExportTest::ProbeStreams(dir / "out.mp4");
    ASSERT_EQ(streams.size(), 2u);
    for (const auto& stream : streams) {
        SCOPED_TRACE(stream.at("codec_type"));
        EXPECT_NEAR(ExportTest::ToDouble(stream, "start_time"), 0.0, 1e-6);
        EXPECT_NEAR(ExportTest::ToDouble(stream, "duration"), 0.5, 1024.0 / 48000.0);
    }
    const auto& video = streams[0].at("codec_type") == "video" ? streams[0] : streams[1];
    EXPECT_EQ(video.at("r_frame_rate"), "60/1");
    EXPECT_EQ(video.at("avg_frame_rate"), "60/1");
    EXPECT_EQ(ExportTest::VideoPacketTimes(dir / "out.mp4").size(), 30u);
}

}  // namespace
