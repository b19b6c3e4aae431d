#pragma once
// The lens flare's two sprites, PNG images drawn at build time by
// tools/generators/make_lens_flare_sprites.cpp (which documents their layout):
//  - LensFlareGhostPng: "Ghost", 2048 x 2048 RGBA, a 4 x 4 grid of 512 x 512 ghosts, ghost i in
//    cell (i mod 4, i div 4) from the top left;
//  - LensFlareSpritePng: "Lensflare", 512 x 512 RGB, the flare around the sun.
#include <cstdint>
#include <span>

namespace Assets {
inline constexpr int kLensFlareGhostsPerRow = 4;
std::span<const uint8_t> LensFlareGhostPng();
std::span<const uint8_t> LensFlareSpritePng();
}  // namespace Assets
