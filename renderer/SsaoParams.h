#pragma once
// Screen-space ambient occlusion: the depth hierarchy used and the estimator's tolerances.
#include <cstdint>

namespace ProjectTavrin {

struct SsaoParams {
    /// Resolution levels used, 1 to 4.
    int32_t HierarchyDepth = 3;
    float RejectionFalloff = 1.5f;
    float Accentuation = 0.5f;
    // Tolerances as powers of ten.
    float NoiseFilterTolerance = -3.0f;
    float BlurTolerance = -5.0f;
    float UpsampleTolerance = -7.0f;
    float ScreenSpaceDiameter = 10.0f;
};

}  // namespace ProjectTavrin
