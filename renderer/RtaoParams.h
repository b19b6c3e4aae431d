#pragma once
// Ray-traced ambient occlusion: the traced rays' options, then the temporal and denoise passes.
#include <cstdint>

namespace ProjectTavrin {

struct RtaoParams {
    /// Longest occlusion ray, world units.
    float Distance = 50.0f;
    float Falloff = 0.0f;
    float Accentuation = 0.0f;
    /// Rays per pixel.
    int32_t NumSamples = 16;
    /// The history's weight limit is 1 / 2^TemporalSpeedExponent.
    float TemporalSpeedExponent = 3.0f;
    /// Depth difference beyond which the blur stops at an edge.
    float DenoiseDepthThreshold = 1024.0f;
    /// Off: the raw traced occlusion is shown and the history left alone.
    bool Temporal = true;
    bool Denoise = true;
};

}  // namespace ProjectTavrin
