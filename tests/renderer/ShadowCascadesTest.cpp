// The cascade fit on the CPU: where the cascades split the range, where their light cameras
// stand, that the receivers' path (global matrix, offset, scale) lands every point of a slice in
// its cascade's texture box, that the texel grid holds still under small camera moves, and what
// happens with a sun that gives no direction.
#include <gtest/gtest.h>

#include <cmath>

#include "renderer/ShadowCascades.h"
#include "renderer/passes/ShadowPass.h"

namespace RendererTest {
namespace {

using namespace ProjectTavrin;
using Math::mat4;
using Math::vec3;

mat4 CameraViewProjection(vec3 eye, vec3 focus, float aspect = 16.0f / 9.0f) {
    return Math::LookAtRH(eye, focus, {0, 1, 0}) * Math::PerspectiveFovRH(0.7f, aspect, 1.0f, 16384.0f);
}

constexpr mat4 kTextureScaleBias(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1);

TEST(ShadowCascades, SplitsCoverTheFirstHalfOfTheRangeBetweenLogarithmicAndUniform) {
    const auto two = CascadeSplitFractions(2, 512.0f);
    EXPECT_NEAR(two[0], 0.07351f, 2e-5f);
    EXPECT_FLOAT_EQ(two[1], 0.5f);
    EXPECT_EQ(two[2], 0.0f);
    EXPECT_FLOAT_EQ(CascadeSplitFractions(1, 512.0f)[0], 0.5f);
    // Four cascades: p = 1/4 gives 0.8 (256.5^(1/4) - 64.875) + 64.875 = 16.1737, i.e. 15.1737 / 511.
    const auto four = CascadeSplitFractions(4, 512.0f);
    EXPECT_NEAR(four[0], 15.1737f / 511.0f, 1e-5f);
    for (int i = 1; i < 4; ++i) EXPECT_GT(four[i], four[i - 1]);
    EXPECT_FLOAT_EQ(four[3], 0.5f);

    ShadowParams params;
    params.CascadeCount = 4;
    ShadowCascadeFit fit;
    ASSERT_TRUE(FitShadowCascades(params, {1, 1, 1}, CameraViewProjection({0, 10, 30}, {0, 10, 0}), fit));
    EXPECT_EQ(fit.cascadeCount, 4u);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(fit.data._CascadeSplits[i], 511.0f * four[i] + 1.0f, 1e-3f) << i;
}

// Defaults: two cascades. Cascade 0's light camera stands radius / 0.07351 = 13.604 radii from
// its centre towards the sun, cascade 1's two radii; the unused cascades stay zero; each radius
// is a multiple of 1/16; the parameters are copied.
TEST(ShadowCascades, LightCamerasStandBackByTheirSplit) {
    ShadowParams params;
    params.VSMBias = 0.02f;
    params.PositiveExponent = 30.0f;
    ShadowCascadeFit fit;
    const vec3 sun = Math::Normalize(vec3{1, 2, 0.5f});
    ASSERT_TRUE(FitShadowCascades(params, {2, 4, 1}, CameraViewProjection({3, 8, 20}, {0, 5, 0}), fit));
    ASSERT_EQ(fit.cascadeCount, 2u);
    const float factors[2] = {13.604f, 2.0f};
    for (int j = 0; j < 2; ++j) {
        const vec3 offset = fit.lightPositions[j] - fit.centres[j];
        EXPECT_NEAR(Math::Length(offset) / fit.radii[j], factors[j], 2e-3f) << j;
        EXPECT_NEAR(Math::Dot(Math::Normalize(offset), sun), 1.0f, 1e-5f) << j;
        EXPECT_EQ(fit.radii[j] * 16.0f, std::round(fit.radii[j] * 16.0f)) << j;
    }
    EXPECT_GT(fit.radii[1], fit.radii[0]);
    EXPECT_EQ(fit.data._CascadeSplits[2], 0.0f);
    EXPECT_EQ(fit.data._CascadeScales[3].x, 0.0f);
    EXPECT_EQ(fit.data._VSMBias, 0.02f);
    EXPECT_EQ(fit.data._PositiveExponent, 30.0f);
    EXPECT_EQ(fit.data._NegativeExponent, 5.0f);
}

// What a receiver does (world -> global shadow space -> offset and scale) gives the same texture
// coordinates as the cascade's own matrix, and every corner of a cascade's slice of the view
// lies inside that cascade's texture box.
TEST(ShadowCascades, ReceiversReachEachCascadeThroughTheGlobalMatrix) {
    ShadowParams params;
    params.CascadeCount = 4;
    params.Distance = 200.0f;
    const mat4 viewProjection = CameraViewProjection({5, 3, 12}, {-4, 1, -20});
    const mat4 inverse = Math::Inverse(viewProjection);
    ShadowCascadeFit fit;
    ASSERT_TRUE(FitShadowCascades(params, {-0.3f, 1.0f, 0.6f}, viewProjection, fit));
    const auto splits = CascadeSplitFractions(4, params.Distance);
    float previous = 0.0f;
    for (int j = 0; j < 4; ++j) {
        const Math::vec4 offset = fit.data._CascadeOffsets[j], scale = fit.data._CascadeScales[j];
        for (float x : {-1.0f, 1.0f})
            for (float y : {-1.0f, 1.0f})
                for (float along : {previous, splits[j]}) {
                    const vec3 nearCorner = Math::TransformCoord({x, y, 0}, inverse);
                    const vec3 farCorner = Math::TransformCoord({x, y, 1}, inverse);
                    const vec3 p = nearCorner + Math::Normalize(farCorner - nearCorner) * (params.Distance * along);
                    const vec3 global = Math::TransformCoord(p, fit.data._ShadowMatrix);
                    const vec3 viaGlobal{(global.x + offset.x) * scale.x, (global.y + offset.y) * scale.y,
                                         (global.z + offset.z) * scale.z};
                    const vec3 direct = Math::TransformCoord(p, fit.cascadeMatrices[j] * kTextureScaleBias);
                    EXPECT_NEAR(viaGlobal.x, direct.x, 1e-3f) << j;
                    EXPECT_NEAR(viaGlobal.y, direct.y, 1e-3f) << j;
                    EXPECT_NEAR(viaGlobal.z, direct.z, 1e-3f) << j;
                    for (float c : {direct.x, direct.y, direct.z}) {
                        EXPECT_GE(c, -1e-4f) << j;
                        EXPECT_LE(c, 1.0f + 1e-4f) << j;
                    }
                }
        previous = splits[j];
    }
}

// The world origin falls on a texel corner of every cascade; a camera move of a fraction of a
// texel moves no world point's texel position except by whole texels.
TEST(ShadowCascades, SnappingKeepsTheTexelGridStill) {
    ShadowParams params;
    params.CascadeCount = 3;
    ShadowCascadeFit a, b;
    const vec3 sun{0.4f, 1.0f, -0.2f};
    ASSERT_TRUE(FitShadowCascades(params, sun, CameraViewProjection({0, 12, 40}, {0, 10, 0}), a));
    ASSERT_TRUE(FitShadowCascades(params, sun, CameraViewProjection({0.013f, 12.007f, 40.011f}, {0.013f, 10.007f, 0.011f}), b));
    for (uint32_t j = 0; j < 3; ++j) {
        ASSERT_EQ(a.radii[j], b.radii[j]) << "the move should not change the slice's size";
        auto texel = [](const ShadowCascadeFit& fit, uint32_t cascade, vec3 p) {
            const vec3 clip = Math::TransformCoord(p, fit.cascadeMatrices[cascade]);
            return Math::vec2{clip.x * 524.0f, clip.y * 524.0f};
        };
        const Math::vec2 origin = texel(a, j, {0, 0, 0});
        EXPECT_NEAR(origin.x, std::round(origin.x), 2e-3f) << j;
        EXPECT_NEAR(origin.y, std::round(origin.y), 2e-3f) << j;
        for (const vec3& p : {vec3{1.3f, 0.2f, -4.0f}, vec3{-7.7f, 3.1f, 2.5f}}) {
            const Math::vec2 ta = texel(a, j, p), tb = texel(b, j, p);
            EXPECT_NEAR(ta.x - tb.x, std::round(ta.x - tb.x), 5e-3f) << j;
            EXPECT_NEAR(ta.y - tb.y, std::round(ta.y - tb.y), 5e-3f) << j;
        }
    }
}

// A zero or non-finite sun direction, a camera matrix without an inverse or a range of no length
// fits nothing and leaves the last fit; a sun straight overhead (where a look-at along the
// world's y has no sideways axis) still fits.
TEST(ShadowCascades, SunWithoutDirectionKeepsTheLastFitAndOverheadSunWorks) {
    ShadowParams params;
    const mat4 viewProjection = CameraViewProjection({0, 5, 10}, {0, 0, 0});
    ShadowCascadeFit fit;
    ASSERT_TRUE(FitShadowCascades(params, {0, 1, 0}, viewProjection, fit));
    for (uint32_t j = 0; j < fit.cascadeCount; ++j)
        for (const auto& row : fit.cascadeMatrices[j].m)
            for (float v : row) ASSERT_TRUE(std::isfinite(v)) << j;
    const mat4 before = fit.cascadeMatrices[0];
    EXPECT_FALSE(FitShadowCascades(params, {0, 0, 0}, viewProjection, fit));
    EXPECT_FALSE(FitShadowCascades(params, {NAN, 1, 0}, viewProjection, fit));
    mat4 singular;
    singular.m[2][2] = 0.0f;
    singular.m[3][3] = 0.0f;
    EXPECT_FALSE(FitShadowCascades(params, {1, 1, 1}, singular, fit));
    ShadowParams noRange = params;
    noRange.Distance = 1.0f;  // the range starts at 1: nothing to split
    EXPECT_FALSE(FitShadowCascades(noRange, {1, 1, 1}, viewProjection, fit));
    EXPECT_EQ(fit.cascadeMatrices[0].m[3][0], before.m[3][0]);
    EXPECT_EQ(fit.cascadeMatrices[0].m[0][0], before.m[0][0]);
}

// The blur's width follows each cascade's scale against cascade 0's: cascade 0 gets
// min(9, filter size x its scale) texels, a cascade twice as large half that, clamped to 1..9;
// one texel or less in both directions skips the blur.
TEST(ShadowCascades, BlurWidthFollowsTheCascadeScale) {
    const Math::vec4 s0{0.1f, 0.1f, 1, 1};
    const CascadeBlur first = BlurForCascade(s0, s0, 100.0f);  // min(9 / 0.1, 100) x 0.1
    EXPECT_FLOAT_EQ(first.widthX, 9.0f);
    EXPECT_EQ(first.radiusX, 4u);
    const CascadeBlur half = BlurForCascade({0.05f, -0.05f, 1, 1}, s0, 100.0f);
    EXPECT_FLOAT_EQ(half.widthX, 4.5f);
    EXPECT_FLOAT_EQ(half.widthY, 4.5f);
    EXPECT_EQ(half.radiusX, 2u);
    const CascadeBlur filtered = BlurForCascade(s0, s0, 50.0f);  // the filter size bounds it: 50 x 0.1
    EXPECT_FLOAT_EQ(filtered.widthX, 5.0f);
    EXPECT_FALSE(filtered.Skipped());
    const CascadeBlur far = BlurForCascade({0.005f, 0.005f, 1, 1}, s0, 100.0f);
    EXPECT_FLOAT_EQ(far.widthX, 1.0f);
    EXPECT_EQ(far.radiusX, 0u);
    EXPECT_TRUE(far.Skipped());
    EXPECT_FLOAT_EQ(BlurForCascade({0.5f, 0.5f, 1, 1}, s0, 100.0f).widthX, 9.0f);  // clamped
}

}  // namespace
}  // namespace RendererTest
