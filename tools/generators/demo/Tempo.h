#pragma once
// The demo's shared clock: the dance, the camera and the music keep the same beat.
#include <cstdint>

namespace DemoScene {

struct Tempo {
    static constexpr int kBeatsPerMinute = 120;
    static constexpr int kFramesPerSecond = 30;  // motion frames
    static constexpr int kFramesPerBeat = kFramesPerSecond * 60 / kBeatsPerMinute;
    static constexpr int kBeatsPerBar = 4;
    static constexpr int kBars = 5;
    static constexpr int kBeats = kBars * kBeatsPerBar;
    static constexpr uint32_t kLastFrame = static_cast<uint32_t>(kBeats * kFramesPerBeat);
    static constexpr double kSeconds = static_cast<double>(kLastFrame) / kFramesPerSecond;
};
static_assert(Tempo::kFramesPerBeat * Tempo::kBeatsPerMinute == Tempo::kFramesPerSecond * 60,
              "a beat must last a whole number of frames");

}  // namespace DemoScene
