#include "scene/StepClock.h"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace {

using ProjectTavrin::StepClock;

// A counter at 1000 counts per second that the test moves by hand, so one count is 1 ms
// (10,000 ticks).
struct ManualCounter {
    std::shared_ptr<int64_t> now = std::make_shared<int64_t>(5'000);
    StepClock::Counter Source() const {
        return [now = now] { return *now; };
    }
    void Advance(int64_t counts) { *now += counts; }
};

constexpr int64_t kFrequency = 1000;
constexpr uint64_t kTicksPerCount = StepClock::kTicksPerSecond / kFrequency;

struct StepClockTest : ::testing::Test {
    ManualCounter counter;
    StepClock clock{counter.Source(), kFrequency};
    int updates = 0;
    void Tick() {
        clock.Tick([this] { ++updates; });
    }
};

TEST_F(StepClockTest, VariableStepTakesTheMeasuredTime) {
    counter.Advance(16);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 16 * kTicksPerCount);
    EXPECT_EQ(clock.GetTotalTicks(), 16 * kTicksPerCount);
    EXPECT_EQ(clock.GetFrameCount(), 1u);
    EXPECT_EQ(updates, 1);

    counter.Advance(40);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 40 * kTicksPerCount);
    EXPECT_EQ(clock.GetTotalTicks(), 56 * kTicksPerCount);
    EXPECT_DOUBLE_EQ(clock.GetTotalSeconds(), 0.056);
    EXPECT_EQ(clock.GetFrameCount(), 2u);
    EXPECT_EQ(updates, 2);
}

TEST_F(StepClockTest, TickWithoutTimePassingStillCountsAStep) {
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 0u);
    EXPECT_EQ(clock.GetFrameCount(), 1u);
    EXPECT_EQ(updates, 1);
}

TEST_F(StepClockTest, LongStallIsCutToATenthOfASecond) {
    counter.Advance(2000);  // two seconds
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 1'000'000u);
    EXPECT_EQ(clock.GetTotalTicks(), 1'000'000u);
    // Exactly the limit passes unchanged; one count more is cut.
    counter.Advance(100);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 1'000'000u);
    counter.Advance(101);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 1'000'000u);
    EXPECT_EQ(clock.GetTotalTicks(), 3'000'000u);
}

TEST_F(StepClockTest, CounterGoingBackwardsIsAZeroStep) {
    counter.Advance(-50);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 0u);
    counter.Advance(10);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 10 * kTicksPerCount);
}

TEST_F(StepClockTest, PausedClockIgnoresTicksAndMeasuresFromTheLastTickAfterwards) {
    counter.Advance(20);
    Tick();
    clock.SetPaused(true);
    for (int i = 0; i < 5; ++i) {
        counter.Advance(10);
        Tick();
    }
    EXPECT_EQ(clock.GetFrameCount(), 1u);
    EXPECT_EQ(clock.GetTotalTicks(), 20 * kTicksPerCount);
    EXPECT_EQ(updates, 1);

    // 50 counts passed while paused: the first step after resuming includes them.
    clock.SetPaused(false);
    counter.Advance(5);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 55 * kTicksPerCount);
    // A long pause is still cut.
    clock.SetPaused(true);
    counter.Advance(5000);
    Tick();
    clock.SetPaused(false);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), clock.GetMaxDelta() * kTicksPerCount);
}

TEST_F(StepClockTest, FramesPerSecondChangesOncePerSecondOfCounterTime) {
    // 10 ms steps: the count appears once a full second has been measured and holds until the
    // next second completes.
    std::vector<uint32_t> seen;
    for (int i = 0; i < 300; ++i) {
        counter.Advance(10);
        Tick();
        seen.push_back(clock.GetFramesPerSecond());
    }
    for (int i = 0; i < 99; ++i) EXPECT_EQ(seen[i], 0u) << "step " << i;
    for (int i = 99; i < 300; ++i) EXPECT_EQ(seen[i], 100u) << "step " << i;

    // Slower steps: the count changes at the next second boundary, not before.
    for (int i = 0; i < 49; ++i) {
        counter.Advance(20);
        Tick();
        ASSERT_EQ(clock.GetFramesPerSecond(), 100u) << "step " << i;
    }
    counter.Advance(20);
    Tick();
    EXPECT_EQ(clock.GetFramesPerSecond(), 50u);
}

TEST_F(StepClockTest, StallsCountTowardTheSecondUncut) {
    // A 2-second stall is one step of 0.1 s, but the second boundary sees the whole stall.
    counter.Advance(10);
    Tick();
    counter.Advance(2000);
    Tick();
    EXPECT_EQ(clock.GetFramesPerSecond(), 2u);
}

TEST_F(StepClockTest, ResetElapsedTimeStartsTheNextStepFromNowAndKeepsTotals) {
    for (int i = 0; i < 120; ++i) {
        counter.Advance(10);
        Tick();
    }
    ASSERT_EQ(clock.GetFramesPerSecond(), 100u);
    counter.Advance(70);
    clock.ResetElapsedTime();
    EXPECT_EQ(clock.GetFramesPerSecond(), 0u);
    EXPECT_EQ(clock.GetTotalTicks(), 1200 * kTicksPerCount);
    EXPECT_EQ(clock.GetFrameCount(), 120u);
    // The 70 counts before the reset are not part of the next step, and the second restarts at
    // the reset: 99 more 10-ms steps are not yet a full second, the 100th is.
    counter.Advance(10);
    Tick();
    EXPECT_EQ(clock.GetElapsedTicks(), 10 * kTicksPerCount);
    for (int i = 0; i < 98; ++i) {
        counter.Advance(10);
        Tick();
    }
    EXPECT_EQ(clock.GetFramesPerSecond(), 0u);
    counter.Advance(10);
    Tick();
    EXPECT_EQ(clock.GetFramesPerSecond(), 100u);
}

TEST_F(StepClockTest, ResetClockZeroesTotalsButKeepsTheLastStepLength) {
    counter.Advance(30);
    Tick();
    counter.Advance(30);
    Tick();
    clock.ResetClock();
    EXPECT_EQ(clock.GetTotalTicks(), 0u);
    EXPECT_EQ(clock.GetFrameCount(), 0u);
    EXPECT_EQ(clock.GetElapsedTicks(), 30 * kTicksPerCount);
    counter.Advance(7);
    Tick();
    EXPECT_EQ(clock.GetTotalTicks(), 7 * kTicksPerCount);
    EXPECT_EQ(clock.GetFrameCount(), 1u);
}

TEST_F(StepClockTest, ResetWhilePausedLeavesItPaused) {
    clock.SetPaused(true);
    clock.ResetClock();
    EXPECT_TRUE(clock.IsPaused());
    counter.Advance(10);
    Tick();
    EXPECT_EQ(clock.GetFrameCount(), 0u);
}

TEST_F(StepClockTest, FixedStepSlicesTimeIntoWholeSteps) {
    clock.SetFixedTimeStep(true);
    clock.SetTargetElapsedTicks(100'000);  // 10 ms
    counter.Advance(35);                   // three steps, 5 ms left over
    Tick();
    EXPECT_EQ(updates, 3);
    EXPECT_EQ(clock.GetFrameCount(), 3u);
    EXPECT_EQ(clock.GetElapsedTicks(), 100'000u);
    EXPECT_EQ(clock.GetTotalTicks(), 300'000u);
    counter.Advance(5);  // with the leftover: one more step
    Tick();
    EXPECT_EQ(updates, 4);
    counter.Advance(4);  // not enough: no step, no update
    Tick();
    EXPECT_EQ(updates, 4);
    EXPECT_EQ(clock.GetTotalTicks(), 400'000u);
}

TEST(StepClock, FixedStepSnapsJitterOntoTheTarget) {
    // A 10 MHz counter counts in ticks. Target 1/60 s: measurements within 0.25 ms of it count as
    // exactly one step each; without the snap, 165,000 then 168,000 would take two steps in one
    // tick now and then and none in another.
    ManualCounter counter;
    StepClock clock(counter.Source(), StepClock::kTicksPerSecond);
    clock.SetFixedTimeStep(true);
    ASSERT_EQ(clock.GetTargetElapsedTicks(), 166'666u);
    int updates = 0;
    for (int i = 0; i < 10; ++i) {
        counter.Advance(i % 2 ? 165'000 : 168'000);
        clock.Tick([&] { ++updates; });
        EXPECT_EQ(updates, i + 1) << "tick " << i;
    }
    EXPECT_EQ(clock.GetTotalTicks(), 10 * 166'666u);
    // Just outside the window the time is kept as measured: 163,000 leaves no step.
    counter.Advance(163'000);
    clock.Tick([&] { ++updates; });
    EXPECT_EQ(updates, 10);
}

TEST_F(StepClockTest, FixedStepCountsAFrameOnlyWhenAStepWasTaken) {
    clock.SetFixedTimeStep(true);
    clock.SetTargetElapsedTicks(1'000'000);  // 100 ms
    for (int i = 0; i < 100; ++i) {
        counter.Advance(10);  // ten ticks per step
        Tick();
    }
    EXPECT_EQ(updates, 10);
    EXPECT_EQ(clock.GetFramesPerSecond(), 10u);
}

TEST(StepClock, SteadyClockAdvances) {
    StepClock clock;
    EXPECT_EQ(clock.GetMaxDelta(), 100'000'000u);  // a tenth of a second of nanoseconds
    clock.Tick();
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(2)) {
    }
    clock.Tick();
    EXPECT_GE(clock.GetElapsedTicks(), 20'000u);
    EXPECT_LE(clock.GetElapsedTicks(), 1'000'000u);
}

TEST(StepClock, RejectsAMissingOrTooSlowCounter) {
    EXPECT_THROW(StepClock(nullptr, 1000), std::invalid_argument);
    EXPECT_THROW(StepClock([] { return int64_t{0}; }, 5), std::invalid_argument);
}

TEST_F(StepClockTest, SetTotalTicksMovesOnlyTheTotal) {
    counter.Advance(16);
    Tick();
    clock.SetTotalTicks(30'000'000);
    EXPECT_EQ(clock.GetTotalTicks(), 30'000'000u);
    EXPECT_EQ(clock.GetElapsedTicks(), 16 * kTicksPerCount) << "the last step stays";
    EXPECT_EQ(clock.GetFrameCount(), 1u);
    counter.Advance(10);
    Tick();
    EXPECT_EQ(clock.GetTotalTicks(), 30'000'000u + 10 * kTicksPerCount) << "the next step adds on from there";
}

}  // namespace
