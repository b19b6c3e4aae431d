#include "Engine/Platform/Format.h"

#include "Engine/Platform/VulkanCommon.h"

namespace Engine::Platform {
namespace {

struct FormatRow {
    Format format;
    const char* name;
    VkFormat vk;
    uint32_t blockBytes;
    uint32_t blockWidth;
    bool typeless, depth, stencil, srgb;
};

// Typeless formats map to the typed format that views use most often; resources created with a
// typeless format allow views of every format of their family.
constexpr FormatRow kRows[] = {
    {Format::R32G32B32A32_TYPELESS, "R32G32B32A32_TYPELESS", VK_FORMAT_R32G32B32A32_SFLOAT, 16, 1, true, false, false, false},
    {Format::R32G32B32A32_FLOAT, "R32G32B32A32_FLOAT", VK_FORMAT_R32G32B32A32_SFLOAT, 16, 1, false, false, false, false},
    {Format::R32G32B32A32_UINT, "R32G32B32A32_UINT", VK_FORMAT_R32G32B32A32_UINT, 16, 1, false, false, false, false},
    {Format::R32G32B32A32_SINT, "R32G32B32A32_SINT", VK_FORMAT_R32G32B32A32_SINT, 16, 1, false, false, false, false},
    {Format::R32G32B32_TYPELESS, "R32G32B32_TYPELESS", VK_FORMAT_R32G32B32_SFLOAT, 12, 1, true, false, false, false},
    {Format::R32G32B32_FLOAT, "R32G32B32_FLOAT", VK_FORMAT_R32G32B32_SFLOAT, 12, 1, false, false, false, false},
    {Format::R32G32B32_UINT, "R32G32B32_UINT", VK_FORMAT_R32G32B32_UINT, 12, 1, false, false, false, false},
    {Format::R32G32B32_SINT, "R32G32B32_SINT", VK_FORMAT_R32G32B32_SINT, 12, 1, false, false, false, false},
    {Format::R16G16B16A16_TYPELESS, "R16G16B16A16_TYPELESS", VK_FORMAT_R16G16B16A16_SFLOAT, 8, 1, true, false, false, false},
    {Format::R16G16B16A16_FLOAT, "R16G16B16A16_FLOAT", VK_FORMAT_R16G16B16A16_SFLOAT, 8, 1, false, false, false, false},
    {Format::R16G16B16A16_UNORM, "R16G16B16A16_UNORM", VK_FORMAT_R16G16B16A16_UNORM, 8, 1, false, false, false, false},
    {Format::R16G16B16A16_UINT, "R16G16B16A16_UINT", VK_FORMAT_R16G16B16A16_UINT, 8, 1, false, false, false, false},
    {Format::R16G16B16A16_SNORM, "R16G16B16A16_SNORM", VK_FORMAT_R16G16B16A16_SNORM, 8, 1, false, false, false, false},
    {Format::R16G16B16A16_SINT, "R16G16B16A16_SINT", VK_FORMAT_R16G16B16A16_SINT, 8, 1, false, false, false, false},
    {Format::R32G32_TYPELESS, "R32G32_TYPELESS", VK_FORMAT_R32G32_SFLOAT, 8, 1, true, false, false, false},
    {Format::R32G32_FLOAT, "R32G32_FLOAT", VK_FORMAT_R32G32_SFLOAT, 8, 1, false, false, false, false},
    {Format::R32G32_UINT, "R32G32_UINT", VK_FORMAT_R32G32_UINT, 8, 1, false, false, false, false},
    {Format::R32G32_SINT, "R32G32_SINT", VK_FORMAT_R32G32_SINT, 8, 1, false, false, false, false},
    {Format::R32G8X24_TYPELESS, "R32G8X24_TYPELESS", VK_FORMAT_D32_SFLOAT_S8_UINT, 8, 1, true, true, true, false},
    {Format::D32_FLOAT_S8X24_UINT, "D32_FLOAT_S8X24_UINT", VK_FORMAT_D32_SFLOAT_S8_UINT, 8, 1, false, true, true, false},
    {Format::R32_FLOAT_X8X24_TYPELESS, "R32_FLOAT_X8X24_TYPELESS", VK_FORMAT_D32_SFLOAT_S8_UINT, 8, 1, false, true, true, false},
    {Format::X32_TYPELESS_G8X24_UINT, "X32_TYPELESS_G8X24_UINT", VK_FORMAT_D32_SFLOAT_S8_UINT, 8, 1, false, true, true, false},
    {Format::R10G10B10A2_TYPELESS, "R10G10B10A2_TYPELESS", VK_FORMAT_A2B10G10R10_UNORM_PACK32, 4, 1, true, false, false, false},
    {Format::R10G10B10A2_UNORM, "R10G10B10A2_UNORM", VK_FORMAT_A2B10G10R10_UNORM_PACK32, 4, 1, false, false, false, false},
    {Format::R10G10B10A2_UINT, "R10G10B10A2_UINT", VK_FORMAT_A2B10G10R10_UINT_PACK32, 4, 1, false, false, false, false},
    {Format::R11G11B10_FLOAT, "R11G11B10_FLOAT", VK_FORMAT_B10G11R11_UFLOAT_PACK32, 4, 1, false, false, false, false},
    {Format::R8G8B8A8_TYPELESS, "R8G8B8A8_TYPELESS", VK_FORMAT_R8G8B8A8_UNORM, 4, 1, true, false, false, false},
    {Format::R8G8B8A8_UNORM, "R8G8B8A8_UNORM", VK_FORMAT_R8G8B8A8_UNORM, 4, 1, false, false, false, false},
    {Format::R8G8B8A8_UNORM_SRGB, "R8G8B8A8_UNORM_SRGB", VK_FORMAT_R8G8B8A8_SRGB, 4, 1, false, false, false, true},
    {Format::R8G8B8A8_UINT, "R8G8B8A8_UINT", VK_FORMAT_R8G8B8A8_UINT, 4, 1, false, false, false, false},
    {Format::R8G8B8A8_SNORM, "R8G8B8A8_SNORM", VK_FORMAT_R8G8B8A8_SNORM, 4, 1, false, false, false, false},
    {Format::R8G8B8A8_SINT, "R8G8B8A8_SINT", VK_FORMAT_R8G8B8A8_SINT, 4, 1, false, false, false, false},
    {Format::R16G16_TYPELESS, "R16G16_TYPELESS", VK_FORMAT_R16G16_SFLOAT, 4, 1, true, false, false, false},
    {Format::R16G16_FLOAT, "R16G16_FLOAT", VK_FORMAT_R16G16_SFLOAT, 4, 1, false, false, false, false},
    {Format::R16G16_UNORM, "R16G16_UNORM", VK_FORMAT_R16G16_UNORM, 4, 1, false, false, false, false},
    {Format::R16G16_UINT, "R16G16_UINT", VK_FORMAT_R16G16_UINT, 4, 1, false, false, false, false},
    {Format::R16G16_SNORM, "R16G16_SNORM", VK_FORMAT_R16G16_SNORM, 4, 1, false, false, false, false},
    {Format::R16G16_SINT, "R16G16_SINT", VK_FORMAT_R16G16_SINT, 4, 1, false, false, false, false},
    {Format::R32_TYPELESS, "R32_TYPELESS", VK_FORMAT_R32_SFLOAT, 4, 1, true, false, false, false},
    {Format::D32_FLOAT, "D32_FLOAT", VK_FORMAT_D32_SFLOAT, 4, 1, false, true, false, false},
    {Format::R32_FLOAT, "R32_FLOAT", VK_FORMAT_R32_SFLOAT, 4, 1, false, false, false, false},
    {Format::R32_UINT, "R32_UINT", VK_FORMAT_R32_UINT, 4, 1, false, false, false, false},
    {Format::R32_SINT, "R32_SINT", VK_FORMAT_R32_SINT, 4, 1, false, false, false, false},
    {Format::R24G8_TYPELESS, "R24G8_TYPELESS", VK_FORMAT_D24_UNORM_S8_UINT, 4, 1, true, true, true, false},
    {Format::D24_UNORM_S8_UINT, "D24_UNORM_S8_UINT", VK_FORMAT_D24_UNORM_S8_UINT, 4, 1, false, true, true, false},
    {Format::R24_UNORM_X8_TYPELESS, "R24_UNORM_X8_TYPELESS", VK_FORMAT_D24_UNORM_S8_UINT, 4, 1, false, true, true, false},
    {Format::X24_TYPELESS_G8_UINT, "X24_TYPELESS_G8_UINT", VK_FORMAT_D24_UNORM_S8_UINT, 4, 1, false, true, true, false},
    {Format::R8G8_TYPELESS, "R8G8_TYPELESS", VK_FORMAT_R8G8_UNORM, 2, 1, true, false, false, false},
    {Format::R8G8_UNORM, "R8G8_UNORM", VK_FORMAT_R8G8_UNORM, 2, 1, false, false, false, false},
    {Format::R8G8_UINT, "R8G8_UINT", VK_FORMAT_R8G8_UINT, 2, 1, false, false, false, false},
    {Format::R8G8_SNORM, "R8G8_SNORM", VK_FORMAT_R8G8_SNORM, 2, 1, false, false, false, false},
    {Format::R8G8_SINT, "R8G8_SINT", VK_FORMAT_R8G8_SINT, 2, 1, false, false, false, false},
    {Format::R16_TYPELESS, "R16_TYPELESS", VK_FORMAT_R16_SFLOAT, 2, 1, true, false, false, false},
    {Format::R16_FLOAT, "R16_FLOAT", VK_FORMAT_R16_SFLOAT, 2, 1, false, false, false, false},
    {Format::D16_UNORM, "D16_UNORM", VK_FORMAT_D16_UNORM, 2, 1, false, true, false, false},
    {Format::R16_UNORM, "R16_UNORM", VK_FORMAT_R16_UNORM, 2, 1, false, false, false, false},
    {Format::R16_UINT, "R16_UINT", VK_FORMAT_R16_UINT, 2, 1, false, false, false, false},
    {Format::R16_SNORM, "R16_SNORM", VK_FORMAT_R16_SNORM, 2, 1, false, false, false, false},
    {Format::R16_SINT, "R16_SINT", VK_FORMAT_R16_SINT, 2, 1, false, false, false, false},
    {Format::R8_TYPELESS, "R8_TYPELESS", VK_FORMAT_R8_UNORM, 1, 1, true, false, false, false},
    {Format::R8_UNORM, "R8_UNORM", VK_FORMAT_R8_UNORM, 1, 1, false, false, false, false},
    {Format::R8_UINT, "R8_UINT", VK_FORMAT_R8_UINT, 1, 1, false, false, false, false},
    {Format::R8_SNORM, "R8_SNORM", VK_FORMAT_R8_SNORM, 1, 1, false, false, false, false},
    {Format::R8_SINT, "R8_SINT", VK_FORMAT_R8_SINT, 1, 1, false, false, false, false},
    {Format::A8_UNORM, "A8_UNORM", VK_FORMAT_R8_UNORM, 1, 1, false, false, false, false},
    {Format::R9G9B9E5_SHAREDEXP, "R9G9B9E5_SHAREDEXP", VK_FORMAT_E5B9G9R9_UFLOAT_PACK32, 4, 1, false, false, false, false},
    {Format::BC1_TYPELESS, "BC1_TYPELESS", VK_FORMAT_BC1_RGBA_UNORM_BLOCK, 8, 4, true, false, false, false},
    {Format::BC1_UNORM, "BC1_UNORM", VK_FORMAT_BC1_RGBA_UNORM_BLOCK, 8, 4, false, false, false, false},
    {Format::BC1_UNORM_SRGB, "BC1_UNORM_SRGB", VK_FORMAT_BC1_RGBA_SRGB_BLOCK, 8, 4, false, false, false, true},
    {Format::BC2_TYPELESS, "BC2_TYPELESS", VK_FORMAT_BC2_UNORM_BLOCK, 16, 4, true, false, false, false},
    {Format::BC2_UNORM, "BC2_UNORM", VK_FORMAT_BC2_UNORM_BLOCK, 16, 4, false, false, false, false},
    {Format::BC2_UNORM_SRGB, "BC2_UNORM_SRGB", VK_FORMAT_BC2_SRGB_BLOCK, 16, 4, false, false, false, true},
    {Format::BC3_TYPELESS, "BC3_TYPELESS", VK_FORMAT_BC3_UNORM_BLOCK, 16, 4, true, false, false, false},
    {Format::BC3_UNORM, "BC3_UNORM", VK_FORMAT_BC3_UNORM_BLOCK, 16, 4, false, false, false, false},
    {Format::BC3_UNORM_SRGB, "BC3_UNORM_SRGB", VK_FORMAT_BC3_SRGB_BLOCK, 16, 4, false, false, false, true},
    {Format::BC4_TYPELESS, "BC4_TYPELESS", VK_FORMAT_BC4_UNORM_BLOCK, 8, 4, true, false, false, false},
    {Format::BC4_UNORM, "BC4_UNORM", VK_FORMAT_BC4_UNORM_BLOCK, 8, 4, false, false, false, false},
    {Format::BC4_SNORM, "BC4_SNORM", VK_FORMAT_BC4_SNORM_BLOCK, 8, 4, false, false, false, false},
    {Format::BC5_TYPELESS, "BC5_TYPELESS", VK_FORMAT_BC5_UNORM_BLOCK, 16, 4, true, false, false, false},
    {Format::BC5_UNORM, "BC5_UNORM", VK_FORMAT_BC5_UNORM_BLOCK, 16, 4, false, false, false, false},
    {Format::BC5_SNORM, "BC5_SNORM", VK_FORMAT_BC5_SNORM_BLOCK, 16, 4, false, false, false, false},
    {Format::B5G6R5_UNORM, "B5G6R5_UNORM", VK_FORMAT_R5G6B5_UNORM_PACK16, 2, 1, false, false, false, false},
    {Format::B5G5R5A1_UNORM, "B5G5R5A1_UNORM", VK_FORMAT_A1R5G5B5_UNORM_PACK16, 2, 1, false, false, false, false},
    {Format::B8G8R8A8_UNORM, "B8G8R8A8_UNORM", VK_FORMAT_B8G8R8A8_UNORM, 4, 1, false, false, false, false},
    {Format::B8G8R8X8_UNORM, "B8G8R8X8_UNORM", VK_FORMAT_B8G8R8A8_UNORM, 4, 1, false, false, false, false},
    {Format::B8G8R8A8_TYPELESS, "B8G8R8A8_TYPELESS", VK_FORMAT_B8G8R8A8_UNORM, 4, 1, true, false, false, false},
    {Format::B8G8R8A8_UNORM_SRGB, "B8G8R8A8_UNORM_SRGB", VK_FORMAT_B8G8R8A8_SRGB, 4, 1, false, false, false, true},
    {Format::B8G8R8X8_TYPELESS, "B8G8R8X8_TYPELESS", VK_FORMAT_B8G8R8A8_UNORM, 4, 1, true, false, false, false},
    {Format::B8G8R8X8_UNORM_SRGB, "B8G8R8X8_UNORM_SRGB", VK_FORMAT_B8G8R8A8_SRGB, 4, 1, false, false, false, true},
    {Format::BC6H_TYPELESS, "BC6H_TYPELESS", VK_FORMAT_BC6H_UFLOAT_BLOCK, 16, 4, true, false, false, false},
    {Format::BC6H_UF16, "BC6H_UF16", VK_FORMAT_BC6H_UFLOAT_BLOCK, 16, 4, false, false, false, false},
    {Format::BC6H_SF16, "BC6H_SF16", VK_FORMAT_BC6H_SFLOAT_BLOCK, 16, 4, false, false, false, false},
    {Format::BC7_TYPELESS, "BC7_TYPELESS", VK_FORMAT_BC7_UNORM_BLOCK, 16, 4, true, false, false, false},
    {Format::BC7_UNORM, "BC7_UNORM", VK_FORMAT_BC7_UNORM_BLOCK, 16, 4, false, false, false, false},
    {Format::BC7_UNORM_SRGB, "BC7_UNORM_SRGB", VK_FORMAT_BC7_SRGB_BLOCK, 16, 4, false, false, false, true},
    {Format::B4G4R4A4_UNORM, "B4G4R4A4_UNORM", VK_FORMAT_A4R4G4B4_UNORM_PACK16, 2, 1, false, false, false, false},
};

constexpr uint32_t kTableSize = 128;

struct Table {
    FormatInfo info[kTableSize];
    const FormatRow* rows[kTableSize] = {};
    Table() {
        for (const FormatRow& row : kRows) {
            const auto index = static_cast<uint32_t>(row.format);
            rows[index] = &row;
            info[index] = FormatInfo{row.blockBytes, row.blockWidth, row.typeless, row.depth, row.stencil, row.srgb, true};
        }
    }
};

const Table& GetTable() {
    static const Table table;
    return table;
}

const FormatRow* FindRow(Format format) {
    const auto index = static_cast<uint32_t>(format);
    return index < kTableSize ? GetTable().rows[index] : nullptr;
}

}  // namespace

const FormatInfo& GetFormatInfo(Format format) {
    static const FormatInfo kNone{};
    const auto index = static_cast<uint32_t>(format);
    return index < kTableSize ? GetTable().info[index] : kNone;
}

const char* FormatName(Format format) {
    const FormatRow* row = FindRow(format);
    return row ? row->name : "UNKNOWN";
}

VkFormat ToVkFormat(Format format) {
    const FormatRow* row = FindRow(format);
    return row ? row->vk : VK_FORMAT_UNDEFINED;
}

VkImageAspectFlags AspectOf(VkFormat format) {
    switch (format) {
    case VK_FORMAT_D32_SFLOAT:
    case VK_FORMAT_D16_UNORM:
        return VK_IMAGE_ASPECT_DEPTH_BIT;
    case VK_FORMAT_D24_UNORM_S8_UINT:
    case VK_FORMAT_D32_SFLOAT_S8_UINT:
        return VK_IMAGE_ASPECT_DEPTH_BIT | VK_IMAGE_ASPECT_STENCIL_BIT;
    default:
        return VK_IMAGE_ASPECT_COLOR_BIT;
    }
}

}  // namespace Engine::Platform
