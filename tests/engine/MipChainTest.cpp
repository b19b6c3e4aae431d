// The mip chain built on the CPU for decoded 8-bit images: every level down to 1 x 1, each an
// overlap-weighted average of the level above (plain 2 x 2 averages for even sizes, every texel's
// share kept for odd ones), mip 0 unchanged, and images it does not take left alone.
#include "Engine/TextureLoader/MipChain.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Engine::BuildMipChain;
using Engine::DecodedTexture;
using Engine::DxgiFormat;

DecodedTexture Image(uint32_t width, uint32_t height, std::vector<uint8_t> rgba) {
    DecodedTexture d;
    d.desc.dimension = Engine::TextureDimension::Texture2D;
    d.desc.width = width;
    d.desc.height = height;
    d.desc.depthOrArraySize = 1;
    d.desc.mipLevels = 1;
    d.desc.format = DxgiFormat::R8G8B8A8_Unorm;
    d.generateMips = true;
    d.pixels = std::move(rgba);
    d.subresources = {{d.pixels.data(), uint64_t(width) * 4, uint64_t(width) * height * 4}};
    return d;
}

std::vector<uint8_t> Texels(const DecodedTexture& d, size_t mip) {
    const auto& s = d.subresources.at(mip);
    return std::vector<uint8_t>(s.data, s.data + s.slicePitch);
}

TEST(MipChain, EvenSizesHalveByTwoByTwoAveragesDownToOneTexel) {
    // 4 x 2: red ramps along x, green along y, blue constant, alpha opaque.
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) rgba.insert(rgba.end(), {uint8_t(x * 40), uint8_t(y * 100), 7, 255});
    DecodedTexture d = Image(4, 2, rgba);
    ASSERT_TRUE(BuildMipChain(d));
    EXPECT_FALSE(d.generateMips);
    ASSERT_EQ(d.desc.mipLevels, 3u);  // 4x2, 2x1, 1x1
    ASSERT_EQ(d.subresources.size(), 3u);
    EXPECT_EQ(Texels(d, 0), rgba);
    EXPECT_EQ(d.subresources[1].rowPitch, 8u);
    // (0 + 40 + 0 + 40) / 4 = 20, (80 + 120) * 2 / 4 = 100; green (0 + 0 + 100 + 100) / 4 = 50.
    EXPECT_EQ(Texels(d, 1), (std::vector<uint8_t>{20, 50, 7, 255, 100, 50, 7, 255}));
    EXPECT_EQ(Texels(d, 2), (std::vector<uint8_t>{60, 50, 7, 255}));
}

TEST(MipChain, OddSizesWeighEveryTexelByItsOverlap) {
    // 5 x 1 -> 2 x 1 -> 1 x 1: each target texel covers two and a half source texels.
    DecodedTexture d = Image(5, 1, {0, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0});
    ASSERT_TRUE(BuildMipChain(d));
    ASSERT_EQ(d.desc.mipLevels, 3u);
    // (0 + 10 + 20 / 2) / 2.5 = 8, (20 / 2 + 30 + 40) / 2.5 = 32.
    EXPECT_EQ(Texels(d, 1)[0], 8);
    EXPECT_EQ(Texels(d, 1)[4], 32);
    EXPECT_EQ(Texels(d, 2)[0], 20);
    // 3 x 3 -> 1 x 1: the plain mean of all nine.
    std::vector<uint8_t> nine;
    for (int i = 0; i < 9; ++i) nine.insert(nine.end(), {uint8_t(i * 10), 0, 0, 255});
    DecodedTexture square = Image(3, 3, nine);
    ASSERT_TRUE(BuildMipChain(square));
    ASSERT_EQ(square.desc.mipLevels, 2u);
    EXPECT_EQ(Texels(square, 1), (std::vector<uint8_t>{40, 0, 0, 255}));
}

TEST(MipChain, PaddedRowsAreReadAtTheirPitch) {
    // Rows 12 bytes apart for a 2-texel width: the padding must not leak into the chain.
    std::vector<uint8_t> padded = {10, 10, 10, 10, 30, 30, 30, 30, 99, 99, 99, 99,
                                   50, 50, 50, 50, 70, 70, 70, 70, 99, 99, 99, 99};
    DecodedTexture d = Image(2, 2, padded);
    d.subresources[0].rowPitch = 12;
    ASSERT_TRUE(BuildMipChain(d));
    EXPECT_EQ(Texels(d, 0), (std::vector<uint8_t>{10, 10, 10, 10, 30, 30, 30, 30, 50, 50, 50, 50, 70, 70, 70, 70}));
    EXPECT_EQ(Texels(d, 1), (std::vector<uint8_t>{40, 40, 40, 40}));
}

TEST(MipChain, OtherShapesAndFormatsAreLeftToTheGpu) {
    DecodedTexture srgb = Image(2, 2, std::vector<uint8_t>(16, 1));
    srgb.desc.format = DxgiFormat::R8G8B8A8_Unorm_Srgb;
    DecodedTexture array = Image(2, 2, std::vector<uint8_t>(16, 1));
    array.desc.depthOrArraySize = 2;
    DecodedTexture fixed = Image(2, 2, std::vector<uint8_t>(16, 1));
    fixed.generateMips = false;
    for (DecodedTexture* d : {&srgb, &array, &fixed}) {
        EXPECT_FALSE(BuildMipChain(*d));
        EXPECT_EQ(d->desc.mipLevels, 1u);
        EXPECT_EQ(d->subresources.size(), 1u);
    }
}

}  // namespace
