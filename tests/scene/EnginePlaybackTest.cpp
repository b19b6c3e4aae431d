// Playback with audio on the engine object: play, pause and stop acting on the audio and the
// animation together, choosing audio (also files and machines that cannot play it), the
// end-of-media rule, the animation following the audio over a long song, and seeking.
#include <cmath>
#include <functional>
#include <mutex>
#include <vector>

#include "tests/scene/AudioFiles.h"
#include "tests/scene/EngineFixture.h"
#include "tests/scene/FakeAudioOutput.h"

namespace {

using namespace ProjectTavrin;
using SceneTest::AudioFiles;
using SceneTest::EngineTest;
using SceneTest::FakeAudioOutput;
using SceneTest::FakeDevice;

constexpr int64_t kSecond = 10'000'000;
constexpr double kFrameSeconds = 1.0 / 30.0;

class EnginePlayback : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        AudioPlayer::Options options;
        options.makeOutput = [device = device] { return std::make_unique<FakeAudioOutput>(device); };
        options.counter = counter.Source();
        options.counterFrequency = 1000;
        options.reportInterval = std::chrono::milliseconds(0);
        audio = std::make_shared<AudioPlayer>(options);
        postToUi = [this](std::function<void()> work) {
            std::lock_guard<std::mutex> guard(m_uiLock);
            m_ui.push_back(std::move(work));
        };
    }

    void LoadRig() { Load({{files.Model("rig.pmx", u"rig"), files.Motion("walk.vmd")}}); }
    float HairHeight() { return Engine().GetScene().models[0]->GetOutputVertices()[0].position.y; }
    float RootVertexX() { return Engine().GetScene().models[0]->GetOutputVertices()[3].position.x; }
    const UpdateReport& Last() { return Engine().GetLastUpdate(); }
    double AudioSeconds() { return static_cast<double>(audio->GetPosition()) / kSecond; }

    /// Runs what was posted to the UI thread, in order.
    void RunUi() {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard<std::mutex> guard(m_uiLock);
            work.swap(m_ui);
        }
        for (auto& item : work) item();
    }
    /// One round of the player's reports, then the UI's share of them.
    void Report() {
        audio->PublishReports();
        RunUi();
    }
    /// `milliseconds` of playback in 10 ms updates, the device taking 10 ms of audio before each.
    void PlayFor(int milliseconds) {
        for (int t = 0; t < milliseconds; t += 10) {
            device->Pull(480);
            Step(10);
        }
    }

    std::shared_ptr<FakeDevice> device = std::make_shared<FakeDevice>();
    AudioFiles audioFiles;

private:
    std::mutex m_uiLock;
    std::vector<std::function<void()>> m_ui;
};

TEST_F(EnginePlayback, PlayPauseAndStopDriveTheAudioAndTheAnimationTogether) {
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 10.0)));
    Report();
    EXPECT_EQ(Engine().GetPlaybackDisplay().audioName, u"song.wav");
    EXPECT_EQ(Engine().GetPlaybackDisplay().durationText, "/00:00:10");

    EXPECT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    EXPECT_EQ(audio->GetState(), MediaState::Playing);
    EXPECT_FALSE(Engine().GetPlaybackClock().IsPaused());
    EXPECT_EQ(Engine().GetPlaybackDisplay().symbol, PlaySymbol::Pause);
    PlayFor(500);
    EXPECT_GT(AudioSeconds(), 0.4);
    EXPECT_GT(Last().animationSeconds, 0.4);

    EXPECT_EQ(Engine().PlayPause(), PlaybackState::Paused);
    EXPECT_EQ(audio->GetState(), MediaState::Paused);
    EXPECT_FALSE(device->started);
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
    EXPECT_EQ(Engine().GetPlaybackDisplay().symbol, PlaySymbol::Play);
    const double pausedAt = Last().animationSeconds;
    PlayFor(200);
    EXPECT_EQ(Last().animationSeconds, pausedAt);

    EXPECT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(200);
    Engine().Stop();
    EXPECT_EQ(audio->GetState(), MediaState::Paused);
    EXPECT_EQ(audio->GetPosition(), 0);
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), 0u);
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
    EXPECT_EQ(Engine().GetPlaybackDisplay().symbol, PlaySymbol::Play);
    Step(10);
    EXPECT_EQ(Last().animationFrame, 0.0f);
    EXPECT_TRUE(Last().physicsReset);
}

TEST_F(EnginePlayback, TheDisplayShowsTheChosenFilesNameLengthAndPosition) {
    LoadRig();
    // Three minutes at 8 kHz mono keeps the file small.
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Wav("three minutes.wav", TestSupport::RampWav(8'000, 1, 8'000 * 180))));
    Report();
    PlaybackDisplay display = Engine().GetPlaybackDisplay();
    EXPECT_EQ(display.audioName, u"three minutes.wav");
    EXPECT_EQ(display.durationText, "/00:03:00");
    EXPECT_EQ(display.positionText, "00:00:00");
    EXPECT_EQ(display.positionBar, 0.0);

    Engine().SeekTo(90.0);
    Report();
    display = Engine().GetPlaybackDisplay();
    EXPECT_EQ(display.positionText, "00:01:30");
    EXPECT_DOUBLE_EQ(display.positionBar, 50.0);

    // The UI is told of each change, on its own thread.
    std::vector<std::string> told;
    Engine().SetPlaybackDisplayListener([&](const PlaybackDisplay& shown) { told.push_back(shown.positionText); });
    Engine().SeekTo(61.0);
    EXPECT_TRUE(told.empty()) << "nothing runs before the UI thread takes its work";
    Report();
    EXPECT_EQ(told, std::vector<std::string>{"00:01:01"});
}

TEST_F(EnginePlayback, ChoosingAudioStopsAndRewinds) {
    LoadRig();
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(300);
    ASSERT_GT(Last().animationSeconds, 0.2);
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 2.0)));
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), 0u);
    EXPECT_EQ(audio->GetState(), MediaState::Paused);
    EXPECT_EQ(audio->GetPosition(), 0);
}

TEST_F(EnginePlayback, ACorruptAudioFileIsNamedAndPlaybackGoesOnWithoutIt) {
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 2.0)));
    EXPECT_FALSE(Engine().ChooseAudio(audioFiles.Text("words.mp3", "no audio in here, only a few words of text")));
    EXPECT_TRUE(Contains(Log(), u"words.mp3")) << "the message names the file";
    EXPECT_EQ(audio->GetState(), MediaState::Closed);
    EXPECT_EQ(Engine().GetPlaybackDisplay().audioName, u"");
    EXPECT_EQ(Engine().GetPlaybackDisplay().durationText, "/00:00:00");

    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(300);
    EXPECT_NEAR(Last().animationSeconds, 0.3, 1e-9) << "the clock alone drives the animation";
    EXPECT_EQ(Engine().PlayPause(), PlaybackState::Paused);
}

TEST_F(EnginePlayback, WithoutAnAudioDeviceTheClockRunsAloneAndOneMessageSaysSo) {
    device->refuseOpen = true;
    LoadRig();
    EXPECT_FALSE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 2.0)));
    EXPECT_FALSE(Engine().ChooseAudio(audioFiles.Ramp("other.wav", 2.0)));
    const std::u16string log = Log();
    const size_t first = log.find(u"No audio device");
    ASSERT_NE(first, std::u16string::npos);
    EXPECT_EQ(log.find(u"No audio device", first + 1), std::u16string::npos) << "one message only";

    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(200);
    EXPECT_NEAR(Last().animationSeconds, 0.2, 1e-9);
}

TEST_F(EnginePlayback, TheEndOfTheAudioPausesBothOnce) {
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("short.wav", 0.5)));
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    for (int i = 0; i < 8 && audio->GetState() == MediaState::Playing; ++i) {
        PlayFor(100);
        Report();
    }
    EXPECT_EQ(audio->GetState(), MediaState::Paused);
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
    const PlaybackDisplay display = Engine().GetPlaybackDisplay();
    EXPECT_EQ(display.symbol, PlaySymbol::Play);
    EXPECT_EQ(display.positionBar, 100.0);
    EXPECT_EQ(display.positionText, "00:00:00");
    EXPECT_NEAR(Last().animationSeconds, 0.5, kFrameSeconds);

    // The position stays on the end: no further report, so no further toggle.
    PlayFor(100);
    Report();
    EXPECT_EQ(audio->GetState(), MediaState::Paused);
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
}

TEST_F(EnginePlayback, SeekingToTheEndWhilePausedDoesNotStartTheAudio) {
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("short.wav", 0.5)));
    Engine().SeekTo(5.0);
    Report();
    EXPECT_EQ(audio->GetPosition(), kSecond / 2) << "a seek stops at the end of the audio";
    EXPECT_EQ(audio->GetState(), MediaState::Paused);
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
}

// Over a minute of a song, the sound card's clock runs 0.3 % fast against the system clock that
// paces the frames (about 60 a second, 16 and 17 ms apart). Unfollowed, the animation would end
// 180 ms (over five frames) behind the music; followed, it stays within one frame throughout.
TEST_F(EnginePlayback, OverAMinuteTheAnimationStaysWithinOneFrameOfTheAudio) {
    // An 8 kHz mono song keeps the file small; the player hears it at 48 kHz all the same.
    TestSupport::WavContent song = TestSupport::RampWav(8'000, 1, 8'000 * 70);
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Wav("song.wav", song)));
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);

    const double deviceFramesPerMs = 48.0 * 1.003;
    double owed = 0.0;
    double worst = 0.0;
    int elapsedMs = 0;
    for (int update = 0; elapsedMs < 60'000; ++update) {
        const int step = update % 3 == 2 ? 17 : 16;
        owed += step * deviceFramesPerMs;
        // The device takes its 512-frame buffers as its own clock asks for them.
        while (owed >= 512.0) {
            device->Pull(512);
            owed -= 512.0;
        }
        Step(step);
        elapsedMs += step;
        ASSERT_TRUE(Last().ran);
        worst = std::max(worst, std::abs(Last().animationSeconds - AudioSeconds()));
        ASSERT_LE(std::abs(Last().animationSeconds - AudioSeconds()), kFrameSeconds) << "after " << elapsedMs << " ms";
    }
    EXPECT_GT(AudioSeconds() - elapsedMs / 1000.0, 0.15) << "the device did run ahead of the system clock";
    EXPECT_LT(worst, kFrameSeconds);
}

TEST_F(EnginePlayback, AJumpOfTheAudioIsFollowedAtOnce) {
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 10.0)));
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(300);
    audio->SetPosition(5 * kSecond);
    PlayFor(10);
    EXPECT_NEAR(Last().animationSeconds, AudioSeconds(), 1e-3);
    EXPECT_NEAR(Last().animationSeconds, 5.0, 0.02);
}

TEST_F(EnginePlayback, SeekWhilePausedMovesBothAndStartsThePhysicsAfresh) {
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 10.0)));
    Step(16);
    const float restX = RootVertexX();
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(500);
    ASSERT_LT(HairHeight(), 9.5f) << "the hair body has fallen";
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Paused);

    Engine().SeekTo(2.0);
    EXPECT_EQ(audio->GetPosition(), 2 * kSecond);
    EXPECT_EQ(audio->GetState(), MediaState::Paused);
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), static_cast<uint64_t>(2 * kSecond));
    EXPECT_TRUE(Engine().GetPlaybackClock().IsPaused());
    Step(16);
    EXPECT_EQ(Last().animationFrame, 60.0f);
    EXPECT_NEAR(RootVertexX() - restX, 6.0f, 1e-4f) << "posed at frame 60";
    EXPECT_FALSE(Last().physicsReset);
    EXPECT_GT(HairHeight(), 9.9f) << "the physics started again from the pose at the new time";
    Report();
    EXPECT_EQ(Engine().GetPlaybackDisplay().positionText, "00:00:02");
    EXPECT_DOUBLE_EQ(Engine().GetPlaybackDisplay().positionBar, 20.0);

    // Playing on from there keeps both together.
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(300);
    EXPECT_GT(AudioSeconds(), 2.2);
    EXPECT_NEAR(Last().animationSeconds, AudioSeconds(), kFrameSeconds);
}

TEST_F(EnginePlayback, SeekWhilePlayingCarriesOnFromTheNewTime) {
    LoadRig();
    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 10.0)));
    ASSERT_EQ(Engine().PlayPause(), PlaybackState::Playing);
    PlayFor(500);
    Engine().SeekTo(3.0);
    EXPECT_EQ(audio->GetState(), MediaState::Playing);
    EXPECT_FALSE(Engine().GetPlaybackClock().IsPaused());
    PlayFor(400);
    EXPECT_NEAR(AudioSeconds(), 3.4, 0.03);
    EXPECT_NEAR(Last().animationSeconds, AudioSeconds(), kFrameSeconds);

    // Back to the start while playing: both at 0, and the warm-up is not undone by a reset.
    Engine().SeekTo(0.0);
    Step(10);
    EXPECT_FALSE(Last().physicsReset);
    EXPECT_LT(Last().animationSeconds, 0.02);
}

TEST_F(EnginePlayback, SeekTimesOutsideTheRangeAreBroughtInside) {
    LoadRig();
    Engine().SeekTo(-3.0);
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), 0u);
    Engine().SeekTo(std::nan(""));
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), 0u);
    Engine().SeekTo(100.0);
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), static_cast<uint64_t>(100 * kSecond))
        << "without audio the animation may go anywhere";
    Engine().SeekTo(1e300);
    EXPECT_GT(Engine().GetPlaybackClock().GetTotalTicks(), 0u);

    ASSERT_TRUE(Engine().ChooseAudio(audioFiles.Ramp("song.wav", 2.0)));
    Engine().SeekTo(100.0);
    EXPECT_EQ(Engine().GetPlaybackClock().GetTotalTicks(), static_cast<uint64_t>(2 * kSecond));
    EXPECT_EQ(audio->GetPosition(), 2 * kSecond);
}

}  // namespace
