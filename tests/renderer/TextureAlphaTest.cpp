#include <gtest/gtest.h>

#include <vector>

#include "renderer/TextureAlpha.h"
#include "tests/support/TextureFileWriters.h"

namespace RendererTest {
namespace {

using ProjectTavrin::ClassifyAlpha;
using ProjectTavrin::MayHaveAlpha;
using ProjectTavrin::TextureAlpha;

std::vector<uint8_t> Texels(const std::vector<uint8_t>& alphas) {
    std::vector<uint8_t> rgba;
    for (uint8_t a : alphas) rgba.insert(rgba.end(), {10, 20, 30, a});
    return rgba;
}

TEST(TextureAlpha, ClassifiesOpaqueCutOutAndSoft) {
    EXPECT_EQ(ClassifyAlpha(Texels({255, 255, 250, 255})), TextureAlpha::Opaque);  // within the tolerance
    EXPECT_EQ(ClassifyAlpha(Texels({255, 0, 3, 255})), TextureAlpha::CutOut);
    EXPECT_EQ(ClassifyAlpha(Texels({255, 0, 128, 255})), TextureAlpha::Soft);
    EXPECT_EQ(ClassifyAlpha(Texels({250, 250, 250, 250})), TextureAlpha::Opaque);
    EXPECT_EQ(ClassifyAlpha(Texels({240, 255})), TextureAlpha::Soft);  // 0.94: glass, overlays
    EXPECT_EQ(ClassifyAlpha({}), TextureAlpha::Opaque);
    // A lone soft texel among thousands (an edge of a cut-out) does not make the texture soft.
    std::vector<uint8_t> alphas(4000, 255);
    alphas[0] = 0;
    alphas[1] = 128;
    EXPECT_EQ(ClassifyAlpha(Texels(alphas)), TextureAlpha::CutOut);
    alphas[2] = alphas[3] = alphas[4] = alphas[5] = 128;
    EXPECT_EQ(ClassifyAlpha(Texels(alphas)), TextureAlpha::Soft);
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

TEST(TextureAlpha, HeaderTellsWhichFilesNeedDecoding) {
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

}  // namespace
}  // namespace RendererTest
