#pragma once
// Light motion: the light keys of a VMD file (colour and direction) as a sorted key list,
// evaluated per frame as camera keys are: straight lines between keys, and a cut (the earlier key
// held) between keys one frame apart.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/Math.h"
#include "model/io/VMDFile.h"

namespace Vesma {

/// One light key in model space.
struct LightKey {
    std::int32_t frame = 0;  ///< the file's frame number as signed
    Math::vec3 color;        ///< 0..1 per channel, as stored
    Math::vec3 direction;    ///< the way the light travels, model space (file z negated), as stored in length
};

/// Evaluated light. Starts as the authoring tool's default light: grey 154/255, travelling
/// (-0.5, -1, 0.5) in the file, i.e. (-0.5, -1, -0.5) in model space.
struct LightState {
    Math::vec3 color{0.6039216f, 0.6039216f, 0.6039216f};
    Math::vec3 direction{-0.5f, -1.0f, -0.5f};
};

class LightAnimation {
public:
    /// Replaces the key list with the file's light keys (sorted by frame) and resets the state
    /// and the cached index. False, leaving no keys, when the file has none.
    bool Build(const VMDFile& vmd) { return Build(vmd.lightKeys); }
    bool Build(std::span<const VMDLightKey> records);

    /// Updates the state for the float frame (30 per second). Does nothing without keys.
    void Evaluate(float frame);

    bool Empty() const { return m_keys.empty(); }
    const LightState& State() const { return m_state; }
    const std::vector<LightKey>& Keys() const { return m_keys; }

    static LightKey MakeKey(const VMDLightKey& record);

    /// The unit vector towards the light (the sun direction of the render settings): the state's
    /// direction reversed and normalised; nothing for a zero or non-finite direction.
    static std::optional<Math::vec3> TowardsLight(const LightState& state);

private:
    std::vector<LightKey> m_keys;
    LightState m_state;
    std::size_t m_cachedIndex = 0;
};

}  // namespace Vesma
