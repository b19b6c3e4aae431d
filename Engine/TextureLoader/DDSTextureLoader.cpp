#include "Engine/TextureLoader/DDSTextureLoader.h"

#include <algorithm>
#include <cstring>

namespace Engine {
namespace {

constexpr size_t kHeaderOffset = 4;   // after the magic
constexpr size_t kHeaderSize = 124;
constexpr size_t kDx10Offset = 128;
constexpr size_t kDx10End = 148;

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

bool IsBitMask(const DdsPixelFormat& pf, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return pf.rBitMask == r && pf.gBitMask == g && pf.bBitMask == b && pf.aBitMask == a;
}

// Walks the surfaces of the file array slice by slice, mip by mip, and records each one that
// is kept. Mirrors the layout writers use: every mip of slice 0, then every mip of slice 1, ...
DecodeResult FillSubresources(uint32_t width, uint32_t height, uint32_t depth, uint32_t mipCount,
                              uint32_t arraySize, DxgiFormat format, uint32_t maxSize,
                              std::span<const uint8_t> pixels, DecodedTexture& out) {
    const uint8_t* src = pixels.data();
    uint64_t left = pixels.size();
    uint32_t skipMip = 0;
    uint32_t keptWidth = 0, keptHeight = 0, keptDepth = 0;
    out.subresources.clear();

    for (uint32_t slice = 0; slice < arraySize; ++slice) {
        uint32_t w = width, h = height, d = depth;
        for (uint32_t mip = 0; mip < mipCount; ++mip) {
            SurfaceInfo surface;
            if (!GetSurfaceInfo(w, h, format, surface)) return DecodeResult::InvalidArg;
            if (surface.numBytes > 0xFFFFFFFFull) return DecodeResult::ArithmeticOverflow;

            if (mipCount <= 1 || maxSize == 0 || (w <= maxSize && h <= maxSize && d <= maxSize)) {
                if (keptWidth == 0) {
                    keptWidth = w;
                    keptHeight = h;
                    keptDepth = d;
                }
                out.subresources.push_back({src, surface.rowBytes, surface.numBytes});
            } else if (slice == 0) {
                ++skipMip;
            }

            const uint64_t mipBytes = surface.numBytes * d;
            if (mipBytes > left) {
                out.subresources.clear();
                return DecodeResult::EndOfFile;
            }
            src += mipBytes;
            left -= mipBytes;
            w = std::max(w / 2, 1u);
            h = std::max(h / 2, 1u);
            d = std::max(d / 2, 1u);
        }
    }

    if (out.subresources.empty()) return DecodeResult::Fail;
    out.desc.width = keptWidth;
    out.desc.height = keptHeight;
    if (out.desc.dimension == TextureDimension::Texture3D) out.desc.depthOrArraySize = keptDepth;
    out.desc.mipLevels = mipCount - skipMip;
    return DecodeResult::Ok;
}

}  // namespace

DxgiFormat FormatFromDdsPixelFormat(const DdsPixelFormat& pf) {
    using F = DxgiFormat;
    if (pf.flags & kDdsPfRgb) {
        switch (pf.rgbBitCount) {
        case 32:
            if (IsBitMask(pf, 0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000)) return F::R8G8B8A8_Unorm;
            if (IsBitMask(pf, 0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000)) return F::B8G8R8A8_Unorm;
            if (IsBitMask(pf, 0x00ff0000, 0x0000ff00, 0x000000ff, 0)) return F::B8G8R8X8_Unorm;
            if (IsBitMask(pf, 0x3ff00000, 0x000ffc00, 0x000003ff, 0xc0000000)) return F::R10G10B10A2_Unorm;
            if (IsBitMask(pf, 0x0000ffff, 0xffff0000, 0, 0)) return F::R16G16_Unorm;
            if (IsBitMask(pf, 0xffffffff, 0, 0, 0)) return F::R32_Float;
            break;
        case 16:
            if (IsBitMask(pf, 0x7c00, 0x03e0, 0x001f, 0x8000)) return F::B5G5R5A1_Unorm;
            if (IsBitMask(pf, 0xf800, 0x07e0, 0x001f, 0)) return F::B5G6R5_Unorm;
            if (IsBitMask(pf, 0x0f00, 0x00f0, 0x000f, 0xf000)) return F::B4G4R4A4_Unorm;
            break;
        default:
            break;
        }
        return F::Unknown;
    }
    if (pf.flags & kDdsPfLuminance) {
        switch (pf.rgbBitCount) {
        case 8:
            if (IsBitMask(pf, 0xff, 0, 0, 0)) return F::R8_Unorm;
            // Some writers store 8-bit luminance + alpha with a bit count of 8.
            if (IsBitMask(pf, 0x00ff, 0, 0, 0xff00)) return F::R8G8_Unorm;
            break;
        case 16:
            if (IsBitMask(pf, 0xffff, 0, 0, 0)) return F::R16_Unorm;
            if (IsBitMask(pf, 0x00ff, 0, 0, 0xff00)) return F::R8G8_Unorm;
            break;
        default:
            break;
        }
        return F::Unknown;
    }
    if (pf.flags & kDdsPfAlpha) {
        return pf.rgbBitCount == 8 ? F::A8_Unorm : F::Unknown;
    }
    if (pf.flags & kDdsPfBumpDuDv) {
        switch (pf.rgbBitCount) {
        case 16:
            if (IsBitMask(pf, 0x00ff, 0xff00, 0, 0)) return F::R8G8_Snorm;
            break;
        case 32:
            if (IsBitMask(pf, 0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000)) return F::R8G8B8A8_Snorm;
            if (IsBitMask(pf, 0x0000ffff, 0xffff0000, 0, 0)) return F::R16G16_Snorm;
            break;
        default:
            break;
        }
        return F::Unknown;
    }
    if (pf.flags & kDdsPfFourCC) {
        switch (pf.fourCC) {
        case MakeFourCC('D', 'X', 'T', '1'): return F::BC1_Unorm;
        case MakeFourCC('D', 'X', 'T', '2'):
        case MakeFourCC('D', 'X', 'T', '3'): return F::BC2_Unorm;
        case MakeFourCC('D', 'X', 'T', '4'):
        case MakeFourCC('D', 'X', 'T', '5'): return F::BC3_Unorm;
        case MakeFourCC('A', 'T', 'I', '1'):
        case MakeFourCC('B', 'C', '4', 'U'): return F::BC4_Unorm;
        case MakeFourCC('B', 'C', '4', 'S'): return F::BC4_Snorm;
        case MakeFourCC('A', 'T', 'I', '2'):
        case MakeFourCC('B', 'C', '5', 'U'): return F::BC5_Unorm;
        case MakeFourCC('B', 'C', '5', 'S'): return F::BC5_Snorm;
        case MakeFourCC('R', 'G', 'B', 'G'): return F::R8G8_B8G8_Unorm;
        case MakeFourCC('G', 'R', 'G', 'B'): return F::G8R8_G8B8_Unorm;
        case MakeFourCC('Y', 'U', 'Y', '2'): return F::YUY2;
        // Numeric codes written by D3D9-era tools: D3DFMT values.
        case 36: return F::R16G16B16A16_Unorm;
        case 110: return F::R16G16B16A16_Snorm;
        case 111: return F::R16_Float;
        case 112: return F::R16G16_Float;
        case 113: return F::R16G16B16A16_Float;
        case 114: return F::R32_Float;
        case 115: return F::R32G32_Float;
        case 116: return F::R32G32B32A32_Float;
        default: return F::Unknown;
        }
    }
    return F::Unknown;
}

DecodeResult DecodeDDS(std::span<const uint8_t> bytes, DecodedTexture& out, uint32_t maxSize) {
    out = DecodedTexture{};
    if (bytes.size() < kDx10Offset) return DecodeResult::Fail;
    if (ReadU32(bytes, 0) != kDdsMagic) return DecodeResult::Fail;
    if (ReadU32(bytes, kHeaderOffset) != kHeaderSize) return DecodeResult::Fail;

    const uint32_t headerFlags = ReadU32(bytes, 8);
    uint32_t height = ReadU32(bytes, 12);
    const uint32_t width = ReadU32(bytes, 16);
    uint32_t depth = ReadU32(bytes, 24);
    uint32_t mipCount = ReadU32(bytes, 28);
    DdsPixelFormat pf;
    std::memcpy(&pf, bytes.data() + 76, sizeof(pf));
    const uint32_t caps2 = ReadU32(bytes, 112);
    if (pf.size != 32) return DecodeResult::Fail;

    const bool hasDx10 = (pf.flags & kDdsPfFourCC) && pf.fourCC == MakeFourCC('D', 'X', '1', '0');
    if (hasDx10 && bytes.size() < kDx10End) return DecodeResult::Fail;
    const size_t dataOffset = hasDx10 ? kDx10End : kDx10Offset;

    if (mipCount == 0) mipCount = 1;

    uint32_t arraySize = 1;
    DxgiFormat format = DxgiFormat::Unknown;
    TextureDimension dimension = TextureDimension::Unknown;
    bool cube = false;

    if (hasDx10) {
        format = static_cast<DxgiFormat>(ReadU32(bytes, 128));
        const uint32_t resourceDimension = ReadU32(bytes, 132);
        const uint32_t miscFlag = ReadU32(bytes, 136);
        arraySize = ReadU32(bytes, 140);
        if (arraySize == 0) return DecodeResult::InvalidData;

        switch (format) {
        case DxgiFormat::AI44:
        case DxgiFormat::IA44:
        case DxgiFormat::P8:
        case DxgiFormat::A8P8:
            return DecodeResult::NotSupported;
        default:
            if (BitsPerPixel(format) == 0) return DecodeResult::NotSupported;
        }

        switch (static_cast<TextureDimension>(resourceDimension)) {
        case TextureDimension::Texture1D:
            if ((headerFlags & kDdsHeaderFlagHeight) && height != 1) return DecodeResult::InvalidData;
            height = depth = 1;
            dimension = TextureDimension::Texture1D;
            break;
        case TextureDimension::Texture2D:
            if (miscFlag & kDdsMiscTextureCube) {
                if (arraySize > 0xFFFFFFFFu / 6) return DecodeResult::NotSupported;
                arraySize *= 6;
                cube = true;
            }
            depth = 1;
            dimension = TextureDimension::Texture2D;
            break;
        case TextureDimension::Texture3D:
            if (!(headerFlags & kDdsHeaderFlagVolume)) return DecodeResult::InvalidData;
            if (arraySize > 1) return DecodeResult::NotSupported;
            dimension = TextureDimension::Texture3D;
            break;
        default:
            return DecodeResult::NotSupported;
        }
    } else {
        format = FormatFromDdsPixelFormat(pf);
        if (format == DxgiFormat::Unknown) return DecodeResult::NotSupported;
        if (headerFlags & kDdsHeaderFlagVolume) {
            dimension = TextureDimension::Texture3D;
        } else {
            if (caps2 & kDdsCaps2Cubemap) {
                if ((caps2 & kDdsCaps2AllFaces) != kDdsCaps2AllFaces) return DecodeResult::NotSupported;
                arraySize = 6;
                cube = true;
            }
            depth = 1;
            dimension = TextureDimension::Texture2D;
        }
    }

    // A side of 0 describes no texture at all; reject it before any size arithmetic.
    if (width == 0 || height == 0 || depth == 0) return DecodeResult::InvalidData;

    if (mipCount > kDdsMaxMips) return DecodeResult::NotSupported;
    switch (dimension) {
    case TextureDimension::Texture1D:
        if (arraySize > kDdsMaxArraySize || width > kDdsMax2DSide) return DecodeResult::NotSupported;
        break;
    case TextureDimension::Texture2D:
        if (arraySize > kDdsMaxArraySize || width > kDdsMax2DSide || height > kDdsMax2DSide)
            return DecodeResult::NotSupported;
        break;
    case TextureDimension::Texture3D:
        if (arraySize > 1 || width > kDdsMax3DSide || height > kDdsMax3DSide || depth > kDdsMax3DSide)
            return DecodeResult::NotSupported;
        break;
    default:
        return DecodeResult::NotSupported;
    }

    const uint32_t planes = PlaneCount(format);
    if (planes == 0) return DecodeResult::InvalidArg;
    if (planes > 1 && IsDepthStencil(format)) return DecodeResult::NotSupported;
    const uint64_t slices = dimension == TextureDimension::Texture3D ? 1 : arraySize;
    if (uint64_t(planes) * slices * mipCount > kDdsMaxSubresources) return DecodeResult::InvalidArg;

    out.desc.dimension = dimension;
    out.desc.width = width;
    out.desc.height = height;
    out.desc.depthOrArraySize = dimension == TextureDimension::Texture3D ? depth : arraySize;
    out.desc.format = format;
    out.desc.cube = cube;

    const DecodeResult result = FillSubresources(width, height, depth, mipCount, static_cast<uint32_t>(slices), format,
                                                 maxSize, bytes.subspan(dataOffset), out);
    if (result != DecodeResult::Ok) {
        out = DecodedTexture{};
        return result;
    }
    out.generateMips = out.desc.mipLevels == 1;
    return DecodeResult::Ok;
}

}  // namespace Engine
