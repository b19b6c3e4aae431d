#pragma once
// The probe volumes of probe GI: where they stand, how far they reach and how many nest inside
// each other. A change reconfigures the volumes through a scene task.
#include <cstdint>

#include "core/Math.h"

namespace ProjectTavrin {

struct ProbeVolumeParams {
    /// Centre of every volume.
    Math::vec3 Origin{0.0f, 0.0f, 0.0f};
    /// Extent of the coarsest volume; each finer one halves the probe spacing.
    float Size = 512.0f;
    /// Nested volumes, 1 to 4.
    uint32_t Count = 1;
    /// Sharpness of the probes' distance weighting.
    float DistanceExponent = 10.0f;
};

}  // namespace ProjectTavrin
