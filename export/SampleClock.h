#pragma once
// The video's timeline in 100-ns units: every frame lasts 10,000,000 / fps units, rounded down,
// and frame i starts at i times that. The rounding is kept on purpose (30 frames at 30 fps end at
// 9,999,990, not 10,000,000) so the stream's timestamps are the frame times exactly; the video
// stream counts in the same units, and the audio is cut to the same end.
#include <cstdint>

namespace ProjectTavrin {

class SampleClock {
public:
    static constexpr int64_t kUnitsPerSecond = 10'000'000;

    /// `fps` must be at least 1.
    explicit SampleClock(uint32_t fps);

    int64_t SampleDuration() const { return m_sampleDuration; }
    /// Start of the next frame.
    int64_t SampleTime() const { return m_sampleTime; }
    /// Frames passed so far.
    uint64_t Samples() const { return m_samples; }
    /// Moves to the next frame.
    void Advance();

    /// The whole number of samples at `rate` per second that fit in `units` (rounded down).
    static int64_t UnitsToSamples(int64_t units, int64_t rate);

private:
    int64_t m_sampleDuration;
    int64_t m_sampleTime = 0;
    uint64_t m_samples = 0;
};

}  // namespace ProjectTavrin
