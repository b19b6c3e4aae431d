#include "Engine/TextureLoader/HDRTextureLoader.h"
#include "Engine/TextureLoader/HalfFloat.h"
#include "tests/support/TextureFileWriters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace Engine;
using TestSupport::EncodeRgbeScanline;
using TestSupport::WriteRgbe;

namespace {

std::span<const uint8_t> Span(const std::vector<uint8_t>& v) { return {v.data(), v.size()}; }

// Channel c of pixel i of a decoded R16G16B16A16_FLOAT image.
float Channel(const DecodedTexture& out, size_t i, int c) {
    uint16_t half;
    std::memcpy(&half, &out.pixels[i * 8 + c * 2], 2);
    return HalfToFloat(half);
}

}  // namespace

TEST(HalfFloat, ConvertsAndRoundsToNearestEven) {
    struct Case {
        float value;
        uint16_t half;
    };
    const Case cases[] = {
        {0.0f, 0x0000},       {-0.0f, 0x8000},      {1.0f, 0x3C00},         {-2.0f, 0xC000},
        {0.5f, 0x3800},       {60000.0f, 0x7B53},   {65504.0f, 0x7BFF},     {65520.0f, 0x7C00},
        {1e10f, 0x7C00},      {std::ldexp(1.0f, -24), 0x0001},            {std::ldexp(1.0f, -14), 0x0400},
        {std::ldexp(1.0f, -26), 0x0000},          {1.0f + std::ldexp(1.0f, -11), 0x3C00},  // tie to even
        {1.0f + 3 * std::ldexp(1.0f, -11), 0x3C02},                          // tie to even, upwards
        {std::numeric_limits<float>::infinity(), 0x7C00},
    };
    for (const Case& c : cases) EXPECT_EQ(FloatToHalf(c.value), c.half) << c.value;
    EXPECT_TRUE(std::isnan(HalfToFloat(FloatToHalf(std::numeric_limits<float>::quiet_NaN()))));
    for (uint32_t h = 0; h < 0x7C00; ++h) ASSERT_EQ(FloatToHalf(HalfToFloat(static_cast<uint16_t>(h))), h) << h;
}

TEST(RgbeDecoder, PixelConversion) {
    struct Case {
        uint8_t rgbe[4];
        float expected[4];
    };
    const Case cases[] = {
        {{128, 64, 0, 136}, {128.0f, 64.0f, 0.0f, 1.0f}},
        {{255, 255, 255, 200}, {60000.0f, 60000.0f, 60000.0f, 1.0f}},
        {{10, 20, 30, 0}, {0.0f, 0.0f, 0.0f, 0.0f}},
        {{128, 0, 255, 129}, {1.0f, 0.0f, 255.0f / 128.0f, 1.0f}},
        {{1, 1, 1, 1}, {0.0f, 0.0f, 0.0f, 1.0f}},  // 2^-135 underflows to zero
    };
    for (const Case& c : cases) {
        uint16_t half[4];
        RgbeToHalf(c.rgbe, half);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(HalfToFloat(half[i]), c.expected[i]) << int(c.rgbe[0]) << " channel " << i;
    }
}

TEST(RgbeDecoder, HeaderFieldsAndSize) {
    const std::string header =
        "#?RADIANCE and more\n"
        "# a comment line\n"
        "FORMAT=32-bit_rle_rgbe\n"
        "GAMMA=2.2\n"
        "EXPOSURE= 0.5\n"
        "SOFTWARE=whatever\n"
        "\n"
        "-Y 3 +X 2\n";
    const auto file = WriteRgbe(header, std::vector<uint8_t>(24, 0));
    RgbeHeaderInfo info;
    size_t offset = 0;
    int width = 0, height = 0;
    ASSERT_TRUE(ReadRgbeHeader(Span(file), offset, info, width, height));
    EXPECT_EQ(info.valid, kRgbeValidProgramType | kRgbeValidGamma | kRgbeValidExposure);
    EXPECT_STREQ(info.programType, "RADIANCE");
    EXPECT_FLOAT_EQ(info.gamma, 2.2f);
    EXPECT_FLOAT_EQ(info.exposure, 0.5f);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(offset, header.size());

    // The program type keeps at most 15 characters; CRLF line ends read the same.
    const auto longType = WriteRgbe("#?ABCDEFGHIJKLMNOPQRST\r\n\r\n-Y 1 +X 1\r\n", {});
    ASSERT_TRUE(ReadRgbeHeader(Span(longType), offset, info, width, height));
    EXPECT_STREQ(info.programType, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(info.valid, kRgbeValidProgramType);
    EXPECT_FLOAT_EQ(info.gamma, 1.0f);
}

TEST(RgbeDecoder, BrokenHeadersFail) {
    const char* headers[] = {
        "",                                   // nothing to read
        "#?RADIANCE\n",                       // ends before the empty line
        "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n",
        "#?RADIANCE\n\n",                     // no size line
        "#?RADIANCE\n\n+X 2 -Y 2\n",          // the size line in the other order
        "#?RADIANCE\n\n-Y 2\n",               // only one number
        "#?RADIANCE\n\n-Y 99999999999 +X 2\n",  // out of range
    };
    for (const char* header : headers) {
        const auto file = WriteRgbe(header, std::vector<uint8_t>(64, 0));
        RgbeHeaderInfo info;
        size_t offset = 0;
        int width = 0, height = 0;
        EXPECT_FALSE(ReadRgbeHeader(Span(file), offset, info, width, height)) << header;
        DecodedTexture out;
        EXPECT_NE(DecodeHdr(Span(file), out), DecodeResult::Ok) << header;
        EXPECT_TRUE(out.pixels.empty());
    }
}

TEST(RgbeDecoder, FlatImageWithoutFormatLine) {
    const std::vector<uint8_t> pixels = {128, 64, 0, 136, 255, 255, 255, 200, 0, 0, 0, 0, 128, 128, 128, 129};
    const auto file = WriteRgbe("#?RGBE\n\n-Y 2 +X 2\n", pixels);
    DecodedTexture out;
    ASSERT_EQ(DecodeHdr(Span(file), out), DecodeResult::Ok);
    EXPECT_EQ(out.desc.format, DxgiFormat::R16G16B16A16_Float);
    EXPECT_EQ(out.desc.width, 2u);
    EXPECT_EQ(out.desc.height, 2u);
    EXPECT_EQ(out.desc.mipLevels, 1u);
    EXPECT_FALSE(out.generateMips);
    ASSERT_EQ(out.subresources.size(), 1u);
    EXPECT_EQ(out.subresources[0].rowPitch, 16u);
    EXPECT_EQ(out.subresources[0].slicePitch, 32u);
    const float expected[4][4] = {{128, 64, 0, 1}, {60000, 60000, 60000, 1}, {0, 0, 0, 0}, {1, 1, 1, 1}};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(Channel(out, i, c), expected[i][c]) << i << "," << c;
}

TEST(RgbeDecoder, RunLengthScanlines) {
    // Width 8, two scanlines. Row 0 is hand-encoded: R as one run (136 = 8 copies), G as a
    // run of two (130, 7) plus a literal stretch of six, B as a literal of 8, E as a run.
    std::vector<uint8_t> data = {2, 2, 0, 8};
    data.insert(data.end(), {136, 128});
    data.insert(data.end(), {130, 7, 6, 1, 2, 3, 4, 5, 6});
    data.insert(data.end(), {8, 10, 11, 12, 13, 14, 15, 16, 17});
    data.insert(data.end(), {136, 136});
    // Row 1 comes from the test encoder.
    std::vector<uint8_t> row1(8 * 4);
    for (int i = 0; i < 8; ++i) {
        row1[i * 4 + 0] = static_cast<uint8_t>(i < 4 ? 64 : 32);
        row1[i * 4 + 1] = static_cast<uint8_t>(i * 3);
        row1[i * 4 + 2] = 255;
        row1[i * 4 + 3] = 137;
    }
    const auto encoded = EncodeRgbeScanline(row1);
    data.insert(data.end(), encoded.begin(), encoded.end());

    DecodedTexture out;
    ASSERT_EQ(DecodeHdr(Span(WriteRgbe("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 8\n", data)), out),
              DecodeResult::Ok);
    const float greens[8] = {7, 7, 1, 2, 3, 4, 5, 6};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(Channel(out, i, 0), 128.0f) << i;
        EXPECT_FLOAT_EQ(Channel(out, i, 1), greens[i]) << i;
        EXPECT_FLOAT_EQ(Channel(out, i, 2), 10.0f + i) << i;
        EXPECT_FLOAT_EQ(Channel(out, i, 3), 1.0f) << i;
        EXPECT_FLOAT_EQ(Channel(out, 8 + i, 0), (i < 4 ? 64.0f : 32.0f) * 2) << i;
        EXPECT_FLOAT_EQ(Channel(out, 8 + i, 1), i * 3 * 2.0f) << i;
        EXPECT_FLOAT_EQ(Channel(out, 8 + i, 2), 510.0f) << i;
    }
}

TEST(RgbeDecoder, WideImageWithoutRunLengthHeadsReadsFlat) {
    // Width 8 but the first record is not 2, 2, ...: the whole image is flat records.
    std::vector<uint8_t> data;
    for (int i = 0; i < 16; ++i) data.insert(data.end(), {static_cast<uint8_t>(i), 0, 0, 136});
    DecodedTexture out;
    ASSERT_EQ(DecodeHdr(Span(WriteRgbe("#?RADIANCE\n\n-Y 2 +X 8\n", data)), out), DecodeResult::Ok);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(Channel(out, i, 0), float(i)) << i;

    // A flat record in the second scanline switches to flat reading for the rest.
    std::vector<uint8_t> row0(32, 0);
    for (int i = 0; i < 8; ++i) row0[i * 4 + 3] = 136;
    std::vector<uint8_t> mixed = EncodeRgbeScanline(row0);
    for (int i = 0; i < 8; ++i) mixed.insert(mixed.end(), {static_cast<uint8_t>(i + 1), 0, 0, 136});
    ASSERT_EQ(DecodeHdr(Span(WriteRgbe("#?RADIANCE\n\n-Y 2 +X 8\n", mixed)), out), DecodeResult::Ok);
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(Channel(out, 8 + i, 0), float(i + 1)) << i;
}

TEST(RgbeDecoder, CorruptPixelDataFails) {
    const std::string header = "#?RADIANCE\n\n-Y 1 +X 8\n";
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        bool pad;  // add bytes after the fault so the data is long enough to be parsed at all
    };
    std::vector<uint8_t> goodRow = EncodeRgbeScanline(std::vector<uint8_t>(32, 9));
    std::vector<uint8_t> shortRow(goodRow.begin(), goodRow.end() - 1);
    const Case cases[] = {
        {"count 0", {2, 2, 0, 8, 0, 5}, true},
        {"run longer than the component", {2, 2, 0, 8, 137, 5}, true},
        {"literal longer than the component", {2, 2, 0, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9}, true},
        {"wrong scanline width", {2, 2, 0, 9, 136, 1, 136, 1, 136, 1, 136, 1}, true},
        {"ends inside a scanline", shortRow, false},
        {"no pixel data", {}, false},
    };
    for (const Case& c : cases) {
        DecodedTexture out;
        std::vector<uint8_t> data = c.data;
        if (c.pad) data.resize(data.size() + 16, 1);
        EXPECT_NE(DecodeHdr(Span(WriteRgbe(header, data)), out), DecodeResult::Ok) << c.what;
        EXPECT_TRUE(out.subresources.empty()) << c.what;
    }
    DecodedTexture out;
    EXPECT_EQ(DecodeHdr(Span(WriteRgbe(header, goodRow)), out), DecodeResult::Ok);

    // A flat image one byte short.
    EXPECT_NE(DecodeHdr(Span(WriteRgbe("#?RADIANCE\n\n-Y 2 +X 2\n", std::vector<uint8_t>(15, 1))), out),
              DecodeResult::Ok);
}

TEST(RgbeDecoder, ImpossibleSizesFailBeforeAllocating) {
    struct Case {
        const char* header;
        DecodeResult expected;
    };
    const Case cases[] = {
        {"#?RADIANCE\n\n-Y 0 +X 4\n", DecodeResult::InvalidData},
        {"#?RADIANCE\n\n-Y -3 +X 4\n", DecodeResult::InvalidData},
        {"#?RADIANCE\n\n-Y 16385 +X 4\n", DecodeResult::NotSupported},
        {"#?RADIANCE\n\n-Y 16384 +X 16384\n", DecodeResult::EndOfFile},  // 34 bytes cannot hold it
    };
    for (const Case& c : cases) {
        DecodedTexture out;
        EXPECT_EQ(DecodeHdr(Span(WriteRgbe(c.header, std::vector<uint8_t>(34, 2))), out), c.expected) << c.header;
    }
}
