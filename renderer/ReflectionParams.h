#pragma once
// Ray-traced reflections: rays per pixel, their reach and the optional temporal accumulation.
#include <cstdint>

namespace ProjectTavrin {

struct ReflectionParams {
    int32_t NumSamples = 8;
    float MaxDistance = 16384.0f;
    /// The history's weight limit is 1 / 2^TemporalSpeedExponent.
    float TemporalSpeedExponent = 3.0f;
    /// On: the accumulated result is shown instead of this frame's trace.
    bool Temporal = false;
};

}  // namespace ProjectTavrin
