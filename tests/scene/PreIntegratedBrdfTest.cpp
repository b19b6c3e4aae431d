// The embedded lighting tables decode to their sizes and hold what the shaders expect of them:
// the split-sum terms of a GGX specular and the scattered diffuse of skin.
#include "assets/PreIntegratedBrdf.h"

#include <cmath>
#include <span>

#include <gtest/gtest.h>

#include "Engine/TextureLoader/ImageDecoder.h"

namespace {

struct Table {
    Engine::DecodedTexture decoded;
    int side = 0;
    // Channel c of texel (x, y) as a value in [0, 1] (the decoder gives RGBA8).
    double At(int x, int y, int c) const {
        const auto* pixels = static_cast<const uint8_t*>(decoded.subresources.at(0).data);
        return pixels[(size_t(y) * side + x) * 4 + c] / 255.0;
    }
};

Table Decode(const unsigned char* png, size_t size, int side) {
    Table table;
    table.side = side;
    const char* failure = nullptr;
    const auto result = Engine::DecodeImage(std::span<const uint8_t>(png, size), table.decoded, &failure);
    EXPECT_EQ(result, Engine::DecodeResult::Ok) << (failure ? failure : "");
    return table;
}

constexpr double kByte = 1.0 / 255.0;

TEST(PreIntegratedBrdf, IblTableIsTheSplitSumOfGgx) {
    const Table t = Decode(Assets::kPreIntegratedBrdfIblPng, Assets::kPreIntegratedBrdfIblPngSize, 400);
    ASSERT_EQ(t.decoded.desc.width, 400u);
    ASSERT_EQ(t.decoded.desc.height, 400u);

    // A mirror loses no energy: scale + bias = 1 at every angle but the most grazing.
    for (int x = 40; x < 400; x += 40) EXPECT_NEAR(t.At(x, 0, 0) + t.At(x, 0, 1), 1.0, 2 * kByte) << "N.V column " << x;
    // Seen head-on a mirror reflects F0 alone; at grazing angles Fresnel takes it to 1.
    EXPECT_NEAR(t.At(399, 0, 0), 1.0, kByte);
    EXPECT_NEAR(t.At(399, 0, 1), 0.0, kByte);
    EXPECT_GT(t.At(0, 0, 1), 0.9);

    // Rough surfaces lose energy to shadowing and masking (single scattering only), more the
    // rougher they are; head-on, a fully rough surface keeps about 0.31 of it.
    double previous = 2.0;
    for (int y = 0; y < 400; y += 50) {
        const double total = t.At(200, y, 0) + t.At(200, y, 1);
        EXPECT_LE(total, previous + kByte) << "roughness row " << y;
        previous = total;
    }
    const double roughHeadOn = t.At(399, 399, 0) + t.At(399, 399, 1);
    EXPECT_NEAR(roughHeadOn, 0.31, 4 * kByte);
    // Half way (roughness 0.5, perceptual) a surface still keeps about 0.92.
    EXPECT_NEAR(t.At(399, 200, 0) + t.At(399, 200, 1), 0.92, 4 * kByte);
}

TEST(PreIntegratedBrdf, IblTableThirdChannelIsTheSheenAlbedo) {
    const Table t = Decode(Assets::kPreIntegratedBrdfIblPng, Assets::kPreIntegratedBrdfIblPngSize, 400);
    // A sheen lobe reflects towards grazing angles: more at grazing view than head-on, at every
    // roughness.
    for (int y = 40; y < 400; y += 40) EXPECT_GT(t.At(20, y, 2), t.At(399, y, 2)) << "roughness row " << y;
    // A fine sheen (low roughness) seen head-on sends its light into the surface: nothing comes
    // back; a coarse one (roughness 1) returns some.
    EXPECT_LT(t.At(399, 40, 2), 2 * kByte);
    EXPECT_GT(t.At(399, 399, 2), 0.05);
    EXPECT_LT(t.At(399, 399, 2), 0.5);
    // The decoder fills alpha for an RGB image.
    EXPECT_EQ(t.At(10, 10, 3), 1.0);
}

TEST(PreIntegratedBrdf, SkinTableIsLambertOnFlatSkinAndWrapsLightOnCurvedSkin) {
    const Table t = Decode(Assets::kPreIntegratedBrdfSkinPng, Assets::kPreIntegratedBrdfSkinPngSize, 450);
    ASSERT_EQ(t.decoded.desc.width, 450u);
    ASSERT_EQ(t.decoded.desc.height, 450u);
    const auto nl = [](int x) { return 2.0 * (x + 0.5) / 450.0 - 1.0; };

    // Row 0 stands for a radius of almost 1 m: no visible scattering, every channel is Lambert.
    for (int x = 0; x < 450; x += 15)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(t.At(x, 0, c), std::max(nl(x), 0.0), 2 * kByte) << x << " ch " << c;

    // The most curved row: light reaches past the terminator, red furthest (it scatters widest
    // under the skin), blue least.
    const int terminator = 225;  // N.L just above 0
    const double r = t.At(terminator, 449, 0), g = t.At(terminator, 449, 1), b = t.At(terminator, 449, 2);
    EXPECT_GT(r, g);
    EXPECT_GT(g, b);
    EXPECT_GT(b, nl(terminator) + 2 * kByte);
    const int shadowed = 157;  // N.L about -0.3
    EXPECT_GT(t.At(shadowed, 449, 0), 4 * kByte);
    // What wraps into the shadow comes out of the lit side: head-on light gives less than 1.
    EXPECT_LT(t.At(449, 449, 0), 1.0 - 2 * kByte);
    EXPECT_GT(t.At(449, 449, 0), 0.8);
    // Scattering grows with curvature.
    EXPECT_GT(t.At(terminator, 449, 0), t.At(terminator, 100, 0));
    EXPECT_EQ(t.At(300, 300, 3), 1.0);
}

}  // namespace
