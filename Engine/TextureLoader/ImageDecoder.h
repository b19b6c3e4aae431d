#pragma once
// Ordinary images (PNG, JPEG, BMP, GIF, PSD) and TGA files, decoded to 8-bit RGBA with a full
// mip chain to generate. Images larger than the texture size limit are scaled down to fit.
#include "Engine/TextureLoader/DecodedTexture.h"

#include <cstdint>
#include <span>

namespace Engine {

/// Largest side of a texture made from an image.
constexpr uint32_t kMaxImageSide = 16384;

/// The size an image of `width` × `height` is scaled to so that neither side exceeds `maxSide`,
/// keeping the aspect ratio (the longer side becomes `maxSide`, the shorter one at least 1).
/// Images that already fit keep their size.
void FitImageSize(uint32_t width, uint32_t height, uint32_t maxSide, uint32_t& outWidth, uint32_t& outHeight);

/// Scales RGBA8 pixels by area averaging (every source texel contributes in proportion to the
/// part of it a target texel covers). Used for shrinking; `dst` holds dstWidth × dstHeight × 4.
void ResampleRgba8(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst, uint32_t dstWidth,
                   uint32_t dstHeight);

/// Decodes an image with the general-purpose decoders into R8G8B8A8_UNORM, scaled to fit
/// `maxSide`. `failure` receives a short reason when the result is not Ok.
DecodeResult DecodeImage(std::span<const uint8_t> bytes, DecodedTexture& out, const char** failure = nullptr,
                         uint32_t maxSide = kMaxImageSide);

/// Decodes a TGA file into R8G8B8A8_UNORM at its own size; a side above kMaxImageSide cannot
/// become a texture and gives NotSupported.
DecodeResult DecodeTga(std::span<const uint8_t> bytes, DecodedTexture& out, const char** failure = nullptr);

}  // namespace Engine
