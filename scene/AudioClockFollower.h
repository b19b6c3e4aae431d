#pragma once
// Keeps the animation time on the audio while audio plays. The playback clock and the sound card
// run on different oscillators, so over a song they drift apart; the audio position (what has
// actually been heard) is the truth the dance must match.
//
// A small gap is closed smoothly, a share of it on each update in proportion to the step, so the
// motion neither stutters nor runs backwards; a gap wider than kJumpTicks (a seek, a device that
// stalled, the audio starting over) is followed at once.
#include <cstdint>

namespace ProjectTavrin {

class AudioClockFollower {
public:
    /// Gaps wider than this (0.2 s) are jumped rather than closed gradually.
    static constexpr int64_t kJumpTicks = 2'000'000;
    /// A small gap shrinks by step / kSettleTicks of itself per update (all of it for steps this
    /// long or longer): 0.25 s. Longer than kJumpTicks, so a correction never outruns the step
    /// and the animation time never goes back.
    static constexpr int64_t kSettleTicks = 2'500'000;

    /// The animation time of this update, in 100-ns ticks: `clockTicks` (the playback clock
    /// after its tick, which advanced it by `stepTicks`) moved towards `audioTicks`.
    static uint64_t Follow(uint64_t clockTicks, uint64_t audioTicks, uint64_t stepTicks);
};

}  // namespace ProjectTavrin
