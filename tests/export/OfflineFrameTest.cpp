// Offline frames and whole exports of the engine object without a device: animation times,
// which models move, the export's own physics-reset flag, the camera rule, the renderer's
// restore, and the export's faults (encoder that cannot open, frames that cannot be written,
// a second export, cancellation), and the scene's chosen audio going into the video.
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "export/VideoExport.h"
#include "tests/export/ExportTestDir.h"
#include "tests/export/MediaProbe.h"
#include "tests/scene/EngineFixture.h"

namespace {

using ProjectTavrin::ExportJob;
using ProjectTavrin::ExportReport;
using ProjectTavrin::ExportSession;
using ProjectTavrin::OfflineFrame;
using SceneTest::EngineTest;

constexpr char16_t kNone[] = u"<None>";
constexpr char16_t kCamera[] = u"<Camera>";

class OfflineFrames : public EngineTest {
protected:
    /// The root-following vertex of model `m`: x = 2 + animation frame / 10 under the motion.
    float RootX(size_t m = 0) { return Engine().GetScene().models[m]->GetOutputVertices()[3].position.x; }
    float HairHeight(size_t m = 0) { return Engine().GetScene().models[m]->GetOutputVertices()[0].position.y; }
    OfflineFrame Render(uint32_t fps, uint32_t i) { return Engine().RenderOfflineFrame(fps, i); }
    ExportJob Job(uint32_t frames) const {
        ExportJob job;
        job.width = 64;
        job.height = 48;
        job.frameCount = frames;
        job.output = dir / "out.mp4";
        job.preset = "ultrafast";
        return job;
    }

    ExportTest::TestDir dir;
};

TEST_F(OfflineFrames, AnimationFrameIsTheIndexOverTheRateTimesThirty) {
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    struct Case {
        uint32_t fps, index;
        float frame;
    };
    for (const Case c : {Case{30, 7, 7.0f}, Case{60, 9, 4.5f}, Case{120, 30, 7.5f}, Case{60, 600, 300.0f}}) {
        const OfflineFrame frame = Render(c.fps, c.index);
        EXPECT_EQ(frame.animationFrame, static_cast<float>(c.index) * (1.0f / static_cast<float>(c.fps)) * 30.0f);
        EXPECT_NEAR(frame.animationFrame, c.frame, 1e-4f);
        EXPECT_NEAR(RootX(), 2.0f + c.frame / 10.0f, 1e-4f) << c.fps << " fps, frame " << c.index;
    }
}

TEST_F(OfflineFrames, ModelsWithoutAMotionAreNotUpdated) {
    Load({{files.Model("a.pmx", u"rig"), files.Motion("walk.vmd")}, {files.Model("b.pmx", u"rig"), kNone}});
    const auto still = Engine().GetScene().models[1]->GetOutputVertices();
    for (uint32_t i = 0; i < 10; ++i) Render(30, i);
    EXPECT_LT(HairHeight(0), 9.9f) << "physics steps the moving model";
    const auto after = Engine().GetScene().models[1]->GetOutputVertices();
    ASSERT_EQ(after.size(), still.size());
    for (size_t v = 0; v < still.size(); ++v) EXPECT_EQ(after[v].position.y, still[v].position.y) << "vertex " << v;
}

TEST_F(OfflineFrames, PhysicsResetsOnlyWhenAnExportComesBackToFrameZero) {
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    // The first export of the engine's life steps physics at frame 0.
    EXPECT_FALSE(Render(30, 0).physicsReset);
    for (uint32_t i = 1; i < 15; ++i) EXPECT_FALSE(Render(30, i).physicsReset);
    EXPECT_LT(HairHeight(), 9.5f);
    // The next export starts at 0 after a non-zero frame: reset, the body back on its bone.
    EXPECT_TRUE(Render(30, 0).physicsReset);
    EXPECT_NEAR(HairHeight(), 10.0f, 1e-3f);
    // Frame 0 after frame 0 (a one-frame export, then another): steps again.
    EXPECT_FALSE(Render(30, 0).physicsReset);
    // The real-time loop's reset request is not the export's business.
    Engine().physicsResetRequest = true;
    EXPECT_FALSE(Render(30, 1).physicsReset);
    EXPECT_TRUE(Engine().physicsResetRequest.load());
}

TEST_F(OfflineFrames, CameraMotionDrivesTheExportEvenWithTheFreeCameraForced) {
    Load({{files.Model("rig.pmx", u"rig"), kNone}, {kCamera, files.CameraMotion("cam.vmd", -45)}});
    Engine().forceFreeCamera = true;
    const OfflineFrame frame = Render(30, 3);
    EXPECT_TRUE(frame.cameraMotionDrove);
    EXPECT_NEAR(Engine().GetCameraBuffer().cameraWorldPos.z, 45.0f, 1e-4f);
}

TEST_F(OfflineFrames, WithoutACameraMotionTheViewStaysWhereTheLoopLeftIt) {
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    Step(16);
    const ProjectTavrin::CameraBuffer before = Engine().GetCameraBuffer();
    const uint32_t frameCount = Engine().GetFrameClock().GetFrameCount();
    for (uint32_t i = 0; i < 3; ++i) EXPECT_FALSE(Render(30, i).cameraMotionDrove);
    const ProjectTavrin::CameraBuffer& after = Engine().GetCameraBuffer();
    EXPECT_EQ(std::memcmp(&after.view, &before.view, sizeof(before.view)), 0);
    EXPECT_EQ(std::memcmp(&after.prevView, &before.view, sizeof(before.view)), 0);
    // Export frames are numbered from 0, so the temporal passes see a sequence as in playback.
    EXPECT_NE(frameCount, 2u);
    EXPECT_EQ(after.frameCount, 2) << "the export's frames count from 0";
}

TEST_F(OfflineFrames, WithoutADeviceFramesHaveNoImageAndSaySo) {
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    const OfflineFrame frame = Render(30, 0);
    EXPECT_FALSE(frame.rendered);
    EXPECT_EQ(frame.pixels, nullptr);
    EXPECT_TRUE(Contains(Log(), ProjectTavrin::kExportRenderFailedMessage));
}

TEST_F(OfflineFrames, ExportRestoresTheRendererAndCountsFramesItCouldNotWrite) {
    if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    ASSERT_EQ(Engine().PlayPause(), ProjectTavrin::PlaybackState::Playing);
    Step(100);
    Step(100);
    const float width = Engine().GetRenderWidth(), height = Engine().GetRenderHeight();

    std::vector<double> progress;
    ExportJob job = Job(5);
    job.onProgress = [&](uint32_t, double value) {
        EXPECT_EQ(Engine().GetRenderWidth(), 64.0f) << "frames render at the export size";
        progress.push_back(value);
    };
    const ExportReport report = ProjectTavrin::RunExport(Engine(), job, {});
    EXPECT_TRUE(report.opened);
    EXPECT_EQ(report.framesRendered, 5u);
    EXPECT_EQ(report.renderFailures, 5u);
    EXPECT_EQ(report.failedWrites, 5u);
    EXPECT_EQ(report.framesWritten, 0u);
    EXPECT_TRUE(report.finalised);
    EXPECT_EQ(progress, (std::vector<double>{0.0, 25.0, 50.0, 75.0, 100.0}));
    EXPECT_TRUE(Contains(Log(), u"5 of 5 frames could not be written to the video.")) << Utf16ToUtf8(Log());

    // Playback was stopped; size back, a fresh frame clock, and no loop started that was not running.
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), 0u);
    EXPECT_EQ(Engine().GetRenderWidth(), width);
    EXPECT_EQ(Engine().GetRenderHeight(), height);
    EXPECT_EQ(Engine().GetFrameClock().GetTotalTicks(), 0u);
    EXPECT_EQ(Engine().GetFrameClock().GetFrameCount(), 0u);
    EXPECT_FALSE(Engine().IsRenderLoopRunning());
}

TEST_F(OfflineFrames, EncoderThatCannotOpenRendersNothingAndSaysWhy) {
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    ExportJob job = Job(5);
    job.output = dir / "no-such-folder" / "out.mp4";
    const ExportReport report = ProjectTavrin::RunExport(Engine(), job, {});
    EXPECT_FALSE(report.opened);
    EXPECT_EQ(report.framesRendered, 0u);
    EXPECT_FALSE(report.error.empty());
    EXPECT_TRUE(Contains(Log(), u"The video cannot be written: ")) << Utf16ToUtf8(Log());
    EXPECT_FALSE(Contains(Log(), ProjectTavrin::kExportRenderFailedMessage));
    EXPECT_EQ(Engine().GetRenderWidth(), 1280.0f);
    EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(OfflineFrames, ASecondExportIsRefusedWhileOneRuns) {
    if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    std::atomic<bool> release{false};
    std::atomic<bool> entered{false};
    ExportJob job = Job(3);
    job.onProgress = [&](uint32_t, double) {
        entered = true;
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    auto first = ExportSession::Start(Engine(), job);
    ASSERT_TRUE(first);
    while (!entered.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(first->Status(), WorkStatus::Started);
    EXPECT_TRUE(ExportSession::AnyRunning());

    ExportJob second = Job(3);
    second.output = dir / "second.mp4";
    EXPECT_EQ(ExportSession::Start(Engine(), second), nullptr);
    EXPECT_TRUE(Contains(Log(), ProjectTavrin::kExportAlreadyRunningMessage));

    release = true;
    const ExportReport report = first->Wait();
    EXPECT_EQ(report.framesRendered, 3u);
    EXPECT_FALSE(ExportSession::AnyRunning());
    auto third = ExportSession::Start(Engine(), second);
    ASSERT_TRUE(third) << "the next export starts once the first has ended";
    EXPECT_EQ(third->Wait().framesRendered, 3u);
}

TEST_F(OfflineFrames, AJobWithoutASoundFileTakesTheAudioTheSceneWasGiven) {
    if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    EXPECT_FALSE(ProjectTavrin::RunExport(Engine(), Job(2), {}).hasAudio) << "no audio chosen: a silent video";

    ExportTest::WriteSineWav(dir / "tone.wav", 1.0, 48000, 2);
    Engine().ChooseAudio(dir / "tone.wav");
    EXPECT_EQ(Engine().ChosenAudioPath(), dir / "tone.wav");
    const ExportReport chosen = ProjectTavrin::RunExport(Engine(), Job(2), {});
    EXPECT_TRUE(chosen.hasAudio) << chosen.audioWarning;

    // A file that cannot be played is no longer the scene's audio.
    std::ofstream(dir / "broken.wav") << "not a wave file";
    Engine().ChooseAudio(dir / "broken.wav");
    EXPECT_TRUE(Engine().ChosenAudioPath().empty());
    EXPECT_FALSE(ProjectTavrin::RunExport(Engine(), Job(2), {}).hasAudio);
}

TEST_F(OfflineFrames, CancelStopsBeforeTheNextFrameAndFinishesTheFile) {
    if (!ExportTest::HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are needed";
    Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}});
    ExportSession* running = nullptr;
    std::atomic<bool> started{false};
    ExportJob job = Job(100);
    job.onProgress = [&](uint32_t i, double) {
        while (!started.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (i == 4) running->Cancel();
    };
    bool finishedCalled = false;
    job.onFinished = [&](const ExportReport& report) { finishedCalled = report.canceled; };
    auto session = ExportSession::Start(Engine(), job);
    ASSERT_TRUE(session);
    running = session.get();
    started = true;
    const ExportReport report = session->Wait();
    EXPECT_TRUE(report.canceled);
    EXPECT_EQ(report.framesRendered, 5u);
    EXPECT_TRUE(report.finalised);
    EXPECT_TRUE(finishedCalled);
    EXPECT_EQ(Engine().GetRenderWidth(), 1280.0f);
}

}  // namespace
