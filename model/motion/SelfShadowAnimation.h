#pragma once
// Self-shadow motion: the self-shadow keys of a VMD file (mode and distance) as a sorted key list,
// evaluated per frame as camera keys are: the distance on a straight line between keys, the mode
// the earlier key's until the next key is reached, and a cut between keys one frame apart.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/io/VMDFile.h"

namespace Vesma {

struct SelfShadowKey {
    std::int32_t frame = 0;
    std::uint8_t mode = 0;  ///< 0: no self-shadow; 1 and 2: shadows on
    float distance = 0.0f;  ///< as stored: (10000 - the tool's shadow range) / 100000
};

/// Evaluated self-shadow; starts as the authoring tool's default (mode 1, range 8875).
struct SelfShadowState {
    std::uint8_t mode = 1;
    float distance = 0.01125f;
};

class SelfShadowAnimation {
public:
    /// Replaces the key list with the file's self-shadow keys (sorted by frame); false, leaving
    /// no keys, when the file has none.
    bool Build(const VMDFile& vmd) { return Build(vmd.shadowKeys); }
    bool Build(std::span<const VMDShadowKey> records);

    /// Updates the state for the float frame. Does nothing without keys.
    void Evaluate(float frame);

    bool Empty() const { return m_keys.empty(); }
    const SelfShadowState& State() const { return m_state; }

    /// The far end of the shadowed range, in model units, that a stored distance stands for:
    /// 10000 x distance, at least 1 (the tool's range 8875 covers 112.5 units).
    static float ShadowRange(float distance);

private:
    std::vector<SelfShadowKey> m_keys;
    SelfShadowState m_state;
    std::size_t m_cachedIndex = 0;
};

}  // namespace Vesma
