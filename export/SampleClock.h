#pragma once
// The video's timeline counts frames: the stream's time base is 1/fps and frame i starts at i, so
// every frame time is exact and a reader sees the rate itself (30/1, not 30.00003). The audio is
// cut at the same times, converted to its own samples.
#include <cstdint>

namespace ProjectTavrin {

class SampleClock {
public:
    /// `fps` must be at least 1.
    explicit SampleClock(uint32_t fps);

    uint32_t Fps() const { return m_fps; }
    /// One frame, in the time base's units.
    int64_t SampleDuration() const { return 1; }
    /// Start of the next frame, in the time base's units (1/fps).
    int64_t SampleTime() const { return static_cast<int64_t>(m_samples); }
    /// Frames passed so far.
    uint64_t Samples() const { return m_samples; }
    /// Moves to the next frame.
    void Advance() { ++m_samples; }

    /// The whole number of audio samples at `rate` per second before `time` (in 1/fps units),
    /// rounded down.
    int64_t AudioSamplesBefore(int64_t time, int64_t rate) const;

private:
    uint32_t m_fps;
    uint64_t m_samples = 0;
};

}  // namespace ProjectTavrin
