#pragma once
// The ten shared toon ramps a classic-look material names by number (toon01.bmp ... toon10.bmp),
// drawn at build time by tools/generators/make_toon_ramps.cpp (which documents their layout):
// 32 x 32 RGB PNG images, white above the middle row and the ramp's shadow tone below it.
#include <span>
#include <string>

namespace Assets {

inline constexpr int kSharedToonCount = 10;

/// The PNG bytes of shared toon `number` (1 to 10); empty for any other number.
std::span<const unsigned char> SharedToonPng(int number);

/// The file name a model uses for shared toon `number` (1 to 10): "toon01.bmp" ... "toon10.bmp".
inline std::string SharedToonFileName(int number) {
    return std::string("toon") + (number < 10 ? "0" : "") + std::to_string(number) + ".bmp";
}

}  // namespace Assets
