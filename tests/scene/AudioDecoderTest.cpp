// Decoding audio files into the player's float stereo: sample values, lengths, conversion of
// rate and channels, seeking, and files that are damaged or are no audio at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "scene/AudioDecoder.h"
#include "tests/scene/AudioFiles.h"

namespace {

using ProjectTavrin::AudioDecoder;
using ProjectTavrin::AudioFormat;
using SceneTest::AudioFiles;
using SceneTest::RampIndex;

constexpr int64_t kSecond = 10'000'000;

std::vector<float> ReadAll(AudioDecoder& decoder, int chunk = 1000) {
    std::vector<float> all;
    std::vector<float> buffer(static_cast<size_t>(chunk) * 2);
    for (;;) {
        const int got = decoder.Read(buffer.data(), chunk);
        EXPECT_GE(got, 0) << decoder.Error();
        if (got <= 0) break;
        all.insert(all.end(), buffer.begin(), buffer.begin() + got * 2);
    }
    return all;
}

class AudioDecoding : public ::testing::Test {
protected:
    AudioFiles files;
    AudioDecoder decoder;
};

TEST_F(AudioDecoding, StereoAtTheOutputRateComesOutSampleForSample) {
    ASSERT_TRUE(decoder.Open(files.Ramp("ramp.wav", 0.5), AudioFormat{}));
    EXPECT_EQ(decoder.DurationTicks(), kSecond / 2);
    const std::vector<float> all = ReadAll(decoder, 777);
    ASSERT_EQ(all.size(), 24'000u * 2);
    for (int i = 0; i < 24'000; i += 997) {
        EXPECT_EQ(all[i * 2], static_cast<float>(i % 32768) / 32768.0f) << i;
        EXPECT_EQ(all[i * 2 + 1], -static_cast<float>(i % 32768) / 32768.0f) << i;
    }
    EXPECT_EQ(decoder.Read(std::vector<float>(20).data(), 10), 0) << "the end stays the end";
}

TEST_F(AudioDecoding, OtherRatesAndMonoAreConvertedToTheOutputFormat) {
    // One second of a 1000 Hz mono square wave at 44.1 kHz.
    TestSupport::WavContent mono;
    mono.sampleRate = 44'100;
    mono.channels = 1;
    for (int i = 0; i < 44'100; ++i) mono.samples.push_back((i / 22) % 2 ? 16'000 : -16'000);
    ASSERT_TRUE(decoder.Open(files.Wav("mono.wav", mono), AudioFormat{}));
    EXPECT_EQ(decoder.DurationTicks(), kSecond);
    const std::vector<float> all = ReadAll(decoder);
    EXPECT_NEAR(static_cast<double>(all.size()) / 2, 48'000.0, 48.0) << "one second at 48 kHz";
    float peak = 0.0f;
    for (size_t i = 0; i + 1 < all.size(); i += 2) {
        ASSERT_EQ(all[i], all[i + 1]) << "mono goes to both channels alike";
        peak = std::max(peak, std::abs(all[i]));
    }
    EXPECT_GT(peak, 0.3f) << "the signal survives the conversion";
}

TEST_F(AudioDecoding, SeekLandsOnTheRequestedSample) {
    ASSERT_TRUE(decoder.Open(files.Ramp("ramp.wav", 2.0), AudioFormat{}));
    float frame[2];
    for (const int64_t target : {kSecond / 4, 3 * kSecond / 2, kSecond / 10, int64_t{0}}) {
        ASSERT_TRUE(decoder.Seek(target)) << decoder.Error();
        ASSERT_EQ(decoder.Read(frame, 1), 1);
        const int index = static_cast<int>(target * 48'000 / kSecond);
        EXPECT_EQ(RampIndex(frame[0]), index % 32768) << target;
    }
    // Past the end: nothing more to read.
    ASSERT_TRUE(decoder.Seek(3 * kSecond));
    EXPECT_EQ(decoder.Read(frame, 1), 0);
}

TEST_F(AudioDecoding, FilesThatHoldNoPlayableAudioAreRefusedWithAReason) {
    const std::filesystem::path cases[] = {
        files.Dir() / "missing.wav",
        files.Bytes("empty.mp3", {}),
        files.Text("words.mp3", "This is a text file, not a song. It has no audio frames in it at all."),
        files.Bytes("header.wav", {'R', 'I', 'F', 'F', 0x24, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}),
        files.Wav("silent.wav", TestSupport::WavContent{}),
    };
    for (const auto& path : cases) {
        EXPECT_FALSE(decoder.Open(path, AudioFormat{})) << path;
        EXPECT_FALSE(decoder.Error().empty()) << path;
        EXPECT_FALSE(decoder.IsOpen());
        float frame[2];
        EXPECT_EQ(decoder.Read(frame, 1), 0) << "a closed decoder gives nothing";
    }
}

TEST_F(AudioDecoding, AbsurdSampleRatesAndChannelCountsAreRefusedAtOnce) {
    // A damaged header claiming 268 MHz: converting from it would first build gigabytes of
    // filter tables.
    TestSupport::WavContent fast = TestSupport::RampWav(48'000, 2, 4'800);
    fast.sampleRate = 268'479'556;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(decoder.Open(files.Wav("fast.wav", fast), AudioFormat{}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    TestSupport::WavContent wide = TestSupport::RampWav(48'000, 1, 4'800);
    wide.channels = 200;
    wide.samples.resize(200 * 24);
    EXPECT_FALSE(decoder.Open(files.Wav("wide.wav", wide), AudioFormat{}));

    // The edges of what real recordings use still play.
    TestSupport::WavContent slow = TestSupport::RampWav(4'000, 1, 400);
    EXPECT_TRUE(decoder.Open(files.Wav("slow.wav", slow), AudioFormat{})) << decoder.Error();
}

TEST_F(AudioDecoding, AFileShorterThanItsHeaderSaysPlaysWhatItHas) {
    TestSupport::WavContent cut = TestSupport::RampWav(48'000, 2, 4'800);
    cut.dataSizeOverride = 48'000 * 4;  // claims a second, holds a tenth
    ASSERT_TRUE(decoder.Open(files.Wav("cut.wav", cut), AudioFormat{}));
    EXPECT_EQ(ReadAll(decoder).size(), 4'800u * 2);
}

TEST_F(AudioDecoding, AStreamThatChangesChannelsMidwayIsConvertedThroughout) {
    // Silent MPEG-1 layer III frames (64 kbit/s, 44.1 kHz, 208 bytes, empty side information):
    // twenty stereo, twenty mono, twenty stereo. Each change of shape needs a new converter.
    std::vector<uint8_t> bytes;
    for (int part = 0; part < 3; ++part) {
        for (int frame = 0; frame < 20; ++frame) {
            const uint8_t mode = part == 1 ? 0xC0 : 0x00;
            const uint8_t header[4] = {0xFF, 0xFB, 0x50, mode};
            bytes.insert(bytes.end(), header, header + 4);
            bytes.resize(bytes.size() + 204, 0);
        }
    }
    ASSERT_TRUE(decoder.Open(files.Bytes("switch.mp3", bytes), AudioFormat{})) << decoder.Error();
    const std::vector<float> all = ReadAll(decoder);
    // 60 frames of 1152 samples at 44.1 kHz, heard at 48 kHz (the decoder's own delay aside).
    EXPECT_NEAR(static_cast<double>(all.size()) / 2, 60 * 1152 * 48'000.0 / 44'100.0, 1'500.0);
    for (float sample : all) ASSERT_EQ(sample, 0.0f);
}

TEST_F(AudioDecoding, RandomBytesNeverCrashOrHang) {
    // Blocks of noise after a plausible WAV or MP3 start: whatever is made of them is either
    // refused or read to an end.
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 12; ++round) {
        std::vector<uint8_t> bytes = TestSupport::WriteWav(TestSupport::RampWav(8'000, 1, 64));
        if (round % 2) bytes = {0xFF, 0xFB, 0x90, 0x64};  // an MP3 frame header
        bytes.resize(bytes.size() + 4'000 + round * 500);
        for (size_t i = round % 3 == 0 ? 44 : 4; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(next() >> 24);
        const auto path = files.Bytes("noise" + std::to_string(round) + (round % 2 ? ".mp3" : ".wav"), bytes);
        if (!decoder.Open(path, AudioFormat{})) continue;
        std::vector<float> buffer(2'000);
        int total = 0, got = 0;
        while ((got = decoder.Read(buffer.data(), 1'000)) > 0 && total < 10'000'000) total += got;
        EXPECT_LT(total, 10'000'000) << "decoding ends";
    }
}

}  // namespace
