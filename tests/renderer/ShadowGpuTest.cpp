// The sun's shadows on the GPU, judged by the final image against the same scene with the sun's
// shadows off (the sun still lights it): a caster darkens the receiver where the sun direction
// puts its shadow, the shadow follows the sun, and everything outside the shadows matches the
// unshadowed image (no acne, no seams where cascades meet).
#include "tests/renderer/RenderStage.h"

#include <algorithm>
#include <cmath>

#include "renderer/SettingNames.h"
#include "renderer/passes/ModelPass.h"
#include "renderer/passes/ShadowPass.h"

namespace RendererTest {
namespace {

using ProjectTavrin::FrameSettings;
using Names = std::vector<std::string>;

struct PixelBox {
    float left, top, right, bottom;
    bool Contains(uint32_t x, uint32_t y) const {
        const float cx = float(x) + 0.5f, cy = float(y) + 0.5f;
        return cx >= left && cx <= right && cy >= top && cy <= bottom;
    }
};

class ShadowGpu : public RenderStage {
protected:
    void SetUp() override {
        RenderStage::SetUp();
        if (IsSkipped()) return;
        // Plain images: no temporal blend, no bloom, a strong sun against the ambient light.
        renderer->Settings().Edit([](FrameSettings& s) {
            s.render.TaaEnable = false;
            s.post.BloomStrength = 0.0f;
            s.render.config.SunIntensity = 6.0f;
        });
    }

    std::vector<Rgba8> RenderWithShadows(bool on, uint32_t frame = 0) {
        renderer->Settings().Edit([&](FrameSettings& s) { s.render.config.SunLightEnable = on ? 1 : 0; });
        Render(frame);
        return FinalImage();
    }

    /// The screen box of world rectangle corners `corners`, grown by `margin` pixels.
    PixelBox BoxOf(std::initializer_list<Math::vec3> corners, float margin) const {
        PixelBox b{1e9f, 1e9f, -1e9f, -1e9f};
        for (const Math::vec3& c : corners) {
            const Math::vec2 p = PixelOf(c);
            b.left = std::min(b.left, p.x);
            b.right = std::max(b.right, p.x);
            b.top = std::min(b.top, p.y);
            b.bottom = std::max(b.bottom, p.y);
        }
        return {b.left - margin, b.top - margin, b.right + margin, b.bottom + margin};
    }

    static int Luma(Rgba8 p) { return int(p.r) + int(p.g) + int(p.b); }

    /// Every pixel outside `shadows` matches `unshadowed` (within `tolerance` per channel);
    /// returns how many differ.
    int CountChangedOutside(const std::vector<Rgba8>& image, const std::vector<Rgba8>& unshadowed,
                            const std::vector<PixelBox>& shadows, int tolerance) {
        int changed = 0;
        for (uint32_t y = 0; y < kSize; ++y)
            for (uint32_t x = 0; x < kSize; ++x) {
                if (std::any_of(shadows.begin(), shadows.end(), [&](const PixelBox& b) { return b.Contains(x, y); })) continue;
                const Rgba8 a = Pixel(image, x, y), b = Pixel(unshadowed, x, y);
                if (std::abs(a.r - b.r) > tolerance || std::abs(a.g - b.g) > tolerance || std::abs(a.b - b.b) > tolerance) {
                    if (changed < 5) ADD_FAILURE() << "changed outside the shadows at " << x << ", " << y << ": " << int(a.r)
                                                   << " against " << int(b.r);
                    ++changed;
                }
            }
        return changed;
    }
};

// A wall facing the camera and a small square 2 units in front of it. With the sun towards
// (1, 0, 1) the square's shadow lands 2 units to its left on the wall, and nowhere else changes;
// with the sun set by name to (-1, 0, 1) (as --set does) it moves 2 units to the right.
TEST_F(ShadowGpu, CasterDarkensTheGroundWhereTheSunSaysAndTheShadowFollowsTheSun) {
    const Math::vec4 grey{0.5f, 0.5f, 0.5f, 1};
    Quad wall{{0, 0, 0}, 3.0f, grey};
    wall.castsShadow = true;
    Quad caster{{0, 0, 2}, 0.4f, grey};
    caster.castsShadow = true;
    AddModel({wall, caster});
    renderer->Settings().Edit([](FrameSettings& s) { s.render.config.SunDirection = {1, 0, 1}; });

    const std::vector<Rgba8> unshadowed = RenderWithShadows(false);
    std::vector<Rgba8> image = RenderWithShadows(true);
    EXPECT_TRUE(renderer->GetPassLog().Contains(ProjectTavrin::ShadowPass::kName));
    auto shadowAt = [&](float x) {
        return BoxOf({{x - 0.4f, -0.4f, 0}, {x + 0.4f, 0.4f, 0}}, 3.0f);
    };
    const Math::vec2 left = PixelOf({-2, 0, 0}), right = PixelOf({2, 0, 0});
    EXPECT_LT(Luma(Pixel(image, uint32_t(left.x), uint32_t(left.y))),
              Luma(Pixel(unshadowed, uint32_t(left.x), uint32_t(left.y))) * 3 / 4);
    EXPECT_EQ(CountChangedOutside(image, unshadowed, {shadowAt(-2)}, 3), 0);

    // As tavrin-render does with --set: the assignment applied to a copy, the copy put in place.
    FrameSettings edited = renderer->Settings().Snapshot();
    std::string error;
    ASSERT_TRUE(ProjectTavrin::ApplySettingAssignment(edited, "SunDirection=-1,0,1", error)) << error;
    renderer->Settings().Edit([&](FrameSettings& s) { s = edited; });
    const std::vector<Rgba8> movedUnshadowed = RenderWithShadows(false, 1);
    image = RenderWithShadows(true, 2);
    EXPECT_LT(Luma(Pixel(image, uint32_t(right.x), uint32_t(right.y))),
              Luma(Pixel(movedUnshadowed, uint32_t(right.x), uint32_t(right.y))) * 3 / 4);
    EXPECT_EQ(CountChangedOutside(image, movedUnshadowed, {shadowAt(2)}, 3), 0);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// A ground plane running away from the camera across all four cascades, itself a caster, with
// one floating square per cascade. Each square's shadow shows in its own cascade, and nothing
// else on the ground changes: no acne on the lit plane, no seam where one cascade hands over to
// the next.
TEST_F(ShadowGpu, FourCascadesCoverTheGroundWithoutSeams) {
    // Looking 17 degrees down: the ground runs from about 5 to 70 units away.
    const Math::vec3 eye{0, 2.5f, 6}, focus{0, -0.557f, -4};
    SetCameraLookAt(eye, focus);
    const Math::vec3 sunDirection = Math::Normalize(Math::vec3{1, 1, 0});
    renderer->Settings().Edit([&](FrameSettings& s) {
        s.render.config.SunDirection = sunDirection;
        s.post.shadow.CascadeCount = 4;
        s.post.shadow.Distance = 100.0f;
    });
    ProjectTavrin::ShadowParams params = renderer->Settings().Snapshot().post.shadow;
    ProjectTavrin::ShadowCascadeFit fit;
    ASSERT_TRUE(ProjectTavrin::FitShadowCascades(params, sunDirection, CameraBlock().view * CameraBlock().projection, fit));

    // The cascade a ground point falls in, by the receivers' rule: the first whose box holds it.
    auto cascadeOf = [&](Math::vec3 p) {
        const Math::vec3 g = Math::TransformCoord(p, fit.data._ShadowMatrix);
        for (int i = 0; i < 4; ++i) {
            const Math::vec4 o = fit.data._CascadeOffsets[i], sc = fit.data._CascadeScales[i];
            const float u = (g.x + o.x) * sc.x, v = (g.y + o.y) * sc.y;
            if (u > 0.01f && u < 0.99f && v > 0.01f && v < 0.99f) return i;
        }
        return -1;
    };
    // Walk the ground from the camera outwards; the middle of each cascade's stretch of view
    // gets a square floating 1 above the ground, offset so that its shadow falls on the line.
    const Math::vec3 floorStart{0, 0, 4};
    std::vector<std::pair<float, float>> runs(4, {1e9f, -1e9f});
    for (float z = floorStart.z; z > -90.0f; z -= 0.05f) {
        const Math::vec2 px = PixelOf({0, 0, z});
        if (px.y < 2.0f || px.y > kSize - 2.0f) continue;
        const int c = cascadeOf({0, 0, z});
        if (c < 0) continue;
        runs[c].first = std::min(runs[c].first, z);
        runs[c].second = std::max(runs[c].second, z);
    }
    Quad ground{{0, 0, -40}, 60.0f, {0.5f, 0.5f, 0.5f, 1}};
    ground.ground = true;
    ground.castsShadow = true;
    std::vector<Quad> quads{ground};
    std::vector<Math::vec3> shadowCentres;
    std::vector<PixelBox> shadowBoxes;
    const float blurWorld = 9.0f * 2.0f * fit.radii[0] / float(ProjectTavrin::kShadowMapSize);
    for (int c = 0; c < 4; ++c) {
        ASSERT_LT(runs[c].first, runs[c].second) << "cascade " << c << " covers none of the view's ground";
        const float z = 0.5f * (runs[c].first + runs[c].second);
        const float size = 0.05f * Math::Length(eye - Math::vec3{0, 0, z});
        Quad square{{1.0f, 1.0f, z}, size, {0.5f, 0.5f, 0.5f, 1}};
        square.ground = true;
        square.castsShadow = true;
        quads.push_back(square);
        shadowCentres.push_back({0, 0, z});
        const float m = size + blurWorld + 0.05f;
        shadowBoxes.push_back(BoxOf({{-m, 0, z - m}, {m, 0, z - m}, {m, 0, z + m}, {-m, 0, z + m}}, 1.5f));
    }
    AddModel(quads);

    const std::vector<Rgba8> unshadowed = RenderWithShadows(false);
    const std::vector<Rgba8> image = RenderWithShadows(true);
    for (int c = 0; c < 4; ++c) {
        const Math::vec2 p = PixelOf(shadowCentres[c]);
        const uint32_t x = uint32_t(p.x), y = uint32_t(p.y);
        EXPECT_LT(Luma(Pixel(image, x, y)), Luma(Pixel(unshadowed, x, y)) * 3 / 4) << "cascade " << c;
    }
    EXPECT_EQ(CountChangedOutside(image, unshadowed, shadowBoxes, 3), 0);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// With the sun off nothing of the shadows is recorded and the model draw gets no shadow map;
// switched on, the next frame draws the casters of every cascade and hands the moment array and
// this frame's ShadowData to the model draw. A material that does not cast is not drawn.
TEST_F(ShadowGpu, ShadowPassRunsOnlyWithTheSunAndFeedsTheModelDraw) {
    Quad caster{{0, 0, 0}, 1.0f};
    caster.castsShadow = true;
    AddModel({caster, Quad{{0, 0, -1}, 1.0f}});
    Render(0);
    EXPECT_FALSE(renderer->GetPassLog().Contains(ProjectTavrin::ShadowPass::kName));
    EXPECT_EQ(renderer->LastPassResults().shadowData, 0u);
    EXPECT_EQ(renderer->LastPassResults().varianceShadowMap, ProjectTavrin::kNoDescriptor);

    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.config.SunLightEnable = 1;
        s.post.shadow.CascadeCount = 3;
    });
    Render(1);
    auto& shadow = renderer->GetShadowPass();
    EXPECT_EQ(shadow.CasterDraws(), 3u) << "one caster material, three cascades";
    const ProjectTavrin::PassResults& results = renderer->LastPassResults();
    EXPECT_EQ(results.varianceShadowMap, shadow.Moments().srvHandle.Gpu());
    EXPECT_TRUE(results.shadowData == shadow.ShadowDataAddress(0) || results.shadowData == shadow.ShadowDataAddress(1));
    EXPECT_EQ(renderer->GetModelPass().FrameConstants().shadowData.Value(), results.shadowData);
    EXPECT_EQ(renderer->GetModelPass().FrameConstants().varianceShadowMap, results.varianceShadowMap);
    const Names& names = renderer->GetPassLog().Names();
    EXPECT_EQ(std::count(names.begin(), names.end(), "ConvertToVSM"), 3);
    EXPECT_EQ(names.front(), "ShadowMap");
    EXPECT_EQ(names.at(1), "ShadowCasters");

    // The page's shadow controls (range, cascades, filter size) are what the next frame uses.
    renderer->Settings().Edit([](FrameSettings& s) {
        s.post.shadow.Distance = 201.0f;
        s.post.shadow.CascadeCount = 1;
        s.post.shadow.FilterSize = 0.0f;
    });
    Render(2);
    EXPECT_EQ(shadow.Fit().cascadeCount, 1u);
    EXPECT_FLOAT_EQ(shadow.Fit().data._CascadeSplits[0], 101.0f) << "half of the range";
    EXPECT_TRUE(shadow.LastBlurs()[0].Skipped()) << "a filter size of 0 leaves the moments unblurred";
    EXPECT_EQ(shadow.CasterDraws(), 1u);
    EXPECT_FALSE(renderer->GetPassLog().Contains("BlurVSM_Y"));
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest
