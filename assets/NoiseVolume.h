#pragma once
// The volumetric light's noise: a tiling 128 x 128 x 128 volume of one 8-bit channel, as a DDS
// file made at build time by tools/generators/make_noise_volume.cpp.
#include <cstdint>
#include <span>

namespace Assets {
inline constexpr int kNoiseVolumeSide = 128;
std::span<const uint8_t> NoiseVolumeDds();
}  // namespace Assets
