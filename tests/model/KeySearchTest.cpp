#include "model/motion/KeySearch.h"

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Vesma::FindKey;
using Vesma::KeyLookup;
using Vesma::KeyPosition;

struct Key {
    std::int32_t frame;
};

// Independent expectation: the answer is the first key after trunc(f), found by a linear scan.
KeyLookup Expected(const std::vector<Key>& keys, float frame) {
    if (keys.empty()) return {KeyPosition::Empty, 0};
    std::size_t answer = 0;
    while (answer < keys.size() && keys[answer].frame <= Vesma::KeySearchFrame(frame)) ++answer;
    if (answer == keys.size()) return {KeyPosition::PastEnd, keys.size() - 1};
    if (answer == 0) return {KeyPosition::First, 0};
    return {KeyPosition::Between, answer};
}

void ExpectFound(const std::vector<Key>& keys, float frame, std::size_t& cache) {
    const KeyLookup want = Expected(keys, frame);
    const KeyLookup got = FindKey(keys, frame, cache);
    ASSERT_EQ(static_cast<int>(got.position), static_cast<int>(want.position)) << "frame " << frame;
    ASSERT_EQ(got.index, want.index) << "frame " << frame;
    if (got.position == KeyPosition::Between) {
        ASSERT_EQ(cache, got.index);
    }
}

// Timeline:  0 ---- 10 ---- 20 ---- 30 = 30 ---- 45
const std::vector<Key> kTimeline{{0}, {10}, {20}, {30}, {30}, {45}};

TEST(KeySearch, FixedFrames) {
    const struct {
        float frame;
        KeyPosition position;
        std::size_t index;
    } cases[] = {
        {-5.0f, KeyPosition::First, 0},   {-0.9f, KeyPosition::Between, 1},  // truncates to 0
        {9.99f, KeyPosition::Between, 1}, {10.0f, KeyPosition::Between, 2},
        {10.5f, KeyPosition::Between, 2}, {30.0f, KeyPosition::Between, 5},  // after the last key at 30
        {45.0f, KeyPosition::PastEnd, 5}, {std::numeric_limits<float>::infinity(), KeyPosition::PastEnd, 5},
        {std::numeric_limits<float>::quiet_NaN(), KeyPosition::First, 0},
    };
    for (const auto& c : cases) {
        std::size_t cache = 0;
        const KeyLookup got = FindKey(kTimeline, c.frame, cache);
        EXPECT_EQ(static_cast<int>(got.position), static_cast<int>(c.position)) << c.frame;
        EXPECT_EQ(got.index, c.index) << c.frame;
    }
    std::size_t cache = 0;
    EXPECT_EQ(FindKey(std::vector<Key>{}, 5.0f, cache).position, KeyPosition::Empty);
}

TEST(KeySearch, CacheChangesOnlyBetweenKeys) {
    std::size_t cache = 0;
    FindKey(kTimeline, 12.0f, cache);
    EXPECT_EQ(cache, 2u);
    FindKey(kTimeline, 100.0f, cache);
    FindKey(kTimeline, -1.0f, cache);
    EXPECT_EQ(cache, 2u);
    cache = 99;  // left over from a longer list
    ExpectFound(kTimeline, 15.0f, cache);
}

TEST(KeySearch, PlaybackAndSeeksAgreeWithAScan) {
    std::size_t cache = 0;
    for (float f = -3.0f; f <= 50.0f; f += 0.25f) ExpectFound(kTimeline, f, cache);
    for (float f = 50.0f; f >= -3.0f; f -= 0.5f) ExpectFound(kTimeline, f, cache);

    std::mt19937 rng(1234);
    std::vector<Key> keys;
    std::int32_t frame = -20;
    for (int i = 0; i < 200; ++i) keys.push_back({frame += static_cast<std::int32_t>(rng() % 4)});  // equal frames too
    std::uniform_real_distribution<float> seek(-40.0f, static_cast<float>(frame) + 40.0f);
    for (int i = 0; i < 5000; ++i) {
        const float f = seek(rng);
        ExpectFound(keys, f, cache);
        ExpectFound(keys, f + static_cast<float>(static_cast<int>(rng() % 5) - 2), cache);  // short hops
    }
}

TEST(KeySearch, FramesAndProgressStayDefinedAtTheExtremes) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(Vesma::KeySearchFrame(10.9f), 10);
    EXPECT_EQ(Vesma::KeySearchFrame(-1.5f), -1);
    EXPECT_EQ(Vesma::KeySearchFrame(3e10f), kMax);
    EXPECT_EQ(Vesma::KeySearchFrame(-3e10f), kMin);
    EXPECT_FLOAT_EQ(Vesma::KeyProgress(10.5f, 10, 11), 0.5f);
    EXPECT_NEAR(Vesma::KeyProgress(0.0f, kMin, kMax), 0.5f, 1e-6f);  // no 32-bit overflow
}

}  // namespace
