#include "Engine/TextureLoader/ImageDecoder.h"
#include "Engine/TextureLoader/TextureFileType.h"
#include "Engine/TextureLoader/TexturePath.h"
#include "assets/BlankTexture.h"
#include "tests/support/TextureFileWriters.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Engine;

namespace {

// A 5 x 3 image with a distinct colour and alpha in every pixel.
std::vector<uint8_t> TestPixels(int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(40 * x);
            p[1] = static_cast<uint8_t>(60 * y);
            p[2] = static_cast<uint8_t>(200 - 10 * (x + y));
            p[3] = static_cast<uint8_t>(255 - 7 * (x * height + y));
        }
    return rgba;
}

std::span<const uint8_t> Span(const std::vector<uint8_t>& v) { return {v.data(), v.size()}; }

void ExpectRgba8Texture(const DecodedTexture& out, uint32_t width, uint32_t height) {
    EXPECT_EQ(out.desc.dimension, TextureDimension::Texture2D);
    EXPECT_EQ(out.desc.format, DxgiFormat::R8G8B8A8_Unorm);
    EXPECT_EQ(out.desc.width, width);
    EXPECT_EQ(out.desc.height, height);
    EXPECT_EQ(out.desc.depthOrArraySize, 1u);
    EXPECT_TRUE(out.generateMips);
    ASSERT_EQ(out.subresources.size(), 1u);
    EXPECT_EQ(out.subresources[0].rowPitch, width * 4u);
    EXPECT_EQ(out.subresources[0].slicePitch, width * 4u * height);
    EXPECT_EQ(out.subresources[0].data, out.pixels.data());
}

}  // namespace

TEST(TextureFileType, ExtensionDecidesTheDecoder) {
    struct Case {
        const char* path;
        TextureFileType expected;
    };
    const Case cases[] = {
        {"tex/body.dds", TextureFileType::Dds},   {"tex/BODY.DDS", TextureFileType::Dds},
        {"face.tga", TextureFileType::Tga},       {"face.TgA", TextureFileType::Tga},
        {"grade.cube", TextureFileType::Cube},    {"sky.HDR", TextureFileType::Hdr},
        {"hair.png", TextureFileType::Other},     {"hair.PNG", TextureFileType::Other},
        {"noextension", TextureFileType::Other},  {"dir.dds/file", TextureFileType::Other},
        {"archive.tga.png", TextureFileType::Other}, {"image.png.tga", TextureFileType::Tga},
        {"trailingdot.", TextureFileType::Other}, {"", TextureFileType::Other},
    };
    for (const Case& c : cases) EXPECT_EQ(GetTextureFileType(c.path), c.expected) << c.path;
}

TEST(TexturePath, JoinsModelDirectoryAndName) {
    struct Case {
        const char* directory;
        const char16_t* name;
        const char* expected;
    };
    const Case cases[] = {
        {"/models/miku", u"tex\\body.png", "/models/miku/tex/body.png"},
        {"/models/miku/", u"./face.png", "/models/miku/face.png"},
        {"/models/miku", u"sub/dir/", "/models/miku/sub/dir"},
        {"/models/miku", u"hair.png   ", "/models/miku/hair.png"},
        {"", u"toon01.bmp", "toon01.bmp"},
        {"/models/miku", u"", "/models/miku"},
        {"/models/miku", u"\u9854.png", "/models/miku/\xE9\xA1\x94.png"},
        {"/models/miku", u"../shared/Eye.PNG", "/models/miku/../shared/Eye.PNG"},
    };
    for (const Case& c : cases) EXPECT_EQ(MakeTexturePath(c.directory, c.name).native(), c.expected) << c.expected;
}

TEST(ImageDecoder, LosslessFormatsKeepEveryPixel) {
    const int w = 5, h = 3;
    const auto pixels = TestPixels(w, h);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        bool tga;
    };
    const Case cases[] = {
        {"PNG", TestSupport::EncodePng(w, h, pixels), false},
        {"BMP", TestSupport::EncodeBmp(w, h, pixels), false},
        {"TGA", TestSupport::EncodeTga(w, h, pixels, false), true},
        {"run-length TGA", TestSupport::EncodeTga(w, h, pixels, true), true},
    };
    for (const Case& c : cases) {
        DecodedTexture out;
        const DecodeResult result = c.tga ? DecodeTga(Span(c.file), out) : DecodeImage(Span(c.file), out);
        ASSERT_EQ(result, DecodeResult::Ok) << c.what;
        ExpectRgba8Texture(out, w, h);
        EXPECT_EQ(out.pixels, pixels) << c.what;
    }
}

TEST(ImageDecoder, JpegDecodesCloseToTheSource) {
    const int w = 16, h = 16;
    std::vector<uint8_t> pixels(w * h * 4);
    for (int i = 0; i < w * h; ++i) {
        pixels[i * 4 + 0] = 200;
        pixels[i * 4 + 1] = 100;
        pixels[i * 4 + 2] = 50;
        pixels[i * 4 + 3] = 255;
    }
    const auto file = TestSupport::EncodeJpeg(w, h, pixels);
    DecodedTexture out;
    ASSERT_EQ(DecodeImage(Span(file), out), DecodeResult::Ok);
    ExpectRgba8Texture(out, w, h);
    for (int i = 0; i < w * h * 4; ++i) EXPECT_NEAR(out.pixels[i], pixels[i], 4) << i;
}

TEST(ImageDecoder, OneByOneTgaHasASingleMip) {
    const std::vector<uint8_t> pixel = {1, 2, 3, 4};
    DecodedTexture out;
    ASSERT_EQ(DecodeTga(Span(TestSupport::EncodeTga(1, 1, pixel, false)), out), DecodeResult::Ok);
    ExpectRgba8Texture(out, 1, 1);
    EXPECT_EQ(out.pixels, pixel);
    EXPECT_EQ(FullMipCount(out.desc.width, out.desc.height), 1u);
}

TEST(ImageDecoder, RejectsWhatItCannotRead) {
    const std::vector<uint8_t> garbage = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    const auto png = TestSupport::EncodePng(2, 2, TestPixels(2, 2));
    std::vector<uint8_t> truncatedPng(png.begin(), png.begin() + png.size() / 2);
    DecodedTexture out;
    const char* failure = nullptr;
    EXPECT_EQ(DecodeImage(Span(garbage), out, &failure), DecodeResult::NotSupported);
    EXPECT_NE(failure, nullptr);
    EXPECT_TRUE(out.subresources.empty());
    EXPECT_EQ(DecodeImage(Span(truncatedPng), out), DecodeResult::NotSupported);
    EXPECT_EQ(DecodeImage(std::span<const uint8_t>(png.data(), 0), out), DecodeResult::Fail);
    EXPECT_EQ(DecodeImage(std::span<const uint8_t>(), out), DecodeResult::Fail);
    // The TGA path reads TGA only.
    EXPECT_EQ(DecodeTga(Span(png), out), DecodeResult::Fail);
    EXPECT_TRUE(out.pixels.empty());
}

TEST(ImageDecoder, FitImageSizeKeepsTheAspectRatio) {
    struct Case {
        uint32_t width, height, expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {20000, 10000, 16384, 8192}, {10000, 20000, 8192, 16384}, {16384, 16384, 16384, 16384},
        {16385, 16385, 16384, 16384}, {40000, 1, 16384, 1},       {1, 40000, 1, 16384},
        {300, 200, 300, 200},         {30000, 16384, 16384, 8947},
    };
    for (const Case& c : cases) {
        uint32_t w = 0, h = 0;
        FitImageSize(c.width, c.height, kMaxImageSide, w, h);
        EXPECT_EQ(w, c.expectedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(h, c.expectedHeight) << c.width << "x" << c.height;
    }
    EXPECT_EQ(FullMipCount(16384, 8192), 15u);
    EXPECT_EQ(FullMipCount(5, 3), 3u);
    EXPECT_EQ(FullMipCount(1, 1), 1u);
}

TEST(ImageDecoder, OversizedImagesAreScaledDownToFit) {
    // A 40 x 20 image against a limit of 16 stands for a 20000 x 10000 one against 16384.
    const int w = 40, h = 20;
    std::vector<uint8_t> pixels(w * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &pixels[(y * w + x) * 4];
            p[0] = x < w / 2 ? 255 : 0;  // red left half, blue right half
            p[2] = x < w / 2 ? 0 : 255;
            p[1] = 0;
            p[3] = 255;
        }
    DecodedTexture out;
    ASSERT_EQ(DecodeImage(Span(TestSupport::EncodePng(w, h, pixels)), out, nullptr, 16), DecodeResult::Ok);
    ExpectRgba8Texture(out, 16, 8);
    for (int y = 0; y < 8; ++y) {
        const uint8_t* row = &out.pixels[y * 16 * 4];
        EXPECT_EQ(row[0], 255);          // left column red
        EXPECT_EQ(row[2], 0);
        EXPECT_EQ(row[15 * 4 + 2], 255);  // right column blue
        EXPECT_EQ(row[15 * 4 + 0], 0);
        EXPECT_EQ(row[7 * 4 + 0], 255);   // columns 7 and 8 sit on either side of the edge
        EXPECT_EQ(row[8 * 4 + 2], 255);
        for (int x = 0; x < 16; ++x) EXPECT_EQ(row[x * 4 + 3], 255);
    }
}

TEST(ImageDecoder, ResampleAveragesTheCoveredArea) {
    // 4 x 1 to 2 x 1: each target texel is the mean of two source texels.
    const std::vector<uint8_t> src = {0, 10, 20, 255, 100, 30, 40, 255, 200, 0, 0, 0, 50, 0, 0, 100};
    std::vector<uint8_t> dst(8);
    ResampleRgba8(src.data(), 4, 1, dst.data(), 2, 1);
    EXPECT_EQ(dst, (std::vector<uint8_t>{50, 20, 30, 255, 125, 0, 0, 50}));

    // 3 x 3 to 2 x 2: the middle texel is split between both target texels on each axis.
    std::vector<uint8_t> grid(9 * 4, 0);
    grid[4 * 4] = 90;  // centre red
    std::vector<uint8_t> small(4 * 4);
    ResampleRgba8(grid.data(), 3, 3, small.data(), 2, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(small[i * 4], 10) << i;  // 90 × (0.5 / 1.5)²
}

TEST(ImageDecoder, BlankTextureIsSixteenSquareOpaqueBlack) {
    DecodedTexture out;
    ASSERT_EQ(DecodeImage(std::span<const uint8_t>(Assets::kBlankTexturePng, Assets::kBlankTexturePngSize), out),
              DecodeResult::Ok);
    ExpectRgba8Texture(out, 16, 16);
    for (size_t i = 0; i < out.pixels.size(); i += 4) {
        EXPECT_EQ(out.pixels[i], 0);
        EXPECT_EQ(out.pixels[i + 1], 0);
        EXPECT_EQ(out.pixels[i + 2], 0);
        EXPECT_EQ(out.pixels[i + 3], 255);
    }
}
