// What a texture's alpha holds, found from its decoded texels: 8-bit RGBA, the uncompressed DDS
// formats with alpha, BC1, BC2, BC3 and every BC7 mode, edge blocks, slices and mips, and whole
// DDS files through the decoder.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Engine/TextureLoader/AlphaContent.h"
#include "Engine/TextureLoader/BlockAlpha.h"
#include "Engine/TextureLoader/DDSTextureLoader.h"
#include "Engine/TextureLoader/HalfFloat.h"
#include "tests/support/TextureFileWriters.h"

namespace TavrinTest {
namespace {

using Engine::AlphaContent;
using Engine::DecodedTexture;
using Engine::DxgiFormat;
using Engine::MayHaveAlpha;

AlphaContent ClassifyAlpha(const std::vector<uint8_t>& rgba) { return Engine::ClassifyRgba8Alpha(rgba); }

std::vector<uint8_t> Texels(const std::vector<uint8_t>& alphas) {
    std::vector<uint8_t> rgba;
    for (uint8_t a : alphas) rgba.insert(rgba.end(), {10, 20, 30, a});
    return rgba;
}

TEST(AlphaContent, ClassifiesOpaqueCutOutAndSoftTexels) {
    EXPECT_EQ(ClassifyAlpha(Texels({255, 255, 250, 255})), AlphaContent::Opaque);  // within the tolerance
    EXPECT_EQ(ClassifyAlpha(Texels({255, 0, 3, 255})), AlphaContent::CutOut);
    EXPECT_EQ(ClassifyAlpha(Texels({255, 0, 128, 255})), AlphaContent::Soft);
    EXPECT_EQ(ClassifyAlpha(Texels({250, 250, 250, 250})), AlphaContent::Opaque);
    EXPECT_EQ(ClassifyAlpha(Texels({240, 255})), AlphaContent::Soft);  // 0.94: glass, overlays
    EXPECT_EQ(ClassifyAlpha({}), AlphaContent::Opaque);
    // A lone soft texel among thousands (an edge of a cut-out) does not make the texture soft.
    std::vector<uint8_t> alphas(4000, 255);
    alphas[0] = 0;
    alphas[1] = 128;
    EXPECT_EQ(ClassifyAlpha(Texels(alphas)), AlphaContent::CutOut);
    alphas[2] = alphas[3] = alphas[4] = alphas[5] = 128;
    EXPECT_EQ(ClassifyAlpha(Texels(alphas)), AlphaContent::Soft);
}

// PNG chunks: length, type, data, a CRC the header check does not read.
void Chunk(std::vector<uint8_t>& out, const char* type, std::vector<uint8_t> data) {
    const uint32_t n = uint32_t(data.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), {0, 0, 0, 0});
}

std::vector<uint8_t> PngHeader(uint8_t colorType, bool transparency) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Chunk(png, "IHDR", {0, 0, 0, 4, 0, 0, 0, 4, 8, colorType, 0, 0, 0});
    Chunk(png, "gAMA", {0, 0, 0xb1, 0x8f});
    if (transparency) Chunk(png, "tRNS", {0, 0});
    Chunk(png, "IDAT", {1, 2, 3});
    Chunk(png, "IEND", {});
    return png;
}

TEST(AlphaContent, HeaderTellsWhichImagesCanHoldAlpha) {
    EXPECT_FALSE(MayHaveAlpha(PngHeader(2, false)));  // RGB
    EXPECT_FALSE(MayHaveAlpha(PngHeader(3, false)));  // palette
    EXPECT_TRUE(MayHaveAlpha(PngHeader(3, true)));    // palette with transparency
    EXPECT_TRUE(MayHaveAlpha(PngHeader(6, false)));   // RGBA
    EXPECT_TRUE(MayHaveAlpha(PngHeader(4, false)));   // grey + alpha
    EXPECT_TRUE(MayHaveAlpha(TestSupport::EncodePng(2, 2, Texels({255, 255, 255, 255}))));
    EXPECT_FALSE(MayHaveAlpha(TestSupport::EncodeJpeg(2, 2, Texels({255, 255, 255, 255}))));
    EXPECT_TRUE(MayHaveAlpha(TestSupport::EncodeTga(2, 2, Texels({255, 0, 255, 255}), false)));
    // Damaged: a chunk running past the end, or the header cut short, goes to the decoder.
    std::vector<uint8_t> damaged = PngHeader(2, false);
    damaged[33] = 0x7f;
    EXPECT_TRUE(MayHaveAlpha(damaged));
    EXPECT_TRUE(MayHaveAlpha(std::vector<uint8_t>(damaged.begin(), damaged.begin() + 20)));
    EXPECT_TRUE(MayHaveAlpha({}));
}

// One surface of `width` x `height` in `format`, rows `rowPitch` bytes apart.
DecodedTexture Surface(DxgiFormat format, uint32_t width, uint32_t height, const std::vector<uint8_t>& bytes, uint64_t rowPitch) {
    DecodedTexture d;
    d.desc.dimension = Engine::TextureDimension::Texture2D;
    d.desc.width = width;
    d.desc.height = height;
    d.desc.depthOrArraySize = 1;
    d.desc.mipLevels = 1;
    d.desc.format = format;
    d.pixels = bytes;
    d.subresources = {{d.pixels.data(), rowPitch, bytes.size()}};
    return d;
}

std::vector<uint8_t> Repeat(std::vector<uint8_t> texel, size_t count) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < count; ++i) out.insert(out.end(), texel.begin(), texel.end());
    return out;
}

// One row of blocks.
AlphaContent Classify(DxgiFormat format, uint32_t width, uint32_t height, const std::vector<uint8_t>& blocks) {
    return Engine::ClassifyDecodedAlpha(Surface(format, width, height, blocks, blocks.size()));
}

TEST(AlphaContent, UncompressedFormatsAreReadByTheirAlphaBits) {
    // 2 x 2 surfaces, tightly packed; the last texel differs.
    auto two = [](DxgiFormat f, std::vector<uint8_t> plain, std::vector<uint8_t> last) {
        std::vector<uint8_t> bytes = Repeat(plain, 3);
        bytes.insert(bytes.end(), last.begin(), last.end());
        return Engine::ClassifyDecodedAlpha(Surface(f, 2, 2, bytes, plain.size() * 2));
    };
    EXPECT_EQ(two(DxgiFormat::B8G8R8A8_Unorm, {1, 2, 3, 255}, {1, 2, 3, 0}), AlphaContent::CutOut);
    EXPECT_EQ(two(DxgiFormat::B8G8R8A8_Unorm, {1, 2, 3, 255}, {1, 2, 3, 100}), AlphaContent::Soft);
    EXPECT_EQ(two(DxgiFormat::A8_Unorm, {255}, {128}), AlphaContent::Soft);
    EXPECT_EQ(two(DxgiFormat::B5G5R5A1_Unorm, {0xff, 0xff}, {0xff, 0x7f}), AlphaContent::CutOut);  // one bit: never soft
    EXPECT_EQ(two(DxgiFormat::B4G4R4A4_Unorm, {0xff, 0xff}, {0xff, 0x8f}), AlphaContent::Soft);
    EXPECT_EQ(two(DxgiFormat::R10G10B10A2_Unorm, {0, 0, 0, 0xc0}, {0, 0, 0, 0x80}), AlphaContent::Soft);  // 2 of 3
    EXPECT_EQ(two(DxgiFormat::R10G10B10A2_Unorm, {0, 0, 0, 0xc0}, {0xff, 0xff, 0xff, 0x3f}), AlphaContent::CutOut);
    EXPECT_EQ(two(DxgiFormat::R16G16B16A16_Unorm, {0, 0, 0, 0, 0, 0, 0xff, 0xff}, {0, 0, 0, 0, 0, 0, 0, 0x80}), AlphaContent::Soft);
    const uint16_t one = Engine::FloatToHalf(1.0f), half = Engine::FloatToHalf(0.5f), zero = Engine::FloatToHalf(0.0f);
    auto halfTexel = [](uint16_t a) { return std::vector<uint8_t>{0, 0, 0, 0, 0, 0, uint8_t(a), uint8_t(a >> 8)}; };
    EXPECT_EQ(two(DxgiFormat::R16G16B16A16_Float, halfTexel(one), halfTexel(half)), AlphaContent::Soft);
    EXPECT_EQ(two(DxgiFormat::R16G16B16A16_Float, halfTexel(one), halfTexel(zero)), AlphaContent::CutOut);
    std::vector<uint8_t> f32(16, 0);
    const float a = 2.0f;  // past 1: opaque
    std::memcpy(&f32[12], &a, 4);
    EXPECT_EQ(two(DxgiFormat::R32G32B32A32_Float, f32, f32), AlphaContent::Opaque);
    // Formats without alpha are opaque whatever their bytes.
    EXPECT_EQ(two(DxgiFormat::R16G16_Unorm, {0, 0, 0x80, 0x80}, {1, 2, 3, 4}), AlphaContent::Opaque);
    EXPECT_EQ(two(DxgiFormat::B8G8R8X8_Unorm, {1, 2, 3, 4}, {1, 2, 3, 4}), AlphaContent::Opaque);
}

// Rows padded past their texels, a second slice and a smaller mip: padding is not read, every
// slice's top mip is, lower mips are not.
TEST(AlphaContent, ReadsTheTopMipOfEverySliceAndNoPadding) {
    std::vector<uint8_t> padded = Repeat({0, 0, 0, 255}, 2);
    padded.insert(padded.end(), {0, 0, 0, 128, 0, 0, 0, 128});  // padding of row 0
    padded.insert(padded.end(), padded.begin(), padded.begin() + 8);
    EXPECT_EQ(Engine::ClassifyDecodedAlpha(Surface(DxgiFormat::R8G8B8A8_Unorm, 2, 2, padded, 16)), AlphaContent::Opaque);

    const std::vector<uint8_t> opaque = Repeat({0, 0, 0, 255}, 4), soft = Repeat({0, 0, 0, 128}, 4), small = Repeat({0, 0, 0, 128}, 1);
    DecodedTexture array = Surface(DxgiFormat::R8G8B8A8_Unorm, 2, 2, opaque, 8);
    array.desc.depthOrArraySize = 2;
    array.desc.mipLevels = 2;
    array.subresources = {{opaque.data(), 8, 16}, {small.data(), 4, 4}, {opaque.data(), 8, 16}, {small.data(), 4, 4}};
    EXPECT_EQ(Engine::ClassifyDecodedAlpha(array), AlphaContent::Opaque);  // only the 1 x 1 mips are soft
    array.subresources[2] = {soft.data(), 8, 16};
    EXPECT_EQ(Engine::ClassifyDecodedAlpha(array), AlphaContent::Soft);
}

std::vector<uint8_t> Bc1(uint16_t c0, uint16_t c1, uint32_t indices) {
    return {uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8),
            uint8_t(indices), uint8_t(indices >> 8), uint8_t(indices >> 16), uint8_t(indices >> 24)};
}

// Alpha half of a BC3 block, the colour half zero.
std::vector<uint8_t> Bc3(uint8_t a0, uint8_t a1, const std::vector<uint8_t>& indices) {
    uint64_t bits = 0;
    for (size_t i = 0; i < indices.size(); ++i) bits |= uint64_t(indices[i] & 7) << (3 * i);
    std::vector<uint8_t> block = {a0, a1};
    for (int i = 0; i < 6; ++i) block.push_back(uint8_t(bits >> (8 * i)));
    block.resize(16, 0);
    return block;
}

std::vector<uint8_t> Alphas(void (*decode)(const uint8_t*, uint8_t*), const std::vector<uint8_t>& block) {
    std::vector<uint8_t> out(16);
    decode(block.data(), out.data());
    return out;
}

TEST(AlphaContent, Bc1Bc2AndBc3BlocksGiveTheirTexelsAlpha) {
    // BC1: four-colour blocks are opaque; a three-colour block's index 3 is transparent.
    EXPECT_EQ(Alphas(Engine::Bc1BlockAlpha, Bc1(0xffff, 0, 0xffffffff)), std::vector<uint8_t>(16, 255));
    auto cut = Alphas(Engine::Bc1BlockAlpha, Bc1(0, 0xffff, 3u << 10));
    EXPECT_EQ(cut[5], 0);
    EXPECT_EQ(cut[4], 255);
    EXPECT_EQ(Classify(DxgiFormat::BC1_Unorm, 4, 4, Bc1(0, 0xffff, 3u << 10)), AlphaContent::CutOut);

    // BC2: explicit four-bit alphas, texel i in bits 4i.
    std::vector<uint8_t> bc2(16, 0xff);
    bc2[3] = 0x8f;  // texel 7 holds 8
    auto explicitAlpha = Alphas(Engine::Bc2BlockAlpha, bc2);
    EXPECT_EQ(explicitAlpha[7], 136);
    EXPECT_EQ(explicitAlpha[6], 255);
    EXPECT_EQ(Classify(DxgiFormat::BC2_Unorm, 4, 4, bc2), AlphaContent::Soft);

    // BC3 with a0 > a1: eight values between the endpoints.
    std::vector<uint8_t> idx(16, 0);
    idx[9] = 1;
    EXPECT_EQ(Classify(DxgiFormat::BC3_Unorm, 4, 4, Bc3(255, 0, idx)), AlphaContent::CutOut);
    idx[10] = 2;
    auto eight = Alphas(Engine::Bc3BlockAlpha, Bc3(255, 0, idx));
    EXPECT_EQ(eight[9], 0);
    EXPECT_EQ(eight[10], 219);  // (6 * 255 + 0) / 7
    EXPECT_EQ(Classify(DxgiFormat::BC3_Unorm, 4, 4, Bc3(255, 0, idx)), AlphaContent::Soft);
    // a0 <= a1: six values, then 0 and 255 outright.
    std::vector<uint8_t> six(16, 7);
    six[0] = 6;
    auto ends = Alphas(Engine::Bc3BlockAlpha, Bc3(40, 200, six));
    EXPECT_EQ(ends[0], 0);
    EXPECT_EQ(ends[1], 255);
    EXPECT_EQ(Classify(DxgiFormat::BC3_Unorm, 4, 4, Bc3(40, 200, six)), AlphaContent::CutOut);
    six[2] = 2;
    EXPECT_EQ(Alphas(Engine::Bc3BlockAlpha, Bc3(40, 200, six))[2], 72);  // (4 * 40 + 200) / 5
}

// A 2 x 2 texture in one block: the texels outside it are padding, whatever they hold.
TEST(AlphaContent, PaddingTexelsOfEdgeBlocksAreNotCounted) {
    std::vector<uint8_t> idx(16, 0);
    idx[2] = idx[8] = idx[15] = 2;  // (2, 0), (0, 2), (3, 3): all outside 2 x 2
    EXPECT_EQ(Classify(DxgiFormat::BC3_Unorm, 2, 2, Bc3(255, 0, idx)), AlphaContent::Opaque);
    idx[5] = 2;  // (1, 1)
    EXPECT_EQ(Classify(DxgiFormat::BC3_Unorm, 2, 2, Bc3(255, 0, idx)), AlphaContent::Soft);
}

// Writes BC7 fields from the lowest bit up.
class Bc7Writer {
public:
    Bc7Writer& Put(uint32_t value, uint32_t bits) {
        for (uint32_t i = 0; i < bits; ++i, ++m_at)
            if ((value >> i) & 1) m_block[m_at / 8] |= uint8_t(1u << (m_at % 8));
        return *this;
    }
    Bc7Writer& Mode(uint32_t mode) { return Put(1u << mode, mode + 1); }
    /// 16 indices of `bits` bits, the first one bit shorter.
    Bc7Writer& Indices(uint32_t bits, const std::vector<uint8_t>& values) {
        for (size_t i = 0; i < 16; ++i) Put(i < values.size() ? values[i] : 0, i == 0 ? bits - 1 : bits);
        return *this;
    }
    std::vector<uint8_t> Block() const {
        EXPECT_EQ(m_at, 128u);
        return std::vector<uint8_t>(m_block, m_block + 16);
    }

private:
    uint8_t m_block[16] = {};
    uint32_t m_at = 0;
};

std::vector<uint8_t> Mode6(uint32_t a0, uint32_t a1, uint32_t p0, uint32_t p1, const std::vector<uint8_t>& indices) {
    Bc7Writer w;
    w.Mode(6);
    for (int i = 0; i < 6; ++i) w.Put(64, 7);  // colour endpoints
    w.Put(a0, 7).Put(a1, 7).Put(p0, 1).Put(p1, 1);
    return w.Indices(4, indices).Block();
}

// Mode 5: 7-bit colour, 8-bit alpha, two 2-bit index sets; `rotation` swaps alpha with a channel.
std::vector<uint8_t> Mode5(uint32_t rotation, uint32_t red, uint32_t a0, uint32_t a1, const std::vector<uint8_t>& colorIdx,
                           const std::vector<uint8_t>& alphaIdx) {
    Bc7Writer w;
    w.Mode(5).Put(rotation, 2).Put(red, 7).Put(red, 7);
    for (int i = 0; i < 4; ++i) w.Put(0, 7);
    w.Put(a0, 8).Put(a1, 8);
    return w.Indices(2, colorIdx).Indices(2, alphaIdx).Block();
}

// Mode 4: 5-bit colour, 6-bit alpha, a 2-bit and a 3-bit index set; index mode 1 gives alpha
// the 2-bit set.
std::vector<uint8_t> Mode4(uint32_t indexMode, const std::vector<uint8_t>& twoBit, const std::vector<uint8_t>& threeBit) {
    Bc7Writer w;
    w.Mode(4).Put(0, 2).Put(indexMode, 1);
    for (int i = 0; i < 6; ++i) w.Put(0, 5);
    w.Put(63, 6).Put(0, 6);
    return w.Indices(2, twoBit).Indices(3, threeBit).Block();
}

std::vector<uint8_t> Mode7(const uint32_t alpha[4], const uint32_t pbits[4]) {
    Bc7Writer w;
    w.Mode(7).Put(13, 6);
    for (int i = 0; i < 12; ++i) w.Put(0, 5);
    for (int i = 0; i < 4; ++i) w.Put(alpha[i], 5);
    for (int i = 0; i < 4; ++i) w.Put(pbits[i], 1);
    return w.Put(0, 30).Block();
}

TEST(AlphaContent, Bc7BlocksOfEveryModeGiveTheirAlpha) {
    // Mode 6: alpha endpoints of seven bits and a p-bit, four-bit indices.
    EXPECT_EQ(Alphas(Engine::Bc7BlockAlpha, Mode6(127, 0, 1, 0, {})), std::vector<uint8_t>(16, 255));
    auto m6 = Alphas(Engine::Bc7BlockAlpha, Mode6(127, 0, 1, 0, {0, 15, 7}));
    EXPECT_EQ(m6[1], 0);
    EXPECT_EQ(m6[2], 135);  // weight 30 of 64 towards 0
    EXPECT_EQ(m6[3], 255);
    EXPECT_EQ(Classify(DxgiFormat::BC7_Unorm, 4, 4, Mode6(127, 0, 1, 0, {0, 15})), AlphaContent::CutOut);

    // Mode 5: the alpha indices pick between 0 and 255; rotated, the alpha is the red channel.
    auto m5 = Alphas(Engine::Bc7BlockAlpha, Mode5(0, 0, 0, 255, {}, {0, 3, 1}));
    EXPECT_EQ(m5[0], 0);
    EXPECT_EQ(m5[1], 255);
    EXPECT_EQ(m5[2], 84);
    EXPECT_EQ(Alphas(Engine::Bc7BlockAlpha, Mode5(1, 127, 0, 0, {}, {0, 3, 1})), std::vector<uint8_t>(16, 255));

    // Mode 4: which index set alpha reads follows the index mode.
    EXPECT_EQ(Alphas(Engine::Bc7BlockAlpha, Mode4(0, {0, 1}, {})), std::vector<uint8_t>(16, 255));
    EXPECT_EQ(Alphas(Engine::Bc7BlockAlpha, Mode4(1, {0, 1}, {}))[1], 171);
    EXPECT_EQ(Alphas(Engine::Bc7BlockAlpha, Mode4(0, {}, {0, 7}))[1], 0);

    // Modes 0 to 3 hold no alpha; a reserved block decodes to zero.
    std::vector<uint8_t> mode1(16, 0xa5);
    mode1[0] = 0x02;
    EXPECT_EQ(Alphas(Engine::Bc7BlockAlpha, mode1), std::vector<uint8_t>(16, 255));
    EXPECT_EQ(Alphas(Engine::Bc7BlockAlpha, std::vector<uint8_t>(16, 0)), std::vector<uint8_t>(16, 0));

    // Mode 7 counts by what its subsets can reach: all opaque, or soft throughout.
    const uint32_t high[4] = {31, 31, 31, 31}, ones[4] = {1, 1, 1, 1}, spread[4] = {31, 31, 0, 31}, mixed[4] = {1, 1, 0, 1};
    EXPECT_EQ(Classify(DxgiFormat::BC7_Unorm, 4, 4, Mode7(high, ones)), AlphaContent::Opaque);
    EXPECT_EQ(Classify(DxgiFormat::BC7_Unorm, 4, 4, Mode7(spread, mixed)), AlphaContent::Soft);
}

// Whole files through the DDS decoder: a DX10 header with BC3, and a legacy DXT1 file.
TEST(AlphaContent, DdsFilesAreClassifiedFromTheirDecodedBlocks) {
    TestSupport::DdsLayout bc3;
    bc3.pfFlags = 0x4;  // four-character code
    bc3.fourCC = 0x30315844;  // "DX10"
    bc3.dx10 = true;
    bc3.dxgiFormat = uint32_t(DxgiFormat::BC3_Unorm);
    std::vector<uint8_t> idx(16, 1);
    idx[6] = 3;
    bc3.pixels = Bc3(255, 0, idx);
    // The decoded subresources point into the file's bytes.
    const std::vector<uint8_t> bc3File = TestSupport::WriteDds(bc3);
    DecodedTexture decoded;
    ASSERT_EQ(Engine::DecodeDDS(bc3File, decoded), Engine::DecodeResult::Ok);
    EXPECT_EQ(Engine::ClassifyDecodedAlpha(decoded), AlphaContent::Soft);

    TestSupport::DdsLayout dxt1;
    dxt1.pfFlags = 0x4;
    dxt1.fourCC = 0x31545844;  // "DXT1"
    dxt1.pixels = Bc1(0, 0xffff, 0xc0000000u);
    const std::vector<uint8_t> dxt1File = TestSupport::WriteDds(dxt1);
    ASSERT_EQ(Engine::DecodeDDS(dxt1File, decoded), Engine::DecodeResult::Ok);
    EXPECT_EQ(Engine::ClassifyDecodedAlpha(decoded), AlphaContent::CutOut);
}

}  // namespace
}  // namespace TavrinTest
