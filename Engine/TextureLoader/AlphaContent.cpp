#include "Engine/TextureLoader/AlphaContent.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string_view>

#include "Engine/TextureLoader/BlockAlpha.h"
#include "Engine/TextureLoader/HalfFloat.h"

namespace Engine {
namespace {

uint8_t FloatAlpha(float a) {
    if (!(a > 0.0f)) return 0;  // NaN too
    return a >= 1.0f ? 255 : static_cast<uint8_t>(std::lround(a * 255.0f));
}

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The 8-bit alpha of one texel of an uncompressed format, or nothing for formats without one.
using TexelAlpha = uint8_t (*)(const uint8_t* texel);

TexelAlpha TexelAlphaFor(DxgiFormat format, uint32_t& texelBytes) {
    switch (format) {
    case DxgiFormat::R8G8B8A8_Typeless:
    case DxgiFormat::R8G8B8A8_Unorm:
    case DxgiFormat::R8G8B8A8_Unorm_Srgb:
    case DxgiFormat::B8G8R8A8_Typeless:
    case DxgiFormat::B8G8R8A8_Unorm:
    case DxgiFormat::B8G8R8A8_Unorm_Srgb:
        texelBytes = 4;
        return [](const uint8_t* t) { return t[3]; };
    case DxgiFormat::A8_Unorm:
        texelBytes = 1;
        return [](const uint8_t* t) { return t[0]; };
    case DxgiFormat::R10G10B10A2_Typeless:
    case DxgiFormat::R10G10B10A2_Unorm:
        texelBytes = 4;
        return [](const uint8_t* t) { return static_cast<uint8_t>((t[3] >> 6) * 85); };
    case DxgiFormat::B5G5R5A1_Unorm:
        texelBytes = 2;
        return [](const uint8_t* t) { return static_cast<uint8_t>(t[1] & 0x80 ? 255 : 0); };
    case DxgiFormat::B4G4R4A4_Unorm:
        texelBytes = 2;
        return [](const uint8_t* t) { return static_cast<uint8_t>((t[1] >> 4) * 17); };
    case DxgiFormat::R16G16B16A16_Typeless:
    case DxgiFormat::R16G16B16A16_Unorm:
        texelBytes = 8;
        return [](const uint8_t* t) { return static_cast<uint8_t>((Load16(t + 6) + 128u) / 257u); };
    case DxgiFormat::R16G16B16A16_Float:
        texelBytes = 8;
        return [](const uint8_t* t) { return FloatAlpha(HalfToFloat(Load16(t + 6))); };
    case DxgiFormat::R32G32B32A32_Float:
        texelBytes = 16;
        return [](const uint8_t* t) {
            float a;
            std::memcpy(&a, t + 12, 4);
            return FloatAlpha(a);
        };
    default:
        return nullptr;
    }
}

using BlockAlpha = void (*)(const uint8_t* block, uint8_t alpha[16]);

BlockAlpha BlockAlphaFor(DxgiFormat format, uint32_t& blockBytes) {
    switch (format) {
    case DxgiFormat::BC1_Typeless:
    case DxgiFormat::BC1_Unorm:
    case DxgiFormat::BC1_Unorm_Srgb: blockBytes = 8; return Bc1BlockAlpha;
    case DxgiFormat::BC2_Typeless:
    case DxgiFormat::BC2_Unorm:
    case DxgiFormat::BC2_Unorm_Srgb: blockBytes = 16; return Bc2BlockAlpha;
    case DxgiFormat::BC3_Typeless:
    case DxgiFormat::BC3_Unorm:
    case DxgiFormat::BC3_Unorm_Srgb: blockBytes = 16; return Bc3BlockAlpha;
    case DxgiFormat::BC7_Typeless:
    case DxgiFormat::BC7_Unorm:
    case DxgiFormat::BC7_Unorm_Srgb: blockBytes = 16; return Bc7BlockAlpha;
    default: return nullptr;
    }
}

// One 2D surface of `width` x `height` texels whose rows start `rowPitch` bytes apart.
void TallySurface(AlphaTally& tally, const uint8_t* data, uint64_t rowPitch, uint32_t width, uint32_t height, DxgiFormat format) {
    uint32_t bytes = 0;
    if (const TexelAlpha texel = TexelAlphaFor(format, bytes)) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = data + y * rowPitch;
            for (uint32_t x = 0; x < width; ++x) tally.Add(texel(row + size_t(x) * bytes));
        }
        return;
    }
    if (const BlockAlpha block = BlockAlphaFor(format, bytes)) {
        uint8_t alpha[16];
        for (uint32_t by = 0; by < (height + 3) / 4; ++by) {
            const uint8_t* row = data + by * rowPitch;
            for (uint32_t bx = 0; bx < (width + 3) / 4; ++bx) {
                block(row + size_t(bx) * bytes, alpha);
                // Texels of an edge block past the surface are padding.
                for (uint32_t i = 0; i < 16; ++i)
                    if (bx * 4 + i % 4 < width && by * 4 + i / 4 < height) tally.Add(alpha[i]);
            }
        }
    }
}

}  // namespace

AlphaContent AlphaTally::Result() const {
    if (m_soft > 0 && m_soft * 1000 > m_texels) return AlphaContent::Soft;
    return m_transparent ? AlphaContent::CutOut : AlphaContent::Opaque;
}

AlphaContent ClassifyRgba8Alpha(std::span<const uint8_t> rgba) {
    AlphaTally tally;
    for (std::size_t i = 3; i < rgba.size(); i += 4) tally.Add(rgba[i]);
    return tally.Result();
}

bool MayHaveAlpha(std::span<const uint8_t> file) {
    static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (file.size() >= 2 && file[0] == 0xff && file[1] == 0xd8) return false;  // JPEG
    if (file.size() < 33 || !std::equal(std::begin(kPng), std::end(kPng), file.begin())) return true;
    const uint8_t colorType = file[25];  // in IHDR, the first chunk
    if (colorType == 4 || colorType == 6) return true;
    // Grey, RGB or palette images carry alpha only through a transparency chunk before the data.
    std::size_t at = 8;
    while (at + 8 <= file.size()) {
        const uint32_t length = (uint32_t(file[at]) << 24) | (uint32_t(file[at + 1]) << 16) | (uint32_t(file[at + 2]) << 8) | file[at + 3];
        const std::string_view type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        if (type == "tRNS") return true;
        if (type == "IDAT" || type == "IEND") return false;
        if (length > file.size() - at - 8) return true;  // damaged: let the decoder decide
        at += 12 + std::size_t(length);
    }
    return true;
}

AlphaContent ClassifyDecodedAlpha(const DecodedTexture& decoded) {
    const TextureDesc& d = decoded.desc;
    if (d.mipLevels == 0 || d.width == 0 || d.height == 0) return AlphaContent::Opaque;
    AlphaTally tally;
    const bool volume = d.dimension == TextureDimension::Texture3D;
    const uint32_t slices = volume ? 1 : d.depthOrArraySize;
    const uint32_t depth = volume ? d.depthOrArraySize : 1;
    const uint32_t height = d.dimension == TextureDimension::Texture1D ? 1 : d.height;
    for (uint32_t slice = 0; slice < slices; ++slice) {
        const std::size_t index = std::size_t(slice) * d.mipLevels;
        if (index >= decoded.subresources.size()) break;
        const DecodedSubresource& s = decoded.subresources[index];
        if (!s.data) continue;
        for (uint32_t z = 0; z < depth; ++z) TallySurface(tally, s.data + z * s.slicePitch, s.rowPitch, d.width, height, d.format);
    }
    return tally.Result();
}

}  // namespace Engine
