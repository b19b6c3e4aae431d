#pragma once
// Key search shared by every kind of motion key list (bone, IK, morph and camera keys).
//
// A key list is sorted ascending by integer frame number. For a float frame f the search looks,
// with n = f truncated towards zero, for the "answer": the first key whose frame is greater than
// n. A cached index per key list remembers the last answer, so sequential playback costs O(1);
// any seek falls back to a binary search (upper bound) over the whole list. Whatever the cache
// holds, the answer is always the upper bound of n.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace Vesma {

/// Where a frame falls relative to a key list.
enum class KeyPosition {
    Empty,    ///< The list has no keys; there is nothing to use.
    First,    ///< The answer is the first key (the frame is before it): use the first key as it is.
    Between,  ///< Interpolate from keys[index - 1] to keys[index].
    PastEnd,  ///< No key lies after the frame: use the last key as it is.
};

struct KeyLookup {
    KeyPosition position = KeyPosition::Empty;
    /// First: 0. Between: the answer (k1); k0 is index - 1. PastEnd: the last key. Empty: 0.
    std::size_t index = 0;
};

/// Integer frame that the search compares with the key frames: f truncated towards zero. Frames
/// beyond the 32-bit range saturate, and NaN counts as before every key, so a corrupt frame value
/// never reaches an undefined float-to-integer conversion.
inline std::int32_t KeySearchFrame(float frame) {
    if (std::isnan(frame)) return std::numeric_limits<std::int32_t>::min();
    if (frame >= 2147483647.0f) return std::numeric_limits<std::int32_t>::max();
    if (frame <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(frame);
}

/// Progress between two key frames f0 < f1 for the float frame f: (f - f0) / (f1 - f0).
/// Worked out in double so that key frames far apart cannot overflow the 32-bit difference.
inline float KeyProgress(float frame, std::int32_t frame0, std::int32_t frame1) {
    const double span = static_cast<double>(frame1) - static_cast<double>(frame0);
    return static_cast<float>((static_cast<double>(frame) - frame0) / span);
}

/// Frame number of a key with a `frame` member (the usual key records).
struct KeyFrameMember {
    template <class Key>
    constexpr std::int32_t operator()(const Key& key) const {
        return key.frame;
    }
};

/// Finds where `frame` falls in `keys` (sorted ascending by frameOf), starting from
/// `cachedIndex`. The cached index changes only when the result is Between; it then holds the
/// answer's position. A cached index past the end of the list falls back to the binary search.
template <class Key, class FrameOf = KeyFrameMember>
KeyLookup FindKey(std::span<const Key> keys, float frame, std::size_t& cachedIndex, FrameOf frameOf = {}) {
    const std::size_t count = keys.size();
    if (count == 0) return {KeyPosition::Empty, 0};

    const std::int32_t n = KeySearchFrame(frame);
    const auto upperBound = [&]() -> std::size_t {
        const auto it = std::upper_bound(keys.begin(), keys.end(), n,
                                         [&](std::int32_t value, const Key& key) { return value < frameOf(key); });
        return static_cast<std::size_t>(it - keys.begin());
    };

    std::size_t answer = count;  // count: no key after n
    const std::size_t i = cachedIndex;
    if (i >= count) {
        // A cache left over from a longer list says nothing about this one.
        answer = upperBound();
    } else if (n < frameOf(keys[i])) {
        answer = (i == 0 || frameOf(keys[i - 1]) <= n) ? i : upperBound();
    } else if (i + 1 < count) {
        answer = n < frameOf(keys[i + 1]) ? i + 1 : upperBound();
    }

    if (answer >= count) return {KeyPosition::PastEnd, count - 1};
    if (answer == 0) return {KeyPosition::First, 0};
    cachedIndex = answer;
    return {KeyPosition::Between, answer};
}

template <class Key, class FrameOf = KeyFrameMember>
KeyLookup FindKey(const std::vector<Key>& keys, float frame, std::size_t& cachedIndex, FrameOf frameOf = {}) {
    return FindKey(std::span<const Key>(keys), frame, cachedIndex, frameOf);
}

}  // namespace Vesma
