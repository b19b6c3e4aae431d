#include "Engine/TextureLoader/DxgiFormat.h"

#include <algorithm>

namespace Engine {

uint32_t BitsPerPixel(DxgiFormat format) {
    using F = DxgiFormat;
    const uint32_t v = static_cast<uint32_t>(format);
    if (v >= 1 && v <= 4) return 128;
    if (v >= 5 && v <= 8) return 96;
    if (v >= 9 && v <= 22) return 64;
    if (v >= 23 && v <= 47) return 32;
    if (v >= 48 && v <= 59) return 16;
    if (v >= 60 && v <= 65) return 8;
    switch (format) {
    case F::R1_Unorm:
        return 1;
    case F::R9G9B9E5_SharedExp:
    case F::R8G8_B8G8_Unorm:
    case F::G8R8_G8B8_Unorm:
    case F::B8G8R8A8_Unorm:
    case F::B8G8R8X8_Unorm:
    case F::R10G10B10_XR_Bias_A2_Unorm:
    case F::B8G8R8A8_Typeless:
    case F::B8G8R8A8_Unorm_Srgb:
    case F::B8G8R8X8_Typeless:
    case F::B8G8R8X8_Unorm_Srgb:
    case F::AYUV:
    case F::Y410:
    case F::YUY2:
        return 32;
    case F::Y416:
    case F::Y210:
    case F::Y216:
        return 64;
    case F::P010:
    case F::P016:
    case F::V408:
        return 24;
    case F::B5G6R5_Unorm:
    case F::B5G5R5A1_Unorm:
    case F::A8P8:
    case F::B4G4R4A4_Unorm:
    case F::P208:
    case F::V208:
        return 16;
    case F::NV12:
    case F::Opaque420:
    case F::NV11:
        return 12;
    case F::AI44:
    case F::IA44:
    case F::P8:
        return 8;
    case F::BC1_Typeless:
    case F::BC1_Unorm:
    case F::BC1_Unorm_Srgb:
    case F::BC4_Typeless:
    case F::BC4_Unorm:
    case F::BC4_Snorm:
        return 4;
    case F::BC2_Typeless:
    case F::BC2_Unorm:
    case F::BC2_Unorm_Srgb:
    case F::BC3_Typeless:
    case F::BC3_Unorm:
    case F::BC3_Unorm_Srgb:
    case F::BC5_Typeless:
    case F::BC5_Unorm:
    case F::BC5_Snorm:
    case F::BC6H_Typeless:
    case F::BC6H_UF16:
    case F::BC6H_SF16:
    case F::BC7_Typeless:
    case F::BC7_Unorm:
    case F::BC7_Unorm_Srgb:
        return 8;
    default:
        return 0;
    }
}

bool IsBlockCompressed(DxgiFormat format) {
    const uint32_t v = static_cast<uint32_t>(format);
    return (v >= 70 && v <= 84) || (v >= 94 && v <= 99);
}

bool IsDepthStencil(DxgiFormat format) {
    using F = DxgiFormat;
    switch (format) {
    case F::R32G8X24_Typeless:
    case F::D32_Float_S8X24_Uint:
    case F::R32_Float_X8X24_Typeless:
    case F::X32_Typeless_G8X24_Uint:
    case F::R24G8_Typeless:
    case F::D24_Unorm_S8_Uint:
    case F::R24_Unorm_X8_Typeless:
    case F::X24_Typeless_G8_Uint:
        return true;
    default:
        return false;
    }
}

uint32_t PlaneCount(DxgiFormat format) {
    using F = DxgiFormat;
    if (BitsPerPixel(format) == 0) return 0;
    if (IsDepthStencil(format)) return 2;
    switch (format) {
    case F::NV12:
    case F::P010:
    case F::P016:
    case F::Opaque420:
    case F::NV11:
    case F::P208:
        return 2;
    case F::V208:
    case F::V408:
        return 3;
    default:
        return 1;
    }
}

bool GetSurfaceInfo(uint32_t width, uint32_t height, DxgiFormat format, SurfaceInfo& out) {
    using F = DxgiFormat;
    const uint64_t w = width, h = height;
    uint64_t bytesPerBlock = 0;
    bool packed = false, planar = false;
    // A 4x4 block at b bits per pixel takes 2b bytes: 8 for BC1 and BC4, 16 for the rest.
    if (IsBlockCompressed(format)) bytesPerBlock = BitsPerPixel(format) * 2;
    switch (format) {
    case F::R8G8_B8G8_Unorm:
    case F::G8R8_G8B8_Unorm:
    case F::YUY2:
        packed = true;
        bytesPerBlock = 4;
        break;
    case F::Y210:
    case F::Y216:
        packed = true;
        bytesPerBlock = 8;
        break;
    case F::NV12:
    case F::Opaque420:
    case F::P208:
        planar = true;
        bytesPerBlock = 2;
        break;
    case F::P010:
    case F::P016:
        planar = true;
        bytesPerBlock = 4;
        break;
    default:
        break;
    }

    if (bytesPerBlock != 0 && !packed && !planar) {
        const uint64_t blocksWide = w > 0 ? std::max<uint64_t>(1, (w + 3) / 4) : 0;
        const uint64_t blocksHigh = h > 0 ? std::max<uint64_t>(1, (h + 3) / 4) : 0;
        out.rowBytes = blocksWide * bytesPerBlock;
        out.numRows = blocksHigh;
        out.numBytes = out.rowBytes * blocksHigh;
    } else if (packed) {
        out.rowBytes = ((w + 1) >> 1) * bytesPerBlock;
        out.numRows = h;
        out.numBytes = out.rowBytes * h;
    } else if (format == F::NV11) {
        out.rowBytes = ((w + 3) >> 2) * 4;
        out.numRows = h * 2;  // the luma plane, then the quarter-width chroma plane
        out.numBytes = out.rowBytes * out.numRows;
    } else if (planar) {
        out.rowBytes = ((w + 1) >> 1) * bytesPerBlock;
        if (format == F::P208) {
            out.numRows = h * 2;
            out.numBytes = out.rowBytes * out.numRows;
        } else {
            out.numBytes = out.rowBytes * h + ((out.rowBytes * h + 1) >> 1);
            out.numRows = h + ((h + 1) >> 1);
        }
    } else if (format == F::V208) {
        out.rowBytes = w;
        out.numRows = h + (((h + 1) >> 1) * 2);
        out.numBytes = out.rowBytes * out.numRows;
    } else if (format == F::V408) {
        out.rowBytes = w;
        out.numRows = h + ((h >> 1) * 4);
        out.numBytes = out.rowBytes * out.numRows;
    } else {
        const uint64_t bpp = BitsPerPixel(format);
        if (bpp == 0) return false;
        out.rowBytes = (w * bpp + 7) / 8;
        out.numRows = h;
        out.numBytes = out.rowBytes * h;
    }
    return true;
}

uint32_t FullMipCount(uint32_t width, uint32_t height) {
    uint32_t size = std::max(width, height);
    uint32_t count = 1;
    while (size > 1) {
        size >>= 1;
        ++count;
    }
    return count;
}

}  // namespace Engine
