#pragma once
// The demo's music: a short synthesised tune on the demo tempo, as a 16-bit stereo PCM WAV file.
#include <cstdint>
#include <vector>

namespace DemoScene {

struct MusicFormat {
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint16_t kChannels = 2;
    static constexpr uint16_t kBitsPerSample = 16;
};

/// The whole WAV file: a kick on every beat, a hi-hat between beats, a bass line and a lead
/// melody over a four-chord loop, fading out over the last beat. Deterministic: the same bytes on
/// every run (noise comes from a fixed-seed generator).
std::vector<uint8_t> BuildMusicTrack();

}  // namespace DemoScene
