#include "model/KeySearch.h"

#include <algorithm>
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

std::vector<Key> Keys(std::initializer_list<std::int32_t> frames) {
    std::vector<Key> keys;
    for (std::int32_t f : frames) keys.push_back({f});
    return keys;
}

// Independent expectation: the answer is the upper bound of trunc(f).
KeyLookup Expected(const std::vector<Key>& keys, float frame) {
    if (keys.empty()) return {KeyPosition::Empty, 0};
    const std::int32_t n = Vesma::KeySearchFrame(frame);
    std::size_t answer = 0;
    while (answer < keys.size() && keys[answer].frame <= n) ++answer;
    if (answer == keys.size()) return {KeyPosition::PastEnd, keys.size() - 1};
    if (answer == 0) return {KeyPosition::First, 0};
    return {KeyPosition::Between, answer};
}

void ExpectSame(const KeyLookup& got, const KeyLookup& want, float frame) {
    ASSERT_EQ(static_cast<int>(got.position), static_cast<int>(want.position)) << "frame " << frame;
    ASSERT_EQ(got.index, want.index) << "frame " << frame;
}

// Timeline used below:   0 ---- 10 ---- 20 ---- 30 = 30 ---- 45
const std::vector<Key> kTimeline = Keys({0, 10, 20, 30, 30, 45});

TEST(KeySearch, EmptyListHasNothingToUse) {
    std::size_t cache = 0;
    EXPECT_EQ(FindKey(std::vector<Key>{}, 5.0f, cache).position, KeyPosition::Empty);
}

TEST(KeySearch, FixedFrames) {
    struct Case {
        float frame;
        KeyPosition position;
        std::size_t index;
    };
    const std::vector<Key> keys = Keys({10, 20, 30});
    const Case cases[] = {
        {-5.0f, KeyPosition::First, 0},   {0.0f, KeyPosition::First, 0},     {9.99f, KeyPosition::First, 0},
        {10.0f, KeyPosition::Between, 1}, {10.5f, KeyPosition::Between, 1}, {19.9f, KeyPosition::Between, 1},
        {20.0f, KeyPosition::Between, 2}, {29.99f, KeyPosition::Between, 2}, {30.0f, KeyPosition::PastEnd, 2},
        {1e9f, KeyPosition::PastEnd, 2},
    };
    for (const Case& c : cases) {
        std::size_t cache = 0;
        const KeyLookup got = FindKey(keys, c.frame, cache);
        EXPECT_EQ(static_cast<int>(got.position), static_cast<int>(c.position)) << c.frame;
        EXPECT_EQ(got.index, c.index) << c.frame;
    }
}

TEST(KeySearch, CacheChangesOnlyBetweenKeys) {
    std::size_t cache = 0;
    FindKey(kTimeline, 12.0f, cache);
    EXPECT_EQ(cache, 2u);
    FindKey(kTimeline, 100.0f, cache);  // past the end: cache kept
    EXPECT_EQ(cache, 2u);
    FindKey(kTimeline, -1.0f, cache);  // before the first key: cache kept
    EXPECT_EQ(cache, 2u);
    FindKey(kTimeline, 40.0f, cache);
    EXPECT_EQ(cache, 5u);
}

TEST(KeySearch, EqualFramesInterpolateFromTheLastOfThem) {
    std::size_t cache = 0;
    const KeyLookup got = FindKey(kTimeline, 30.0f, cache);
    EXPECT_EQ(got.position, KeyPosition::Between);
    EXPECT_EQ(got.index, 5u);  // k0 = index 4, the second key at 30
}

TEST(KeySearch, SequentialPlaybackForwardAndBackward) {
    std::size_t cache = 0;
    for (float f = -3.0f; f <= 50.0f; f += 0.25f) ExpectSame(FindKey(kTimeline, f, cache), Expected(kTimeline, f), f);
    for (float f = 50.0f; f >= -3.0f; f -= 0.5f) ExpectSame(FindKey(kTimeline, f, cache), Expected(kTimeline, f), f);
}

TEST(KeySearch, RandomSeeksAgreeWithTheUpperBound) {
    std::mt19937 rng(1234);
    std::vector<Key> keys;
    std::int32_t frame = -20;
    for (int i = 0; i < 200; ++i) {
        frame += static_cast<std::int32_t>(rng() % 4);  // gaps of 0..3, equal frames included
        keys.push_back({frame});
    }
    std::uniform_real_distribution<float> seek(-40.0f, static_cast<float>(frame) + 40.0f);
    std::size_t cache = 0;
    for (int i = 0; i < 5000; ++i) {
        const float f = seek(rng);
        const KeyLookup got = FindKey(keys, f, cache);
        ExpectSame(got, Expected(keys, f), f);
        // A seek by a frame or two from here must agree too (exercises the fast paths).
        const float near = f + static_cast<float>(static_cast<int>(rng() % 5) - 2);
        ExpectSame(FindKey(keys, near, cache), Expected(keys, near), near);
    }
}

TEST(KeySearch, StaleCacheBeyondTheListStillFindsTheKey) {
    std::size_t cache = 99;
    const KeyLookup got = FindKey(kTimeline, 15.0f, cache);
    EXPECT_EQ(got.position, KeyPosition::Between);
    EXPECT_EQ(got.index, 2u);
    EXPECT_EQ(cache, 2u);
}

TEST(KeySearch, CorruptFramesStayDefined) {
    EXPECT_EQ(Vesma::KeySearchFrame(10.9f), 10);
    EXPECT_EQ(Vesma::KeySearchFrame(-0.9f), 0);
    EXPECT_EQ(Vesma::KeySearchFrame(-1.5f), -1);
    EXPECT_EQ(Vesma::KeySearchFrame(3e10f), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(Vesma::KeySearchFrame(-3e10f), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(Vesma::KeySearchFrame(std::numeric_limits<float>::quiet_NaN()), std::numeric_limits<std::int32_t>::min());
    std::size_t cache = 0;
    EXPECT_EQ(FindKey(kTimeline, std::numeric_limits<float>::infinity(), cache).position, KeyPosition::PastEnd);
}

TEST(KeySearch, ProgressBetweenKeys) {
    EXPECT_FLOAT_EQ(Vesma::KeyProgress(10.5f, 10, 11), 0.5f);
    EXPECT_FLOAT_EQ(Vesma::KeyProgress(15.0f, 0, 30), 0.5f);
    // Frames at both ends of the 32-bit range: the difference does not overflow.
    const float t = Vesma::KeyProgress(0.0f, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max());
    EXPECT_NEAR(t, 0.5f, 1e-6f);
}

TEST(KeySearch, CustomFrameProjection) {
    struct Record {
        int other;
        std::int32_t when;
    };
    const std::vector<Record> records{{0, 0}, {0, 10}, {0, 20}};
    std::size_t cache = 0;
    const KeyLookup got = FindKey(records, 12.0f, cache, [](const Record& r) { return r.when; });
    EXPECT_EQ(got.position, KeyPosition::Between);
    EXPECT_EQ(got.index, 2u);
}

}  // namespace
