#include "Engine/TextureLoader/DDSTextureLoader.h"
#include "tests/support/TextureFileWriters.h"

#include <gtest/gtest.h>

using namespace Engine;
using TestSupport::CountingBytes;
using TestSupport::DdsLayout;
using TestSupport::WriteDds;

namespace {

constexpr uint32_t kFlagsVolume = 0x1007 | 0x800000;

DdsLayout Dx10(DxgiFormat format, uint32_t width, uint32_t height, uint32_t mips, size_t pixelBytes) {
    DdsLayout dds;
    dds.pfFlags = 0x4;
    dds.fourCC = MakeFourCC('D', 'X', '1', '0');
    dds.dx10 = true;
    dds.dxgiFormat = static_cast<uint32_t>(format);
    dds.width = width;
    dds.height = height;
    dds.mipCount = mips;
    dds.pixels = CountingBytes(pixelBytes);
    return dds;
}

DdsLayout FourCC(uint32_t code, uint32_t width, uint32_t height, uint32_t mips, size_t pixelBytes) {
    DdsLayout dds;
    dds.pfFlags = 0x4;
    dds.fourCC = code;
    dds.width = width;
    dds.height = height;
    dds.mipCount = mips;
    dds.pixels = CountingBytes(pixelBytes);
    return dds;
}

DecodeResult Decode(const std::vector<uint8_t>& file, DecodedTexture& out, uint32_t maxSize = 0) {
    return DecodeDDS(std::span<const uint8_t>(file.data(), file.size()), out, maxSize);
}

// Offset of a subresource's bytes from the start of the file.
size_t OffsetOf(const std::vector<uint8_t>& file, const DecodedSubresource& s) {
    return static_cast<size_t>(s.data - file.data());
}

}  // namespace

TEST(DdsDecoder, RejectsMalformedFiles) {
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        DecodeResult expected;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, DdsLayout dds, DecodeResult expected) {
        cases.push_back({what, WriteDds(dds), expected});
    };
    DdsLayout base;
    base.pixels = CountingBytes(64);

    cases.push_back({"empty", {}, DecodeResult::Fail});
    {
        std::vector<uint8_t> shortFile = WriteDds(base);
        shortFile.resize(127);
        cases.push_back({"shorter than a header", shortFile, DecodeResult::Fail});
    }
    { DdsLayout s = base; s.magic = 0x20534445; add("bad magic", s, DecodeResult::Fail); }
    { DdsLayout s = base; s.headerSize = 120; add("bad header size", s, DecodeResult::Fail); }
    { DdsLayout s = base; s.pfSize = 24; add("bad pixel-format size", s, DecodeResult::Fail); }
    {
        std::vector<uint8_t> file = WriteDds(Dx10(DxgiFormat::R8G8B8A8_Unorm, 4, 4, 1, 0));
        file.resize(140);
        cases.push_back({"extended header cut short", file, DecodeResult::Fail});
    }
    { DdsLayout s = Dx10(DxgiFormat::R8G8B8A8_Unorm, 4, 4, 1, 64); s.arraySize = 0; add("array size 0", s, DecodeResult::InvalidData); }
    for (DxgiFormat f : {DxgiFormat::AI44, DxgiFormat::IA44, DxgiFormat::P8, DxgiFormat::A8P8})
        add("palette format", Dx10(f, 4, 4, 1, 64), DecodeResult::NotSupported);
    add("format value with no layout", Dx10(static_cast<DxgiFormat>(200), 4, 4, 1, 64), DecodeResult::NotSupported);
    add("unknown format 0", Dx10(DxgiFormat::Unknown, 4, 4, 1, 64), DecodeResult::NotSupported);
    {
        DdsLayout s = Dx10(DxgiFormat::R8_Unorm, 4, 2, 1, 64);
        s.resourceDimension = 2;
        add("1D texture with a height", s, DecodeResult::InvalidData);
    }
    { DdsLayout s = Dx10(DxgiFormat::R8_Unorm, 4, 4, 1, 64); s.resourceDimension = 4; s.depth = 4; add("3D without the volume flag", s, DecodeResult::InvalidData); }
    {
        DdsLayout s = Dx10(DxgiFormat::R8_Unorm, 4, 4, 1, 64);
        s.resourceDimension = 4;
        s.flags = kFlagsVolume;
        s.depth = 4;
        s.arraySize = 2;
        add("3D array", s, DecodeResult::NotSupported);
    }
    { DdsLayout s = Dx10(DxgiFormat::R8_Unorm, 4, 4, 1, 64); s.resourceDimension = 1; add("buffer dimension", s, DecodeResult::NotSupported); }
    { DdsLayout s = base; s.masks[3] = 0x0F000000; add("RGB masks in no table entry", s, DecodeResult::NotSupported); }
    { DdsLayout s = base; s.rgbBitCount = 24; add("24-bit RGB", s, DecodeResult::NotSupported); }
    { DdsLayout s = FourCC(MakeFourCC('D', 'X', 'T', '9'), 4, 4, 1, 64); add("unknown four-character code", s, DecodeResult::NotSupported); }
    { DdsLayout s = base; s.pfFlags = 0; add("no pixel-format family", s, DecodeResult::NotSupported); }
    { DdsLayout s = base; s.caps2 = 0x200 | 0x400 | 0x800; add("cube map with two faces", s, DecodeResult::NotSupported); }
    { DdsLayout s = base; s.mipCount = 16; add("16 mips", s, DecodeResult::NotSupported); }
    { DdsLayout s = base; s.width = 16385; s.height = 1; add("2D wider than 16384", s, DecodeResult::NotSupported); }
    { DdsLayout s = base; s.width = 0; add("width 0", s, DecodeResult::InvalidData); }
    {
        DdsLayout s = base;
        s.flags = kFlagsVolume;
        s.depth = 2049;
        s.width = s.height = 1;
        add("volume deeper than 2048", s, DecodeResult::NotSupported);
    }
    { DdsLayout s = Dx10(DxgiFormat::R8_Unorm, 1, 1, 1, 4096); s.arraySize = 2049; add("2049 array slices", s, DecodeResult::NotSupported); }
    { DdsLayout s = Dx10(DxgiFormat::R8_Unorm, 1, 1, 1, 4096); s.arraySize = 342; s.miscFlag = 4; add("cube array over 2048 faces", s, DecodeResult::NotSupported); }
    add("depth-stencil format", Dx10(DxgiFormat::D24_Unorm_S8_Uint, 4, 4, 1, 64), DecodeResult::NotSupported);
    { DdsLayout s = Dx10(DxgiFormat::NV12, 2, 2, 15, 64); s.arraySize = 2048; add("two-plane format, too many subresources", s, DecodeResult::InvalidArg); }
    { DdsLayout s = base; s.pixels.resize(63); add("pixel data one byte short", s, DecodeResult::EndOfFile); }
    { DdsLayout s = base; s.mipCount = 3; s.pixels.resize(64 + 16 + 3); add("last mip one byte short", s, DecodeResult::EndOfFile); }
    {
        DdsLayout s = base;
        s.caps2 = 0xFE00;
        s.pixels.resize(64 * 6 - 1);
        add("last cube face short", s, DecodeResult::EndOfFile);
    }

    for (const Case& c : cases) {
        DecodedTexture out;
        out.subresources.push_back({});  // must be cleared on failure
        EXPECT_EQ(Decode(c.file, out), c.expected) << c.what;
        EXPECT_TRUE(out.subresources.empty()) << c.what;
        EXPECT_EQ(out.desc.format, DxgiFormat::Unknown) << c.what;
    }
}

TEST(DdsDecoder, LegacyPixelFormatTable) {
    constexpr uint32_t kRgb = 0x40, kLum = 0x20000, kAlpha = 0x2, kBump = 0x80000, kFour = 0x4;
    struct Case {
        uint32_t flags, bits, r, g, b, a, fourCC;
        DxgiFormat expected;
    };
    const Case cases[] = {
        {kRgb, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, 0, DxgiFormat::B5G5R5A1_Unorm},
        {kRgb, 16, 0xF800, 0x7E0, 0x1F, 0, 0, DxgiFormat::B5G6R5_Unorm},
        {kRgb, 16, 0xF00, 0xF0, 0xF, 0xF000, 0, DxgiFormat::B4G4R4A4_Unorm},
        {kRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 0, DxgiFormat::R8G8B8A8_Unorm},
        {kRgb, 32, 0xFFFF, 0xFFFF0000, 0, 0, 0, DxgiFormat::R16G16_Unorm},
        {kRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, DxgiFormat::B8G8R8A8_Unorm},
        {kRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0, DxgiFormat::B8G8R8X8_Unorm},
        {kRgb, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 0, DxgiFormat::R10G10B10A2_Unorm},
        {kRgb, 32, 0xFFFFFFFF, 0, 0, 0, 0, DxgiFormat::R32_Float},
        {kRgb, 16, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 0, DxgiFormat::Unknown},  // masks need 32 bits
        {kLum, 8, 0xFF, 0, 0, 0, 0, DxgiFormat::R8_Unorm},
        {kLum, 8, 0xFF, 0, 0, 0xFF00, 0, DxgiFormat::R8G8_Unorm},
        {kLum, 16, 0xFF, 0, 0, 0xFF00, 0, DxgiFormat::R8G8_Unorm},
        {kLum, 16, 0xFFFF, 0, 0, 0, 0, DxgiFormat::R16_Unorm},
        {kAlpha, 8, 0, 0, 0, 0x12, 0, DxgiFormat::A8_Unorm},
        {kAlpha, 16, 0, 0, 0, 0xFF, 0, DxgiFormat::Unknown},
        {kBump, 16, 0xFF, 0xFF00, 0, 0, 0, DxgiFormat::R8G8_Snorm},
        {kBump, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 0, DxgiFormat::R8G8B8A8_Snorm},
        {kBump, 32, 0xFFFF, 0xFFFF0000, 0, 0, 0, DxgiFormat::R16G16_Snorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('D', 'X', 'T', '1'), DxgiFormat::BC1_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('D', 'X', 'T', '2'), DxgiFormat::BC2_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('D', 'X', 'T', '3'), DxgiFormat::BC2_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('D', 'X', 'T', '4'), DxgiFormat::BC3_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('D', 'X', 'T', '5'), DxgiFormat::BC3_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('A', 'T', 'I', '1'), DxgiFormat::BC4_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('B', 'C', '4', 'U'), DxgiFormat::BC4_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('B', 'C', '4', 'S'), DxgiFormat::BC4_Snorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('A', 'T', 'I', '2'), DxgiFormat::BC5_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('B', 'C', '5', 'U'), DxgiFormat::BC5_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('B', 'C', '5', 'S'), DxgiFormat::BC5_Snorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('R', 'G', 'B', 'G'), DxgiFormat::R8G8_B8G8_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('G', 'R', 'G', 'B'), DxgiFormat::G8R8_G8B8_Unorm},
        {kFour, 0, 0, 0, 0, 0, MakeFourCC('Y', 'U', 'Y', '2'), DxgiFormat::YUY2},
        {kFour, 0, 0, 0, 0, 0, 36, DxgiFormat::R16G16B16A16_Unorm},
        {kFour, 0, 0, 0, 0, 0, 110, DxgiFormat::R16G16B16A16_Snorm},
        {kFour, 0, 0, 0, 0, 0, 111, DxgiFormat::R16_Float},
        {kFour, 0, 0, 0, 0, 0, 112, DxgiFormat::R16G16_Float},
        {kFour, 0, 0, 0, 0, 0, 113, DxgiFormat::R16G16B16A16_Float},
        {kFour, 0, 0, 0, 0, 0, 114, DxgiFormat::R32_Float},
        {kFour, 0, 0, 0, 0, 0, 115, DxgiFormat::R32G32_Float},
        {kFour, 0, 0, 0, 0, 0, 116, DxgiFormat::R32G32B32A32_Float},
        // Families are tried in order RGB, luminance, alpha, bump, four-character code.
        {kRgb | kFour, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, MakeFourCC('D', 'X', 'T', '1'), DxgiFormat::R8G8B8A8_Unorm},
        {kLum | kAlpha, 8, 0xFF, 0, 0, 0, 0, DxgiFormat::R8_Unorm},
        {kAlpha | kFour, 8, 0, 0, 0, 0xFF, MakeFourCC('D', 'X', 'T', '5'), DxgiFormat::A8_Unorm},
        {kBump | kFour, 16, 0xFF, 0xFF00, 0, 0, MakeFourCC('D', 'X', 'T', '5'), DxgiFormat::R8G8_Snorm},
    };
    for (const Case& c : cases) {
        DdsPixelFormat pf{32, c.flags, c.fourCC, c.bits, c.r, c.g, c.b, c.a};
        EXPECT_EQ(FormatFromDdsPixelFormat(pf), c.expected)
            << "flags " << std::hex << c.flags << " bits " << std::dec << c.bits << " fourCC " << c.fourCC;
    }
}

TEST(DdsDecoder, Rgba8MipChainPointsIntoTheFile) {
    DdsLayout dds;  // legacy R8G8B8A8, 4 x 4
    dds.mipCount = 3;
    dds.pixels = CountingBytes(64 + 16 + 4 + 7);  // trailing bytes are ignored
    const auto file = WriteDds(dds);
    DecodedTexture out;
    ASSERT_EQ(Decode(file, out), DecodeResult::Ok);
    EXPECT_EQ(out.desc.dimension, TextureDimension::Texture2D);
    EXPECT_EQ(out.desc.format, DxgiFormat::R8G8B8A8_Unorm);
    EXPECT_EQ(out.desc.width, 4u);
    EXPECT_EQ(out.desc.height, 4u);
    EXPECT_EQ(out.desc.depthOrArraySize, 1u);
    EXPECT_EQ(out.desc.mipLevels, 3u);
    EXPECT_FALSE(out.desc.cube);
    EXPECT_FALSE(out.generateMips);
    EXPECT_TRUE(out.pixels.empty());
    ASSERT_EQ(out.subresources.size(), 3u);
    const size_t offsets[] = {128, 192, 208};
    const uint64_t rowPitch[] = {16, 8, 4}, slicePitch[] = {64, 16, 4};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(OffsetOf(file, out.subresources[i]), offsets[i]);
        EXPECT_EQ(out.subresources[i].rowPitch, rowPitch[i]);
        EXPECT_EQ(out.subresources[i].slicePitch, slicePitch[i]);
    }
}

TEST(DdsDecoder, MipCountZeroMeansOneAndAsksForGeneratedMips) {
    DdsLayout dds;
    dds.mipCount = 0;
    dds.pixels = CountingBytes(64);
    DecodedTexture out;
    ASSERT_EQ(Decode(WriteDds(dds), out), DecodeResult::Ok);
    EXPECT_EQ(out.desc.mipLevels, 1u);
    EXPECT_EQ(out.subresources.size(), 1u);
    EXPECT_TRUE(out.generateMips);
}

TEST(DdsDecoder, BlockCompressedSurfacesUseWholeBlocks) {
    struct Case {
        const char* what;
        DdsLayout dds;
        DxgiFormat format;
        std::vector<uint64_t> rowPitch, slicePitch;
    };
    const Case cases[] = {
        // 8 x 8 BC1 with a full chain: 2 x 2 blocks, then one block for each smaller mip.
        {"DXT1 8x8", FourCC(MakeFourCC('D', 'X', 'T', '1'), 8, 8, 4, 32 + 8 + 8 + 8), DxgiFormat::BC1_Unorm,
         {16, 8, 8, 8}, {32, 8, 8, 8}},
        // 5 x 3 rounds up to 2 x 1 blocks of 16 bytes.
        {"DXT5 5x3", FourCC(MakeFourCC('D', 'X', 'T', '5'), 5, 3, 2, 32 + 16), DxgiFormat::BC3_Unorm, {32, 16}, {32, 16}},
        {"BC7 via DX10 12x4", Dx10(DxgiFormat::BC7_Unorm_Srgb, 12, 4, 1, 48), DxgiFormat::BC7_Unorm_Srgb, {48}, {48}},
        {"BC4 via ATI1 4x4", FourCC(MakeFourCC('A', 'T', 'I', '1'), 4, 4, 1, 8), DxgiFormat::BC4_Unorm, {8}, {8}},
        // Packed 4:2:2 rows hold pixel pairs: width 3 needs two pairs of 4 bytes.
        {"RGBG 3x2", FourCC(MakeFourCC('R', 'G', 'B', 'G'), 3, 2, 1, 16), DxgiFormat::R8G8_B8G8_Unorm, {8}, {16}},
        {"R16G16B16A16F 2x2", FourCC(113, 2, 2, 2, 32 + 8), DxgiFormat::R16G16B16A16_Float, {16, 8}, {32, 8}},
    };
    for (const Case& c : cases) {
        const auto file = WriteDds(c.dds);
        DecodedTexture out;
        ASSERT_EQ(Decode(file, out), DecodeResult::Ok) << c.what;
        EXPECT_EQ(out.desc.format, c.format) << c.what;
        ASSERT_EQ(out.subresources.size(), c.rowPitch.size()) << c.what;
        size_t offset = file.size() - c.dds.pixels.size();
        for (size_t i = 0; i < c.rowPitch.size(); ++i) {
            EXPECT_EQ(out.subresources[i].rowPitch, c.rowPitch[i]) << c.what << " mip " << i;
            EXPECT_EQ(out.subresources[i].slicePitch, c.slicePitch[i]) << c.what << " mip " << i;
            EXPECT_EQ(OffsetOf(file, out.subresources[i]), offset) << c.what << " mip " << i;
            offset += c.slicePitch[i];
        }
    }
}

TEST(DdsDecoder, CubeMapsHoldSixFacesEachWithItsMips) {
    // Legacy header, all six faces, 4 x 4 R8G8B8A8 with 2 mips: faces are stored one after
    // another, each followed by its own mips.
    DdsLayout legacy;
    legacy.caps2 = 0xFE00;
    legacy.mipCount = 2;
    legacy.pixels = CountingBytes(6 * (64 + 16));
    // Extended header: a cube array of 2 cubes, 2 x 2 R32_FLOAT, 1 mip.
    DdsLayout cubeArray = Dx10(DxgiFormat::R32_Float, 2, 2, 1, 12 * 16);
    cubeArray.miscFlag = 4;
    cubeArray.arraySize = 2;

    struct Case {
        const char* what;
        DdsLayout dds;
        uint32_t slices, mips;
        uint64_t faceBytes, mip0Bytes;
    };
    for (const Case& c : {Case{"legacy cube", legacy, 6, 2, 80, 64}, Case{"cube array", cubeArray, 12, 1, 16, 16}}) {
        const auto file = WriteDds(c.dds);
        DecodedTexture out;
        ASSERT_EQ(Decode(file, out), DecodeResult::Ok) << c.what;
        EXPECT_TRUE(out.desc.cube) << c.what;
        EXPECT_EQ(out.desc.dimension, TextureDimension::Texture2D) << c.what;
        EXPECT_EQ(out.desc.depthOrArraySize, c.slices) << c.what;
        EXPECT_EQ(out.desc.mipLevels, c.mips) << c.what;
        ASSERT_EQ(out.subresources.size(), size_t(c.slices) * c.mips) << c.what;
        const size_t start = file.size() - c.dds.pixels.size();
        for (uint32_t slice = 0; slice < c.slices; ++slice) {
            EXPECT_EQ(OffsetOf(file, out.subresources[slice * c.mips]), start + slice * c.faceBytes) << c.what;
            if (c.mips > 1) {
                EXPECT_EQ(OffsetOf(file, out.subresources[slice * c.mips + 1]), start + slice * c.faceBytes + c.mip0Bytes);
            }
        }
    }
}

TEST(DdsDecoder, VolumeTexturesStoreEachMipAsItsDepthSlices) {
    DdsLayout legacy;
    legacy.flags = kFlagsVolume;
    legacy.depth = 4;
    legacy.mipCount = 3;  // 4x4x4, 2x2x2, 1x1x1
    legacy.pixels = CountingBytes(4 * 64 + 2 * 16 + 4);
    DdsLayout extended = Dx10(DxgiFormat::R8G8B8A8_Unorm, 4, 4, 3, 4 * 64 + 2 * 16 + 4);
    extended.resourceDimension = 4;
    extended.flags = kFlagsVolume;
    extended.depth = 4;

    for (const DdsLayout& dds : {legacy, extended}) {
        const auto file = WriteDds(dds);
        DecodedTexture out;
        ASSERT_EQ(Decode(file, out), DecodeResult::Ok);
        EXPECT_EQ(out.desc.dimension, TextureDimension::Texture3D);
        EXPECT_EQ(out.desc.depthOrArraySize, 4u);
        EXPECT_EQ(out.desc.mipLevels, 3u);
        ASSERT_EQ(out.subresources.size(), 3u);
        const size_t start = file.size() - dds.pixels.size();
        EXPECT_EQ(OffsetOf(file, out.subresources[0]), start);
        EXPECT_EQ(out.subresources[0].slicePitch, 64u);
        EXPECT_EQ(OffsetOf(file, out.subresources[1]), start + 256);
        EXPECT_EQ(out.subresources[1].slicePitch, 16u);
        EXPECT_EQ(OffsetOf(file, out.subresources[2]), start + 256 + 32);
    }
}

TEST(DdsDecoder, OneDimensionalArrays) {
    DdsLayout dds = Dx10(DxgiFormat::R16_Float, 8, 1, 1, 3 * 16);
    dds.resourceDimension = 2;
    dds.arraySize = 3;
    DecodedTexture out;
    ASSERT_EQ(Decode(WriteDds(dds), out), DecodeResult::Ok);
    EXPECT_EQ(out.desc.dimension, TextureDimension::Texture1D);
    EXPECT_EQ(out.desc.height, 1u);
    EXPECT_EQ(out.desc.depthOrArraySize, 3u);
    EXPECT_EQ(out.subresources.size(), 3u);
}

TEST(DdsDecoder, RetryLeavesOutMipsAboveTheSizeLimit) {
    DdsLayout dds;
    dds.width = dds.height = 8;
    dds.mipCount = 4;  // 8, 4, 2, 1
    dds.pixels = CountingBytes(256 + 64 + 16 + 4);
    const auto file = WriteDds(dds);
    DecodedTexture out;
    ASSERT_EQ(Decode(file, out, 2), DecodeResult::Ok);
    EXPECT_EQ(out.desc.width, 2u);
    EXPECT_EQ(out.desc.height, 2u);
    EXPECT_EQ(out.desc.mipLevels, 2u);
    ASSERT_EQ(out.subresources.size(), 2u);
    EXPECT_EQ(OffsetOf(file, out.subresources[0]), 128u + 256 + 64);

    // A single-mip file is never cut down.
    dds.mipCount = 1;
    dds.pixels = CountingBytes(256);
    ASSERT_EQ(Decode(WriteDds(dds), out, 2), DecodeResult::Ok);
    EXPECT_EQ(out.desc.width, 8u);
}
