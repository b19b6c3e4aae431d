#include "Engine/GpuResource/FormatTables.h"

namespace Engine {

using Platform::Format;

Format TypelessFormat(Format format) {
    switch (format) {
    case Format::R8G8B8A8_UNORM:
    case Format::R8G8B8A8_UNORM_SRGB: return Format::R8G8B8A8_TYPELESS;
    case Format::B8G8R8A8_UNORM:
    case Format::B8G8R8A8_UNORM_SRGB: return Format::B8G8R8A8_TYPELESS;
    case Format::B8G8R8X8_UNORM:
    case Format::B8G8R8X8_UNORM_SRGB: return Format::B8G8R8X8_TYPELESS;
    case Format::R16G16_UNORM:
    case Format::R16G16_SNORM: return Format::R16G16_TYPELESS;
    case Format::R32_TYPELESS:
    case Format::D32_FLOAT:
    case Format::R32_FLOAT: return Format::R32_TYPELESS;
    case Format::R24G8_TYPELESS:
    case Format::D24_UNORM_S8_UINT:
    case Format::R24_UNORM_X8_TYPELESS:
    case Format::X24_TYPELESS_G8_UINT: return Format::R24G8_TYPELESS;
    case Format::R16_TYPELESS:
    case Format::D16_UNORM:
    case Format::R16_UNORM: return Format::R16_TYPELESS;
    case Format::R32G8X24_TYPELESS:
    case Format::D32_FLOAT_S8X24_UINT:
    case Format::R32_FLOAT_X8X24_TYPELESS:
    case Format::X32_TYPELESS_G8X24_UINT: return Format::R32G8X24_TYPELESS;
    default: return format;
    }
}

Format UavFormat(Format format) {
    switch (format) {
    case Format::R8G8B8A8_TYPELESS:
    case Format::R8G8B8A8_UNORM:
    case Format::R8G8B8A8_UNORM_SRGB: return Format::R8G8B8A8_UNORM;
    case Format::R32_TYPELESS:
    case Format::R32_FLOAT: return Format::R32_FLOAT;
    case Format::B8G8R8A8_UNORM:
    case Format::B8G8R8A8_TYPELESS:
    case Format::B8G8R8A8_UNORM_SRGB: return Format::B8G8R8A8_UNORM;
    case Format::B8G8R8X8_UNORM:
    case Format::B8G8R8X8_TYPELESS:
    case Format::B8G8R8X8_UNORM_SRGB: return Format::B8G8R8X8_UNORM;
    default: return format;
    }
}

DepthFormats DepthFormatsFor(Format format) {
    switch (TypelessFormat(format)) {
    case Format::R24G8_TYPELESS: return {Format::R24G8_TYPELESS, Format::D24_UNORM_S8_UINT, Format::R24_UNORM_X8_TYPELESS};
    case Format::R16_TYPELESS: return {Format::R16_TYPELESS, Format::D16_UNORM, Format::R16_UNORM};
    case Format::R32G8X24_TYPELESS:
        return {Format::R32G8X24_TYPELESS, Format::D32_FLOAT_S8X24_UINT, Format::R32_FLOAT_X8X24_TYPELESS};
    default: return {Format::R32_TYPELESS, Format::D32_FLOAT, Format::R32_FLOAT};
    }
}

}  // namespace Engine
