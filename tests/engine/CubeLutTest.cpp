#include "Engine/TextureLoader/CubeLut.h"
#include "assets/SampleColorFilterLut.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace Engine;

namespace {

// A valid 2³ table whose entry k is (k, k + 0.25, k + 0.5) / 10.
std::string TableRows(int count) {
    std::string rows;
    for (int k = 0; k < count; ++k) {
        char line[64];
        std::snprintf(line, sizeof(line), "%.3f %.3f %.3f\n", k / 10.0, (k + 0.25) / 10.0, (k + 0.5) / 10.0);
        rows += line;
    }
    return rows;
}

}  // namespace

TEST(CubeLut, StatusCodes) {
    const std::string rows8 = TableRows(8);
    struct Case {
        const char* what;
        std::string text;
        CubeLutStatus expected;
    };
    const Case cases[] = {
        {"minimal table", "LUT_3D_SIZE 2\n" + rows8, CubeLutStatus::Ok},
        {"every keyword", "TITLE \"Warm\"\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 2 3\nLUT_3D_SIZE 2\n" + rows8, CubeLutStatus::Ok},
        {"no final newline", "LUT_3D_SIZE 2\n" + rows8.substr(0, rows8.size() - 1), CubeLutStatus::Ok},
        {"empty text", "", CubeLutStatus::PrematureEndOfFile},
        {"header only", "LUT_3D_SIZE 2\n", CubeLutStatus::PrematureEndOfFile},
        {"table one row short", "LUT_3D_SIZE 2\n" + TableRows(7), CubeLutStatus::PrematureEndOfFile},
        {"size 256 is accepted (the short table is what fails)", "LUT_3D_SIZE 256\n" + rows8,
         CubeLutStatus::PrematureEndOfFile},
        {"repeated title", "TITLE \"a\"\nTITLE \"b\"\nLUT_3D_SIZE 2\n" + rows8, CubeLutStatus::UnknownOrRepeatedKeyword},
        {"repeated size", "LUT_3D_SIZE 2\nLUT_3D_SIZE 2\n" + rows8, CubeLutStatus::UnknownOrRepeatedKeyword},
        {"1D table keyword", "LUT_1D_SIZE 2\n" + rows8, CubeLutStatus::UnknownOrRepeatedKeyword},
        {"unknown keyword", "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0 1\n" + rows8, CubeLutStatus::UnknownOrRepeatedKeyword},
        {"title without quotes", "TITLE Warm\nLUT_3D_SIZE 2\n" + rows8, CubeLutStatus::TitleMissingQuote},
        {"domain max below min on green", "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 0 1\nLUT_3D_SIZE 2\n" + rows8,
         CubeLutStatus::DomainBoundsReversed},
        {"size 1", "LUT_3D_SIZE 1\n" + rows8, CubeLutStatus::LutSizeOutOfRange},
        {"size 257", "LUT_3D_SIZE 257\n" + rows8, CubeLutStatus::LutSizeOutOfRange},
        {"size not a number", "LUT_3D_SIZE big\n" + rows8, CubeLutStatus::LutSizeOutOfRange},
        {"no size", "TITLE \"x\"\n" + rows8, CubeLutStatus::LutSizeOutOfRange},
        {"domain with two numbers", "DOMAIN_MIN 0 0\nLUT_3D_SIZE 2\n" + rows8, CubeLutStatus::ReadError},
        {"last row holds two numbers", "LUT_3D_SIZE 2\n" + TableRows(7) + "0.5 0.5\n", CubeLutStatus::CouldNotParseTableData},
        {"a row with a word", "LUT_3D_SIZE 2\n" + TableRows(3) + "0.5 red 0.5\n" + TableRows(4),
         CubeLutStatus::CouldNotParseTableData},
        {"infinite value", "LUT_3D_SIZE 2\n" + TableRows(7) + "0.5 1e99 0.5\n", CubeLutStatus::CouldNotParseTableData},
        {"NUL ends the text", std::string("LUT_3D_SIZE 2\n") + '\0' + rows8, CubeLutStatus::PrematureEndOfFile},
    };
    for (const Case& c : cases) {
        CubeLut lut;
        EXPECT_EQ(ParseCubeLut(c.text, lut), c.expected) << c.what;
        if (c.expected != CubeLutStatus::Ok) {
            EXPECT_TRUE(lut.table.empty()) << c.what;
        }
    }
}

TEST(CubeLut, CommentsBlankLinesAndWindowsLineEnds) {
    const std::string text =
        "# graded by hand\r\n"
        "TITLE \"Soft \"\"\r\n"
        "\r\n"
        "LUT_3D_SIZE 2\r\n"
        "# first rows\r\n"
        "0 0 0\r\n"
        "\r\n"
        "1 0 0\r\n"
        "# middle\n"
        "0 1 0\n"
        "\n"
        "1 1 0\r\n"
        "0 0 1\r\n"
        "1 0 1\r\n"
        "0 1 1\r\n"
        "1 1 1   trailing words are ignored\r\n";
    CubeLut lut;
    ASSERT_EQ(ParseCubeLut(text, lut), CubeLutStatus::Ok);
    EXPECT_EQ(lut.title, "Soft ");
    EXPECT_EQ(lut.size, 2);
    ASSERT_EQ(lut.table.size(), 24u);
    // Entry k = r + 2g + 4b holds (r, g, b) for this identity table.
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(lut.table[k * 3 + 0], float(k & 1)) << k;
        EXPECT_EQ(lut.table[k * 3 + 1], float((k >> 1) & 1)) << k;
        EXPECT_EQ(lut.table[k * 3 + 2], float((k >> 2) & 1)) << k;
    }
}

TEST(CubeLut, TextureLayoutHasRedFastest) {
    // 3³ table whose entry k holds (k, -k, 2k).
    std::string text = "LUT_3D_SIZE 3\n";
    for (int k = 0; k < 27; ++k) text += std::to_string(k) + " " + std::to_string(-k) + " " + std::to_string(2 * k) + "\n";
    DecodedTexture out;
    ASSERT_EQ(DecodeCubeLut(text, out), CubeLutStatus::Ok);
    EXPECT_EQ(out.desc.dimension, TextureDimension::Texture3D);
    EXPECT_EQ(out.desc.format, DxgiFormat::R32G32B32_Float);
    EXPECT_EQ(out.desc.width, 3u);
    EXPECT_EQ(out.desc.height, 3u);
    EXPECT_EQ(out.desc.depthOrArraySize, 3u);
    EXPECT_EQ(out.desc.mipLevels, 1u);
    ASSERT_EQ(out.subresources.size(), 1u);
    const DecodedSubresource& s = out.subresources[0];
    EXPECT_EQ(s.rowPitch, 36u);
    EXPECT_EQ(s.slicePitch, 108u);
    for (int z = 0; z < 3; ++z)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                float texel[3];
                std::memcpy(texel, s.data + z * s.slicePitch + y * s.rowPitch + x * 12, 12);
                const int k = x + 3 * y + 9 * z;
                EXPECT_EQ(texel[0], float(k));
                EXPECT_EQ(texel[1], float(-k));
                EXPECT_EQ(texel[2], float(2 * k));
            }

    EXPECT_EQ(DecodeCubeLut("LUT_3D_SIZE 1\n0 0 0\n", out), CubeLutStatus::LutSizeOutOfRange);
    EXPECT_TRUE(out.subresources.empty());
}

TEST(CubeLut, SampleTable) {
    const std::string_view text(Assets::kSampleColorFilterLut, Assets::kSampleColorFilterLutSize);
    EXPECT_EQ(text.size(), 103231u);
    EXPECT_EQ(std::strlen(Assets::kSampleColorFilterLut), text.size());
    EXPECT_EQ(text.substr(text.find('\n') + 1, 15), "LUT_3D_SIZE 17\n");

    DecodedTexture out;
    ASSERT_EQ(DecodeCubeLut(Assets::kSampleColorFilterLut, out), CubeLutStatus::Ok);
    EXPECT_EQ(out.desc.width, 17u);
    EXPECT_EQ(out.desc.height, 17u);
    EXPECT_EQ(out.desc.depthOrArraySize, 17u);
    float first[3], last[3];
    std::memcpy(first, out.pixels.data(), 12);
    std::memcpy(last, out.pixels.data() + out.pixels.size() - 12, 12);
    EXPECT_FLOAT_EQ(first[0], 0.0275f);
    EXPECT_FLOAT_EQ(first[1], 0.0314f);
    EXPECT_FLOAT_EQ(first[2], 0.0353f);
    EXPECT_FLOAT_EQ(last[0], 0.9608f);
    EXPECT_FLOAT_EQ(last[1], 0.9765f);
    EXPECT_FLOAT_EQ(last[2], 0.9765f);

    // A colour grade keeps the grey axis in order and every value inside 0 .. 1.
    const auto* table = reinterpret_cast<const float*>(out.pixels.data());
    float previous = -1.0f;
    for (int i = 0; i < 17; ++i) {
        const float* grey = table + (i + 17 * i + 289 * i) * 3;
        EXPECT_GT(grey[0] + grey[1] + grey[2], previous) << i;
        previous = grey[0] + grey[1] + grey[2];
    }
    for (size_t i = 0; i < 17 * 17 * 17 * 3; ++i) {
        EXPECT_GE(table[i], 0.0f);
        EXPECT_LE(table[i], 1.0f);
    }
}
