#pragma once
// A clock that turns a monotonic counter into update steps measured in 100-ns ticks
// (10,000,000 per second). Each Tick measures the time since the last one, cuts it to 0.1 s so a
// stall never becomes one huge step, and either takes it as one variable step or slices it into
// fixed steps, calling the update once per step. It also counts steps per second of counter time.
//
// The engine keeps two: the frame clock, which paces updates, and the playback clock, whose total
// time is the animation time. The paused flag, the step count and the steps per second are read
// and written by the UI thread without the engine lock, so they are atomic; everything else is
// changed only under that lock.
#include <atomic>
#include <cstdint>
#include <functional>

namespace ProjectTavrin {

class StepClock {
public:
    static constexpr uint64_t kTicksPerSecond = 10'000'000;
    /// Fixed-step mode rounds a measured step this close to the target onto the target.
    static constexpr uint64_t kFixedStepSnapTicks = 2'500;

    /// Reads a monotonic counter; `frequency` counts per second.
    using Counter = std::function<int64_t()>;

    /// Counts std::chrono::steady_clock (nanoseconds).
    StepClock();
    /// Counts `counter`, which advances `frequency` times per second (tests drive a fake one).
    /// Throws std::invalid_argument for a frequency below 10.
    StepClock(Counter counter, int64_t frequency);
    StepClock(const StepClock&) = delete;
    StepClock& operator=(const StepClock&) = delete;

    /// Takes the time since the last tick as one step (or as fixed steps) and calls `update`
    /// after each step. A paused clock does nothing, and keeps its last counter reading, so the
    /// first tick after a pause measures from the last tick before it (cut to 0.1 s).
    void Tick(const std::function<void()>& update);
    void Tick() { Tick(nullptr); }

    /// Forgets the time since the last tick and the steps-per-second count, so the next step
    /// starts from now; the totals stay.
    void ResetElapsedTime();
    /// As ResetElapsedTime, and total time and step count back to zero. The length of the last
    /// step is kept.
    void ResetClock();
    /// Moves the total time to `ticks` (a seek, or following the audio position). The step count
    /// and the last step's length stay; the next tick measures from its last counter reading.
    void SetTotalTicks(uint64_t ticks) { m_totalTicks = ticks; }

    void SetPaused(bool paused) { m_paused.store(paused); }
    bool IsPaused() const { return m_paused.load(); }
    void SetFixedTimeStep(bool fixed) { m_fixedStep = fixed; }
    bool IsFixedTimeStep() const { return m_fixedStep; }
    void SetTargetElapsedTicks(uint64_t ticks) { m_targetElapsedTicks = ticks; }
    uint64_t GetTargetElapsedTicks() const { return m_targetElapsedTicks; }

    /// Length of the last step, in ticks and seconds.
    uint64_t GetElapsedTicks() const { return m_elapsedTicks; }
    double GetElapsedSeconds() const { return TicksToSeconds(m_elapsedTicks); }
    /// Sum of all steps since construction or ResetClock.
    uint64_t GetTotalTicks() const { return m_totalTicks; }
    double GetTotalSeconds() const { return TicksToSeconds(m_totalTicks); }
    uint32_t GetFrameCount() const { return m_frameCount.load(std::memory_order_relaxed); }
    /// Steps counted during the last full second of counter time.
    uint32_t GetFramesPerSecond() const { return m_framesPerSecond.load(std::memory_order_relaxed); }
    /// Largest counter step one tick takes (a tenth of a second).
    uint64_t GetMaxDelta() const { return m_maxDelta; }

    static double TicksToSeconds(uint64_t ticks) { return static_cast<double>(ticks) / kTicksPerSecond; }

private:
    Counter m_counter;
    int64_t m_frequency;
    int64_t m_lastCounter;
    uint64_t m_maxDelta;
    uint64_t m_elapsedTicks = 0;
    uint64_t m_totalTicks = 0;
    uint64_t m_leftoverTicks = 0;
    std::atomic<uint32_t> m_frameCount{0};
    std::atomic<uint32_t> m_framesPerSecond{0};
    uint32_t m_framesThisSecond = 0;
    uint64_t m_secondCounter = 0;
    bool m_fixedStep = false;
    uint64_t m_targetElapsedTicks = kTicksPerSecond / 60;
    std::atomic<bool> m_paused{false};
};

}  // namespace ProjectTavrin
