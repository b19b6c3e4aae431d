#include "scene/StepClock.h"

#include <chrono>
#include <stdexcept>

namespace ProjectTavrin {
namespace {

int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

StepClock::StepClock() : StepClock(&SteadyNanoseconds, 1'000'000'000) {}

StepClock::StepClock(Counter counter, int64_t frequency)
    : m_counter(std::move(counter)), m_frequency(frequency), m_lastCounter(0), m_maxDelta(0) {
    if (!m_counter || frequency < 10) throw std::invalid_argument("StepClock needs a counter of at least 10 Hz");
    m_lastCounter = m_counter();
    m_maxDelta = static_cast<uint64_t>(m_frequency / 10);
}

void StepClock::Tick(const std::function<void()>& update) {
    if (m_paused.load()) return;

    const int64_t now = m_counter();
    // A counter that steps back (it should not) counts as no time rather than a huge step.
    uint64_t delta = now > m_lastCounter ? static_cast<uint64_t>(now - m_lastCounter) : 0;
    m_lastCounter = now;
    m_secondCounter += delta;

    if (delta > m_maxDelta) delta = m_maxDelta;
    // delta <= frequency / 10, so the product stays far below 2^64 for any real counter.
    delta = delta * kTicksPerSecond / static_cast<uint64_t>(m_frequency);

    const uint32_t lastFrameCount = m_frameCount.load(std::memory_order_relaxed);
    if (m_fixedStep) {
        // Timer jitter around the target would otherwise leave a sliver that now and then makes
        // two steps in one tick and none in the next.
        const uint64_t gap = delta > m_targetElapsedTicks ? delta - m_targetElapsedTicks : m_targetElapsedTicks - delta;
        if (gap < kFixedStepSnapTicks) delta = m_targetElapsedTicks;
        m_leftoverTicks += delta;
        while (m_targetElapsedTicks > 0 && m_leftoverTicks >= m_targetElapsedTicks) {
            m_elapsedTicks = m_targetElapsedTicks;
            m_totalTicks += m_targetElapsedTicks;
            m_leftoverTicks -= m_targetElapsedTicks;
            m_frameCount.fetch_add(1, std::memory_order_relaxed);
            if (update) update();
        }
    } else {
        m_elapsedTicks = delta;
        m_totalTicks += delta;
        m_leftoverTicks = 0;
        m_frameCount.fetch_add(1, std::memory_order_relaxed);
        if (update) update();
    }

    if (m_frameCount.load(std::memory_order_relaxed) != lastFrameCount) ++m_framesThisSecond;
    if (m_secondCounter >= static_cast<uint64_t>(m_frequency)) {
        m_framesPerSecond.store(m_framesThisSecond, std::memory_order_relaxed);
        m_framesThisSecond = 0;
        m_secondCounter %= static_cast<uint64_t>(m_frequency);
    }
}

void StepClock::ResetElapsedTime() {
    m_lastCounter = m_counter();
    m_leftoverTicks = 0;
    m_framesPerSecond.store(0, std::memory_order_relaxed);
    m_framesThisSecond = 0;
    m_secondCounter = 0;
}

void StepClock::ResetClock() {
    ResetElapsedTime();
    m_totalTicks = 0;
    m_frameCount.store(0, std::memory_order_relaxed);
}

}  // namespace ProjectTavrin
