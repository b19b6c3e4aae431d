#pragma once
// The sun's cascaded shadow maps: the range they cover, how many cascades split it, and the
// constants of the moment test and the blur.
#include <cstdint>

#include "core/Math.h"

namespace ProjectTavrin {

struct ShadowParams {
    /// Far end of the shadowed range in view depth; also the length of the rays that slice it.
    float Distance = 512.0f;
    /// Cascades splitting the range, 1 to 4 (the atlas holds four).
    uint32_t CascadeCount = 2;
    /// Upper bound of the blur width, in cascade-0 texels.
    float FilterSize = 100.0f;
    float VSMBias = 0.01f;
    float PositiveExponent = 40.0f;
    float NegativeExponent = 5.0f;
    /// Normal-offset scale for receivers.
    float OffsetScale = 0.0f;
    float LightBleedingReduction = 0.0f;
    /// Towards the sun: RenderConfig::SunDirection normalised, derived by the settings exchange.
    Math::vec3 SunDirection{1.0f, 1.0f, 1.0f};
};

}  // namespace ProjectTavrin
