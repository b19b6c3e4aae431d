// The playback time texts and the position bar.
#include <gtest/gtest.h>

#include <cstdint>

#include "scene/PlaybackDisplay.h"

namespace {

using namespace ProjectTavrin;

constexpr int64_t kSecond = 10'000'000;

TEST(PlaybackTimeText, ShowsHoursMinutesAndWholeSeconds) {
    EXPECT_EQ(PlaybackTimeText(0), "00:00:00");
    EXPECT_EQ(PlaybackTimeText(3'725 * kSecond), "01:02:05");
    EXPECT_EQ(PlaybackTimeText(59 * kSecond + kSecond - 1), "00:00:59") << "parts of a second are dropped";
    EXPECT_EQ(PlaybackTimeText(60 * kSecond), "00:01:00");
    EXPECT_EQ(PlaybackTimeText(3'599 * kSecond), "00:59:59");
    EXPECT_EQ(DurationText(180 * kSecond), "/00:03:00");
}

TEST(PlaybackTimeText, HoursAreShownInFull) {
    EXPECT_EQ(PlaybackTimeText(61 * 3'600 * kSecond), "61:00:00");
    EXPECT_EQ(PlaybackTimeText((100 * 3'600 + 61) * kSecond), "100:01:01");
    EXPECT_EQ(DurationText(61 * 3'600 * kSecond + 5 * kSecond), "/61:00:05");
}

TEST(PlaybackTimeText, OddValuesStayReadable) {
    EXPECT_EQ(PlaybackTimeText(-5 * kSecond), "00:00:00");
    EXPECT_EQ(PlaybackTimeText(INT64_MIN), "00:00:00");
    // The largest tick count: 922,337,203,685 seconds.
    EXPECT_EQ(PlaybackTimeText(INT64_MAX), "256204778:48:05");
}

TEST(PositionBar, IsThePositionAsAPercentageOfTheDuration) {
    EXPECT_DOUBLE_EQ(PositionBarValue(0, 180 * kSecond), 0.0);
    EXPECT_DOUBLE_EQ(PositionBarValue(90 * kSecond, 180 * kSecond), 50.0);
    EXPECT_DOUBLE_EQ(PositionBarValue(180 * kSecond, 180 * kSecond), 100.0);
    // The duration's hundredth is a whole division: 250 / 100 = 2, so 101 ticks read 50.5 (not
    // 40.4) and 240 ticks read 120, cut to 100.
    EXPECT_DOUBLE_EQ(PositionBarValue(101, 250), 50.5);
    EXPECT_DOUBLE_EQ(PositionBarValue(240, 250), 100.0);
}

TEST(PositionBar, ReadsZeroWhenTheDurationIsUnderAHundredTicks) {
    EXPECT_DOUBLE_EQ(PositionBarValue(50, 99), 0.0);
    EXPECT_DOUBLE_EQ(PositionBarValue(50, 0), 0.0);
    EXPECT_DOUBLE_EQ(PositionBarValue(50, -1000), 0.0);
    EXPECT_DOUBLE_EQ(PositionBarValue(-50, 1000), 0.0) << "a position before the start reads 0";
}

}  // namespace
