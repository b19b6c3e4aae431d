#pragma once
// The fit of the sun's shadow cascades to the camera: the split depths of the shadowed range,
// one orthographic light camera per cascade around the bounding sphere of its slice of the view
// (so the cascade keeps its size while the camera turns), snapped to whole shadow texels (so
// its texels stay put while the camera moves), and the global shadow matrix with the per-cascade
// offset and scale that take a receiver into each cascade's texture space. Plain CPU work, done
// once per frame while the sun is on.
#include <array>
#include <cstdint>

#include "core/Math.h"
#include "renderer/ShadowParams.h"
#include "shaders/shared/ShadowData.h"

namespace ProjectTavrin {

/// Texels per side of one cascade (a tile of the depth atlas, a slice of the moment array).
inline constexpr uint32_t kShadowMapSize = 1048;
inline constexpr uint32_t kMaxShadowCascades = 4;

/// Where each cascade ends, as a fraction of the shadowed range (count 1 to 4; the cascades
/// cover its first half, splitting it between logarithmic and uniform steps).
std::array<float, kMaxShadowCascades> CascadeSplitFractions(uint32_t count, float shadowDistance);

struct ShadowCascadeFit {
    /// The block the receivers read, matrices in the CPU's row-vector form (ForShaders
    /// transposes them). Cascades past the count have all-zero splits, offsets and scales.
    Engine::Shared::ShadowData data{};
    /// View x projection of each cascade (texel-snapped), for the caster draw.
    std::array<Math::mat4, kMaxShadowCascades> cascadeMatrices{};
    /// Each cascade's bounding-sphere centre and radius and its light camera's position.
    std::array<Math::vec3, kMaxShadowCascades> centres{}, lightPositions{};
    std::array<float, kMaxShadowCascades> radii{};
    uint32_t cascadeCount = 0;
};

/// Fits the cascades for the camera's view x projection (depth 0..1) and the direction towards
/// the sun. False, leaving `fit` unchanged, when there is nothing to fit: a zero or non-finite
/// sun direction, a camera matrix without an inverse, or a range that is not positive.
bool FitShadowCascades(const ShadowParams& params, Math::vec3 sunDirection, const Math::mat4& viewProjection,
                       ShadowCascadeFit& fit);

/// The block as the shaders read it: matrices transposed into their column-major packing.
Engine::Shared::ShadowData ShadowDataForShaders(const Engine::Shared::ShadowData& data);

}  // namespace ProjectTavrin
