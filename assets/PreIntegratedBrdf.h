#pragma once
// The two pre-integrated lighting tables, as PNG images computed at build time by
// tools/generators/make_brdf_luts.cpp (which documents their axes and channels).
//  - kPreIntegratedBrdfIblPng: 400 x 400 RGB; u = N.V, v = roughness; R = split-sum scale,
//    G = split-sum bias of the GGX specular, B = sheen (cloth) albedo.
//  - kPreIntegratedBrdfSkinPng: 450 x 450 RGBA; u = N.L * 0.5 + 0.5, v = curvature; RGB = skin
//    diffuse with scattering, alpha opaque.
#include <cstddef>

namespace Assets {
inline constexpr int kPreIntegratedBrdfIblSide = 400;
inline constexpr int kPreIntegratedBrdfSkinSide = 450;
extern const unsigned char kPreIntegratedBrdfIblPng[];
extern const size_t kPreIntegratedBrdfIblPngSize;
extern const unsigned char kPreIntegratedBrdfSkinPng[];
extern const size_t kPreIntegratedBrdfSkinPngSize;
}  // namespace Assets
