#pragma once
// Writes 16-bit PCM WAV files in memory, for tests of the audio player. The samples are given as
// integers; a header may claim a different data size than the samples written (a damaged file).
#include <cstdint>
#include <optional>
#include <vector>

namespace TestSupport {

struct WavContent {
    int sampleRate = 48'000;
    int channels = 2;
    std::vector<int16_t> samples;            ///< interleaved, channels per frame
    std::optional<uint32_t> dataSizeOverride;  ///< written in place of the real data size

    int Frames() const { return channels > 0 ? static_cast<int>(samples.size()) / channels : 0; }
};

std::vector<uint8_t> WriteWav(const WavContent& content);

/// `frames` frames whose every sample encodes its frame index: left = index mod 32768 (a ramp
/// that wraps), right = its negation. Where a stretch of audio came from can be read back from
/// its values.
WavContent RampWav(int sampleRate, int channels, int frames);

}  // namespace TestSupport
