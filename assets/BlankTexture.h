#pragma once
// The blank texture: a 16 × 16 PNG of opaque black, used wherever a material has no texture.
#include <cstddef>

namespace Assets {
extern const unsigned char kBlankTexturePng[];
extern const size_t kBlankTexturePngSize;
}  // namespace Assets
