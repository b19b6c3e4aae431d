// The rule that keeps the animation time on the audio position.
#include <gtest/gtest.h>

#include <cstdint>

#include "scene/AudioClockFollower.h"

namespace {

using ProjectTavrin::AudioClockFollower;

constexpr uint64_t kMs = 10'000;  // ticks per millisecond

TEST(AudioClockFollower, OnTheAudioItChangesNothing) {
    EXPECT_EQ(AudioClockFollower::Follow(5'000 * kMs, 5'000 * kMs, 16 * kMs), 5'000 * kMs);
}

TEST(AudioClockFollower, FarApartItJumpsToTheAudio) {
    // Ahead and behind, just past the jump width.
    EXPECT_EQ(AudioClockFollower::Follow(1'000 * kMs, 1'201 * kMs, 16 * kMs), 1'201 * kMs);
    EXPECT_EQ(AudioClockFollower::Follow(1'201 * kMs, 1'000 * kMs, 16 * kMs), 1'000 * kMs);
    EXPECT_EQ(AudioClockFollower::Follow(60'000 * kMs, 0, 16 * kMs), 0u) << "the audio started over";
}

TEST(AudioClockFollower, NearbyItClosesAShareOfTheGapInProportionToTheStep) {
    // 100 ms behind, a 25 ms step: a tenth of the gap (25 / 250).
    EXPECT_EQ(AudioClockFollower::Follow(1'000 * kMs, 1'100 * kMs, 25 * kMs), 1'010 * kMs);
    EXPECT_EQ(AudioClockFollower::Follow(1'100 * kMs, 1'000 * kMs, 25 * kMs), 1'090 * kMs);
    // Twice the step, twice the share.
    EXPECT_EQ(AudioClockFollower::Follow(1'000 * kMs, 1'100 * kMs, 50 * kMs), 1'020 * kMs);
    // A step as long as the settle time closes the gap.
    EXPECT_EQ(AudioClockFollower::Follow(1'000 * kMs, 1'100 * kMs, 250 * kMs), 1'100 * kMs);
    EXPECT_EQ(AudioClockFollower::Follow(1'000 * kMs, 1'100 * kMs, 0), 1'000 * kMs) << "no step, no change";
}

TEST(AudioClockFollower, AnimationTimeNeverRunsBackWhileTheClockAdvances) {
    // The clock ran ahead of the audio by up to the jump width; each update it advanced by a step
    // first, so the result must stay at or after where it stood before that step.
    for (uint64_t step : {1 * kMs, 8 * kMs, 16 * kMs, 33 * kMs, 100 * kMs}) {
        for (uint64_t ahead = 0; ahead <= 200 * kMs; ahead += 10 * kMs) {
            const uint64_t before = 10'000 * kMs;
            const uint64_t clock = before + step;
            const uint64_t audio = clock - ahead;
            EXPECT_GE(AudioClockFollower::Follow(clock, audio, step), before) << step << " " << ahead;
        }
    }
}

TEST(AudioClockFollower, RepeatedUpdatesConvergeOnAnAudioThatRunsFaster) {
    // Audio 0.5 % faster than the clock, 60 updates a second for a minute: the gap settles at
    // 0.5 % of (settle time - step), 1.17 ms, instead of growing to 300 ms.
    uint64_t clock = 0, audio = 0;
    const uint64_t step = 166'667;
    for (int i = 0; i < 3'600; ++i) {
        clock += step;
        audio += step + step / 200;
        clock = AudioClockFollower::Follow(clock, audio, step);
    }
    EXPECT_NEAR(static_cast<double>(audio) - static_cast<double>(clock), 1.167 * kMs, 0.01 * kMs);
}

}  // namespace
