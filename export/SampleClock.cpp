#include "export/SampleClock.h"

#include <stdexcept>

namespace ProjectTavrin {

SampleClock::SampleClock(uint32_t fps) : m_fps(fps) {
    if (fps == 0) throw std::invalid_argument("the frame rate must be at least 1");
}

int64_t SampleClock::AudioSamplesBefore(int64_t time, int64_t rate) const {
    if (time <= 0 || rate <= 0) return 0;
    // Split so the product cannot overflow for any length a file can have.
    const int64_t whole = time / m_fps, rest = time % m_fps;
    return whole * rate + rest * rate / m_fps;
}

}  // namespace ProjectTavrin
