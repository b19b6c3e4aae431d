#pragma once
// DirectDraw Surface (.dds) files: header checks, the legacy pixel-format table, extended (DX10)
// headers, cube maps, volume textures, arrays and mip chains, block-compressed formats.
#include "Engine/TextureLoader/DecodedTexture.h"

#include <cstdint>
#include <span>

namespace Engine {

/// Largest mip sides the DDS reader accepts (2D/cube and 1D, 3D), and the mip count limit.
constexpr uint32_t kDdsMax2DSide = 16384;
constexpr uint32_t kDdsMax3DSide = 2048;
constexpr uint32_t kDdsMaxArraySize = 2048;
constexpr uint32_t kDdsMaxMips = 15;
constexpr uint64_t kDdsMaxSubresources = 30720;

/// Decodes a DDS file held in `bytes` into `out`. The subresources point into `bytes`, which must
/// stay alive until they have been uploaded. When `maxSize` is not 0 and the file has more than
/// one mip, mips with a side above `maxSize` are left out (the retry of a creation that failed);
/// `out.desc` then describes the largest mip kept. On failure `out` is left empty.
DecodeResult DecodeDDS(std::span<const uint8_t> bytes, DecodedTexture& out, uint32_t maxSize = 0);

/// The format the legacy DDS pixel-format block (flags, bit count, four-character code and
/// masks) stands for, or Unknown when it matches no entry of the table.
struct DdsPixelFormat {
    uint32_t size;
    uint32_t flags;
    uint32_t fourCC;
    uint32_t rgbBitCount;
    uint32_t rBitMask;
    uint32_t gBitMask;
    uint32_t bBitMask;
    uint32_t aBitMask;
};
DxgiFormat FormatFromDdsPixelFormat(const DdsPixelFormat& pf);

// Flags of the DDS header and its pixel-format block.
constexpr uint32_t kDdsMagic = 0x20534444;  // "DDS "
constexpr uint32_t kDdsHeaderFlagHeight = 0x2;
constexpr uint32_t kDdsHeaderFlagVolume = 0x800000;
constexpr uint32_t kDdsPfAlpha = 0x2;
constexpr uint32_t kDdsPfFourCC = 0x4;
constexpr uint32_t kDdsPfRgb = 0x40;
constexpr uint32_t kDdsPfLuminance = 0x20000;
constexpr uint32_t kDdsPfBumpDuDv = 0x80000;
constexpr uint32_t kDdsCaps2Cubemap = 0x200;
constexpr uint32_t kDdsCaps2AllFaces = 0xFE00;  // the cube-map flag and all six face flags
constexpr uint32_t kDdsMiscTextureCube = 0x4;

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

}  // namespace Engine
