#include <gtest/gtest.h>

#include "Engine/GpuResource/FormatTables.h"
#include "Engine/Platform/Format.h"

namespace TavrinTest {
namespace {

using Engine::Platform::Format;

TEST(FormatTables, TypelessAndUavFormats) {
    struct Row {
        Format requested, typeless, uav;
    };
    const Row rows[] = {
        {Format::R8G8B8A8_UNORM, Format::R8G8B8A8_TYPELESS, Format::R8G8B8A8_UNORM},
        {Format::R8G8B8A8_UNORM_SRGB, Format::R8G8B8A8_TYPELESS, Format::R8G8B8A8_UNORM},
        {Format::B8G8R8A8_UNORM_SRGB, Format::B8G8R8A8_TYPELESS, Format::B8G8R8A8_UNORM},
        {Format::B8G8R8X8_UNORM, Format::B8G8R8X8_TYPELESS, Format::B8G8R8X8_UNORM},
        {Format::R16G16_SNORM, Format::R16G16_TYPELESS, Format::R16G16_SNORM},
        {Format::D32_FLOAT, Format::R32_TYPELESS, Format::D32_FLOAT},
        {Format::R32_FLOAT, Format::R32_TYPELESS, Format::R32_FLOAT},
        {Format::D24_UNORM_S8_UINT, Format::R24G8_TYPELESS, Format::D24_UNORM_S8_UINT},
        {Format::D16_UNORM, Format::R16_TYPELESS, Format::D16_UNORM},
        {Format::D32_FLOAT_S8X24_UINT, Format::R32G8X24_TYPELESS, Format::D32_FLOAT_S8X24_UINT},
        // Floating-point formats are used as they are.
        {Format::R16G16B16A16_FLOAT, Format::R16G16B16A16_FLOAT, Format::R16G16B16A16_FLOAT},
        {Format::R11G11B10_FLOAT, Format::R11G11B10_FLOAT, Format::R11G11B10_FLOAT},
        {Format::R16G16_FLOAT, Format::R16G16_FLOAT, Format::R16G16_FLOAT},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Engine::TypelessFormat(row.requested), row.typeless) << Engine::Platform::FormatName(row.requested);
        EXPECT_EQ(Engine::UavFormat(row.requested), row.uav) << Engine::Platform::FormatName(row.requested);
    }
    EXPECT_EQ(Engine::UavFormat(Format::R32_TYPELESS), Format::R32_FLOAT);
    EXPECT_EQ(Engine::UavFormat(Format::R8G8B8A8_TYPELESS), Format::R8G8B8A8_UNORM);
}

TEST(FormatTables, AnyMemberOfADepthFamilySelectsItsRow) {
    struct Row {
        Format given, resource, dsv, srv;
    };
    const Row rows[] = {
        {Format::D32_FLOAT, Format::R32_TYPELESS, Format::D32_FLOAT, Format::R32_FLOAT},
        {Format::R32_FLOAT, Format::R32_TYPELESS, Format::D32_FLOAT, Format::R32_FLOAT},
        {Format::D24_UNORM_S8_UINT, Format::R24G8_TYPELESS, Format::D24_UNORM_S8_UINT, Format::R24_UNORM_X8_TYPELESS},
        {Format::X24_TYPELESS_G8_UINT, Format::R24G8_TYPELESS, Format::D24_UNORM_S8_UINT, Format::R24_UNORM_X8_TYPELESS},
        {Format::R16_UNORM, Format::R16_TYPELESS, Format::D16_UNORM, Format::R16_UNORM},
        {Format::R32_FLOAT_X8X24_TYPELESS, Format::R32G8X24_TYPELESS, Format::D32_FLOAT_S8X24_UINT, Format::R32_FLOAT_X8X24_TYPELESS},
    };
    for (const Row& row : rows) {
        const Engine::DepthFormats f = Engine::DepthFormatsFor(row.given);
        EXPECT_EQ(f.resource, row.resource) << Engine::Platform::FormatName(row.given);
        EXPECT_EQ(f.dsv, row.dsv);
        EXPECT_EQ(f.srv, row.srv);
    }
}

TEST(FormatTables, FormatInfoSizesAndKinds) {
    using Engine::Platform::GetFormatInfo;
    EXPECT_EQ(GetFormatInfo(Format::R8G8B8A8_UNORM).blockBytes, 4u);
    EXPECT_EQ(GetFormatInfo(Format::R32G32B32_FLOAT).blockBytes, 12u);
    EXPECT_EQ(GetFormatInfo(Format::BC1_UNORM).blockBytes, 8u);
    EXPECT_EQ(GetFormatInfo(Format::BC7_UNORM_SRGB).blockWidth, 4u);
    EXPECT_TRUE(GetFormatInfo(Format::BC7_UNORM_SRGB).srgb);
    EXPECT_TRUE(GetFormatInfo(Format::R24G8_TYPELESS).typeless);
    EXPECT_TRUE(GetFormatInfo(Format::D24_UNORM_S8_UINT).stencil);
    EXPECT_TRUE(Engine::Platform::IsDepthFormat(Format::D32_FLOAT));
    EXPECT_FALSE(Engine::Platform::IsDepthFormat(Format::R32_FLOAT));
    // Values with no counterpart are reported unsupported rather than guessed.
    EXPECT_FALSE(GetFormatInfo(static_cast<Format>(66)).supported);
    EXPECT_FALSE(GetFormatInfo(static_cast<Format>(500)).supported);
    EXPECT_STREQ(Engine::Platform::FormatName(static_cast<Format>(500)), "UNKNOWN");
}

}  // namespace
}  // namespace TavrinTest
