#include "export/SampleClock.h"

#include <stdexcept>

namespace ProjectTavrin {

SampleClock::SampleClock(uint32_t fps) {
    if (fps == 0) throw std::invalid_argument("the frame rate must be at least 1");
    m_sampleDuration = kUnitsPerSecond / static_cast<int64_t>(fps);
}

void SampleClock::Advance() {
    m_sampleTime += m_sampleDuration;
    ++m_samples;
}

int64_t SampleClock::UnitsToSamples(int64_t units, int64_t rate) {
    if (units <= 0 || rate <= 0) return 0;
    // Split so the product cannot overflow for any length a file can have.
    const int64_t whole = units / kUnitsPerSecond, rest = units % kUnitsPerSecond;
    return whole * rate + rest * rate / kUnitsPerSecond;
}

}  // namespace ProjectTavrin
