// The audio player on an output the test drives by hand: states, the position as heard (device
// latency included), pause and resume, moving the position, the end of the audio, the reports,
// and files or machines it cannot play on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "scene/AudioPlayer.h"
#include "tests/scene/AudioFiles.h"
#include "tests/scene/FakeAudioOutput.h"

namespace {

using namespace ProjectTavrin;
using SceneTest::AudioFiles;
using SceneTest::FakeAudioOutput;
using SceneTest::FakeDevice;
using SceneTest::RampIndex;

constexpr int64_t kMs = 10'000;  // ticks per millisecond
constexpr int kBuffer = 480;     // 10 ms at 48 kHz

class AudioPlayback : public ::testing::Test {
protected:
    AudioPlayer& Player(std::chrono::milliseconds reportInterval = std::chrono::milliseconds(0)) {
        if (!m_player) {
            AudioPlayer::Options options;
            options.makeOutput = [device = device] { return std::make_unique<FakeAudioOutput>(device); };
            options.counter = [now = now] { return *now; };
            options.counterFrequency = 1'000;  // milliseconds
            options.reportInterval = reportInterval;
            m_player = std::make_unique<AudioPlayer>(options);
            m_player->SetReports([this](int64_t t) { positions.push_back(t); },
                                 [this](int64_t t) { durations.push_back(t); });
        }
        return *m_player;
    }
    /// The device takes one 10 ms buffer and the clock moves on by 10 ms; returns the buffer.
    std::vector<float> PlayBuffer() {
        std::vector<float> samples = device->Pull(kBuffer);
        *now += 10;
        return samples;
    }

    std::shared_ptr<FakeDevice> device = std::make_shared<FakeDevice>();
    std::shared_ptr<int64_t> now = std::make_shared<int64_t>(1'000);
    AudioFiles files;
    std::vector<int64_t> positions, durations;

private:
    std::unique_ptr<AudioPlayer> m_player;
};

TEST(AudioFileTypes, ThePickerOffersTheCommonAudioTypesInAnyCase) {
    for (const char* name : {"a.mp3", "b.WAV", "c.aac", "d.acc", "e.M4a", "f.ogg", "g.flac", "dir.x/h.Mp3"})
        EXPECT_TRUE(IsAudioFileType(name)) << name;
    for (const char* name : {"a.mp4", "b.wav.txt", "mp3", ".mp3x", "c.", "", "d.vmd"})
        EXPECT_FALSE(IsAudioFileType(name)) << name;
}

TEST_F(AudioPlayback, StatesThroughOpenPlayPauseAndClose) {
    EXPECT_EQ(Player().GetState(), MediaState::Closed);
    Player().Play();
    EXPECT_EQ(Player().GetState(), MediaState::Closed) << "nothing to play";
    EXPECT_FALSE(device->started);

    ASSERT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened) << Player().Error();
    EXPECT_EQ(Player().GetState(), MediaState::Paused) << "opened, not started";
    EXPECT_EQ(Player().GetDuration(), 1'000 * kMs);
    EXPECT_EQ(Player().GetPosition(), 0);
    EXPECT_FALSE(device->started);
    EXPECT_TRUE(device->Pull(kBuffer).empty());

    Player().Play();
    EXPECT_EQ(Player().GetState(), MediaState::Playing);
    EXPECT_TRUE(device->started);
    Player().Pause();
    EXPECT_EQ(Player().GetState(), MediaState::Paused);
    EXPECT_FALSE(device->started);
    Player().Pause();
    EXPECT_EQ(Player().GetState(), MediaState::Paused);

    // A second file replaces the first, on the same device.
    ASSERT_EQ(Player().Open(files.Ramp("other.wav", 2.0)), AudioPlayer::OpenResult::Opened);
    EXPECT_EQ(Player().GetDuration(), 2'000 * kMs);
    EXPECT_EQ(device->opens, 1);

    Player().Close();
    EXPECT_EQ(Player().GetState(), MediaState::Closed);
    EXPECT_EQ(Player().GetDuration(), 0);
}

TEST_F(AudioPlayback, PositionIsWhatHasBeenHeard) {
    device->latencyFrames = kBuffer;
    ASSERT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened);
    Player().Play();
    // Fills at t = 0, 10, 20 ms (then the clock stands at 30 ms). A buffer is heard once the
    // device has played the buffer it held before it: the first from 10 ms, the second from 20.
    //   fill:  |--b1--|--b2--|--b3--|
    //   heard:        |--b1--|--b2--|
    int next = 0;
    for (int i = 0; i < 3; ++i) {
        const std::vector<float> samples = device->Pull(kBuffer);
        ASSERT_EQ(samples.size(), kBuffer * 2u);
        EXPECT_EQ(RampIndex(samples[0]), next) << "buffers follow on without gaps";
        EXPECT_EQ(RampIndex(samples[(kBuffer - 1) * 2]), next + kBuffer - 1);
        next += kBuffer;
        EXPECT_EQ(Player().GetPosition(), std::max(0, i - 1) * 10 * kMs) << "at fill " << i;
        *now += 10;
    }
    // Between fills the clock carries the position, up to the end of the buffer last filled.
    EXPECT_EQ(Player().GetPosition(), 20 * kMs);
    *now -= 5;
    EXPECT_EQ(Player().GetPosition(), 15 * kMs);
    *now += 50;  // the device stalls: the position waits at what it was given
    EXPECT_EQ(Player().GetPosition(), 20 * kMs);
}

TEST_F(AudioPlayback, PauseFreezesThePositionAndResumesFromWhatWasHeard) {
    device->latencyFrames = kBuffer;
    ASSERT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened);
    Player().Play();
    for (int i = 0; i < 10; ++i) PlayBuffer();
    *now -= 5;  // paused 5 ms after the tenth fill: 85 ms heard, 100 ms decoded
    Player().Pause();
    EXPECT_EQ(Player().GetPosition(), 85 * kMs);
    *now += 1'000;
    EXPECT_EQ(Player().GetPosition(), 85 * kMs);

    Player().Play();
    EXPECT_EQ(Player().GetPosition(), 85 * kMs);
    const std::vector<float> samples = PlayBuffer();
    EXPECT_EQ(RampIndex(samples[0]), 85 * 48) << "what the device held at the pause is played again";
}

TEST_F(AudioPlayback, SetPositionMovesTheAudioPlayingOrPaused) {
    ASSERT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened);
    Player().SetPosition(250 * kMs);
    EXPECT_EQ(Player().GetState(), MediaState::Paused);
    EXPECT_EQ(Player().GetPosition(), 250 * kMs);
    Player().Play();
    EXPECT_EQ(RampIndex(PlayBuffer()[0]), (250 * 48) % 32768);

    for (int i = 0; i < 5; ++i) PlayBuffer();
    Player().SetPosition(500 * kMs);
    EXPECT_EQ(Player().GetState(), MediaState::Playing);
    EXPECT_TRUE(device->started);
    EXPECT_EQ(Player().GetPosition(), 500 * kMs);
    EXPECT_EQ(RampIndex(PlayBuffer()[0]), (500 * 48) % 32768);

    Player().SetPosition(0);
    EXPECT_EQ(Player().GetPosition(), 0) << "0 rewinds";
    EXPECT_EQ(RampIndex(PlayBuffer()[0]), 0);
    Player().SetPosition(-5 * kMs);
    EXPECT_EQ(Player().GetPosition(), 0);
    Player().SetPosition(5'000 * kMs);
    EXPECT_EQ(Player().GetPosition(), 1'000 * kMs) << "cut to the duration";
}

TEST_F(AudioPlayback, AtTheEndTheAudioFallsSilentOnTheDurationAndPlayStartsOver) {
    device->latencyFrames = kBuffer;
    ASSERT_EQ(Player().Open(files.Ramp("short.wav", 0.1)), AudioPlayer::OpenResult::Opened);
    Player().Play();
    std::vector<float> last;
    for (int i = 0; i < 12; ++i) last = PlayBuffer();
    for (float sample : last) ASSERT_EQ(sample, 0.0f) << "silence after the end";
    EXPECT_EQ(Player().GetPosition(), 100 * kMs);
    EXPECT_EQ(Player().GetState(), MediaState::Playing) << "the owner's end-of-media rule pauses it";
    for (int i = 0; i < 3; ++i) PlayBuffer();
    EXPECT_EQ(Player().GetPosition(), 100 * kMs) << "no looping: the position rests on the duration";

    Player().Pause();
    EXPECT_EQ(Player().GetPosition(), 100 * kMs);
    Player().Play();
    EXPECT_EQ(Player().GetPosition(), 0);
    EXPECT_EQ(RampIndex(PlayBuffer()[0]), 0);
}

TEST_F(AudioPlayback, AFileShorterThanItsHeaderEndsWhenItsAudioEnds) {
    device->latencyFrames = kBuffer;
    TestSupport::WavContent cut = TestSupport::RampWav(48'000, 2, 4'800);
    cut.dataSizeOverride = 48'000 * 4;  // claims a second, holds a tenth
    ASSERT_EQ(Player().Open(files.Wav("cut.wav", cut)), AudioPlayer::OpenResult::Opened);
    Player().Play();
    for (int i = 0; i < 15; ++i) PlayBuffer();
    EXPECT_EQ(Player().GetDuration(), 100 * kMs);
    EXPECT_EQ(Player().GetPosition(), Player().GetDuration()) << "so the end of the audio is seen";
    Player().PublishReports();
    ASSERT_FALSE(durations.empty());
    EXPECT_EQ(durations.back(), 100 * kMs);
}

TEST_F(AudioPlayback, ReportsTellTheDurationOnceAndThePositionWhenItMoves) {
    device->latencyFrames = 0;
    Player().PublishReports();
    EXPECT_TRUE(positions.empty() && durations.empty()) << "no reports without a source";

    ASSERT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened);
    Player().PublishReports();
    EXPECT_EQ(durations, std::vector<int64_t>{1'000 * kMs});
    EXPECT_EQ(positions, std::vector<int64_t>{0});
    Player().PublishReports();
    EXPECT_EQ(durations.size(), 1u);
    EXPECT_EQ(positions.size(), 1u) << "an unchanged position is not told again";

    Player().Play();
    PlayBuffer();
    Player().PublishReports();
    EXPECT_EQ(positions, (std::vector<int64_t>{0, 10 * kMs}));
    Player().SetPosition(600 * kMs);
    Player().PublishReports();
    EXPECT_EQ(positions.back(), 600 * kMs);

    // A new file is told afresh, even with the same length.
    ASSERT_EQ(Player().Open(files.Ramp("again.wav", 1.0)), AudioPlayer::OpenResult::Opened);
    Player().PublishReports();
    EXPECT_EQ(durations.size(), 2u);
    EXPECT_EQ(positions.back(), 0);
}

TEST_F(AudioPlayback, ReportsComeFromAThreadOfTheirOwn) {
    std::atomic<bool> told{false};
    std::thread::id reporter;
    AudioPlayer::Options options;
    options.makeOutput = [device = device] { return std::make_unique<FakeAudioOutput>(device); };
    options.reportInterval = std::chrono::milliseconds(5);
    AudioPlayer player(options);
    player.SetReports({}, [&](int64_t) {
        reporter = std::this_thread::get_id();
        told = true;
    });
    ASSERT_EQ(player.Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened);
    for (int i = 0; i < 400 && !told; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(told);
    EXPECT_NE(reporter, std::this_thread::get_id());
}

TEST_F(AudioPlayback, NoDeviceOrAnUnplayableFileLeavesThePlayerClosed) {
    ASSERT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened);
    EXPECT_EQ(Player().Open(files.Text("notes.mp3", "not audio at all, only words")), AudioPlayer::OpenResult::CannotPlay);
    EXPECT_EQ(Player().GetState(), MediaState::Closed) << "the previous file is gone as well";
    EXPECT_FALSE(Player().Error().empty());
    Player().Play();
    EXPECT_EQ(Player().GetState(), MediaState::Closed);
    EXPECT_EQ(Player().GetPosition(), 0);
}

TEST_F(AudioPlayback, WithoutADeviceNothingOpens) {
    device->refuseOpen = true;
    EXPECT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::NoDevice);
    EXPECT_EQ(Player().GetState(), MediaState::Closed);
    EXPECT_NE(Player().Error().find("no sound card"), std::string::npos);
    // The file is judged on its own: without a device an unplayable one is still refused as such.
    EXPECT_EQ(Player().Open(files.Text("notes.mp3", "not audio at all, only words")), AudioPlayer::OpenResult::CannotPlay);
    EXPECT_EQ(Player().GetState(), MediaState::Closed);
    // A device that appears later is used.
    device->refuseOpen = false;
    EXPECT_EQ(Player().Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened);
}

}  // namespace
