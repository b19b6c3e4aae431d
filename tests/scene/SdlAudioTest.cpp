// The audio player on SDL's own drivers, which need no sound card: "dummy" plays in real time
// into nothing, "disk" writes what it plays to a file, so the samples that reach the device can
// be read back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scene/AudioPlayer.h"
#include "tests/scene/AudioFiles.h"

namespace {

using namespace ProjectTavrin;
using SceneTest::AudioFiles;
using SceneTest::RampIndex;
using Clock = std::chrono::steady_clock;

constexpr double kTicksPerSecond = 1e7;

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(SdlAudio, OnTheDummyDriverThePositionFollowsRealTimeAndStopsOnPause) {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    AudioFiles files;
    AudioPlayer player;
    ASSERT_EQ(player.Open(files.Ramp("song.wav", 3.0)), AudioPlayer::OpenResult::Opened) << player.Error();
    const Clock::time_point start = Clock::now();
    player.Play();
    ASSERT_EQ(player.GetState(), MediaState::Playing);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const double position = static_cast<double>(player.GetPosition()) / kTicksPerSecond;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(position, 0.1);
    EXPECT_LE(position, elapsed + 0.005) << "nothing is heard before it is played";

    player.Pause();
    EXPECT_EQ(player.GetState(), MediaState::Paused);
    const int64_t paused = player.GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(player.GetPosition(), paused);
}

TEST(SdlAudio, TheDiskDriverReceivesTheFileSamplesInOrder) {
    AudioFiles files;
    const std::filesystem::path output = files.Dir() / "played.raw";
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv file("SDL_DISKAUDIOFILE", output.string());
        AudioPlayer player;
        ASSERT_EQ(player.Open(files.Ramp("song.wav", 1.0)), AudioPlayer::OpenResult::Opened) << player.Error();
        player.Play();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        player.Pause();
    }  // the device is closed and its file complete

    std::ifstream in(output, std::ios::binary);
    ASSERT_TRUE(in.good());
    std::vector<float> samples;
    float sample;
    while (in.read(reinterpret_cast<char*>(&sample), sizeof(sample))) samples.push_back(sample);
    // The driver writes silence while the device waits paused; the song starts at frame index 0
    // (itself silent), recognisable by index 1 after it.
    size_t first = 0;
    while (first + 1 < samples.size() / 2 && RampIndex(samples[first * 2]) != 1) ++first;
    ASSERT_GT(first, 0u) << "the song reached the device";
    --first;
    const size_t frames = samples.size() / 2 - first;
    ASSERT_GT(frames, 4'800u) << "at least a tenth of a second was played";
    for (size_t i = 0; i < 4'800; ++i) {
        ASSERT_EQ(RampIndex(samples[(first + i) * 2]), static_cast<int>(i)) << i;
        ASSERT_EQ(samples[(first + i) * 2 + 1], -samples[(first + i) * 2]) << i;
    }
}

}  // namespace
