#pragma once
// Radiance RGBE (.hdr) images: the text header, flat and run-length encoded scanlines, and the
// conversion of each shared-exponent pixel to four half floats.
#include "Engine/TextureLoader/DecodedTexture.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace Engine {

constexpr int kRgbeValidProgramType = 0x01;
constexpr int kRgbeValidGamma = 0x02;
constexpr int kRgbeValidExposure = 0x04;

struct RgbeHeaderInfo {
    int valid = 0;               // kRgbeValid* bits
    char programType[16] = {};   // text after "#?" up to white space, at most 15 characters
    float gamma = 1.0f;
    float exposure = 1.0f;
};

/// Reads the header from the start of `bytes`: info lines up to the empty line, then the
/// "-Y <height> +X <width>" line. On success `offset` is the first byte after the header.
/// Failures print the reason to the standard error stream and return false.
bool ReadRgbeHeader(std::span<const uint8_t> bytes, size_t& offset, RgbeHeaderInfo& info, int& width, int& height);

/// Reads width × height RGBE pixels (4 bytes each, top row first) starting at `offset`,
/// flat or run-length encoded per scanline, into `rgbe`. Failures print the reason to the
/// standard error stream and return false.
bool ReadRgbePixels(std::span<const uint8_t> bytes, size_t offset, uint8_t* rgbe, int width, int height);

/// One RGBE pixel as R, G, B, A half floats: 0 everywhere when the exponent is 0, else each
/// colour times 2^(e - 136), clamped to 0 .. 60000, with alpha 1.
void RgbeToHalf(const uint8_t rgbe[4], uint16_t half[4]);

/// Largest side of a Radiance image that becomes a texture.
constexpr int kMaxHdrSide = 16384;

/// Decodes a whole .hdr file into one R16G16B16A16_FLOAT subresource (1 mip).
DecodeResult DecodeHdr(std::span<const uint8_t> bytes, DecodedTexture& out);

}  // namespace Engine
