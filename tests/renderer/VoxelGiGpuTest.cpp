// Voxel GI on the test device: the clipmap's placement on the CPU, and the volumes a frame with
// the voxel mode builds for a sun-lit box.
#include <gtest/gtest.h>

#include <cmath>

#include "RenderStage.h"
#include "renderer/VoxelClipmap.h"
#include "renderer/passes/ModelPass.h"
#include "renderer/passes/VoxelGiPass.h"

namespace RendererTest {
namespace {

using ProjectTavrin::FrameSettings;
using ProjectTavrin::VoxelClipmap;

// res 96 over 2048 units: level 0 voxels are 2/3 of a unit and level 5 voxels 21.33; each level
// doubles the one before and holds the point 64 units ahead of the camera.
TEST(VoxelClipmap, LevelsDoubleAroundThePointAheadOfTheCamera) {
    VoxelClipmap clipmap;
    clipmap.Place({10, 20, 30}, {0, 0, -1}, 96, 2048.0f);
    EXPECT_NEAR(clipmap.Level(0).voxelSize, 0.6667f, 1e-4f);
    EXPECT_NEAR(clipmap.Level(5).voxelSize, 21.333f, 1e-3f);
    for (uint32_t i = 0; i < ProjectTavrin::kVoxelLevels; ++i) {
        const auto& l = clipmap.Level(i);
        EXPECT_FLOAT_EQ(l.extent, 2048.0f / float(1 << (5 - i))) << i;
        EXPECT_NEAR(l.regionMax.x - l.regionMin.x, l.extent, 1e-3f) << i;
        EXPECT_LE(l.regionMin.z, -34.0f);
        EXPECT_GE(l.regionMax.z, -34.0f);
    }
    // The finer level sits a quarter of the coarser one in from its corner, give or take the snap.
    for (uint32_t h = 1; h < ProjectTavrin::kVoxelLevels; ++h)
        for (int32_t o : clipmap.FinerLevelOffset(h)) {
            EXPECT_GE(o, 96 / 4 - 2) << "level " << h;
            EXPECT_LE(o, 96 / 4 + 2) << "level " << h;
        }
}

// A camera moving less than a snap step leaves every level where it was; a full step moves level
// 0 by exactly that step.
TEST(VoxelClipmap, LevelsMoveOnlyByWholeSnapSteps) {
    VoxelClipmap before, nudged, stepped;
    before.Place({0.1f, 0.1f, 0.1f}, {1, 0, 0}, 128, 2048.0f);
    const float step0 = before.SnapStep(0);
    EXPECT_FLOAT_EQ(step0, 2.0f * 2048.0f / 32.0f / 128.0f);
    nudged.Place({0.1f + step0 * 0.4f, 0.1f, 0.1f}, {1, 0, 0}, 128, 2048.0f);
    for (uint32_t i = 0; i < ProjectTavrin::kVoxelLevels; ++i)
        EXPECT_EQ(before.Level(i).regionMin.x, nudged.Level(i).regionMin.x) << i;
    stepped.Place({0.1f + step0, 0.1f, 0.1f}, {1, 0, 0}, 128, 2048.0f);
    EXPECT_NEAR(stepped.Level(0).regionMin.x - before.Level(0).regionMin.x, step0, 1e-4f);
}

// The view-projections map the level's cube (plus a voxel each side) onto the clip square, with
// depth 0 to 1 along the axis they look down.
TEST(VoxelClipmap, ViewProjectionsFillTheClipSquare) {
    VoxelClipmap clipmap;
    clipmap.Place({5, -3, 2}, {0, 1, 0}, 96, 960.0f);
    const auto& l = clipmap.Level(2);
    for (uint32_t axis = 0; axis < 3; ++axis) {
        const Math::mat4 m = clipmap.ViewProjection(2, axis);
        auto clip = [&](Math::vec3 p) {
            return Math::vec3{p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
                              p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
                              p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
        };
        const Math::vec3 lo = clip(l.regionMin), hi = clip(l.regionMax);
        const float inner = (l.extent * 0.5f) / (l.extent * 0.5f + l.voxelSize);
        EXPECT_NEAR(lo.x, -inner, 1e-4f) << axis;
        EXPECT_NEAR(hi.y, inner, 1e-4f) << axis;
        EXPECT_NEAR(lo.z, 0.5f - inner * 0.5f, 1e-4f) << axis;
        EXPECT_NEAR(hi.z, 0.5f + inner * 0.5f, 1e-4f) << axis;
    }
}

class VoxelGiGpu : public RenderStage {
protected:
    struct Texel {
        float r, g, b, a;
    };

    /// Reads the whole radiance volume back (it is left in the copy-source state).
    std::vector<Texel> ReadRadiance() {
        Engine::VolumeBuffer& volume = renderer->GetVoxelGiPass()->Radiance();
        Core().ResetCommandList();
        volume.TransitionTo(*Core().GetCommandList(), Engine::Platform::ResourceState::CopySource);
        SubmitAndWait();
        const std::vector<uint8_t> bytes = ReadSubresource(*volume.GetResource(), 0);
        std::vector<Texel> texels(bytes.size() / 8);
        for (size_t i = 0; i < texels.size(); ++i) {
            uint16_t h[4];
            std::memcpy(h, bytes.data() + i * 8, 8);
            texels[i] = {Engine::HalfToFloat(h[0]), Engine::HalfToFloat(h[1]), Engine::HalfToFloat(h[2]), Engine::HalfToFloat(h[3])};
        }
        return texels;
    }
};

// A box lit by the sun, in the middle of the finest level: the voxels of its faces hold the sun's
// light on its colour (|n.l| with the sun along (1, 1, 1)), those inside it and outside it hold
// nothing; the next level holds the face too, refreshed from the finer one.
TEST_F(VoxelGiGpu, LitBoxHoldsRadianceOnItsFacesAndNoneElsewhere) {
    if (!renderer->GetVoxelGiPass()) GTEST_SKIP() << "no geometry shaders on this device";
    constexpr float kHalf = 4.05f;
    const Math::vec4 colour{1.0f, 0.5f, 0.25f, 1.0f};
    AddModel(Box({0, 0, 0}, kHalf, colour));
    SetCamera({0, 0, 64}, {0, 0, 64});  // 64 ahead: the clipmap centres on the box
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.config.GI_Mode = ProjectTavrin::kGiVoxels;
        s.post.voxel.Resolution = 96;
        s.post.voxel.RegionSize = 512.0f;  // level 0: 16 units, voxels of 1/6
        s.render.config.SunDirection = Math::Normalize(Math::vec3{1, 1, 1});
        s.render.config.SunColor = {1, 1, 1};
        s.render.config.SunIntensity = 2.0f;
    });
    Render();
    const ProjectTavrin::PassLog& log = renderer->GetPassLog();
    EXPECT_TRUE(log.Contains("Voxelization"));
    EXPECT_TRUE(log.Contains("VCTMIP"));
    EXPECT_EQ(renderer->GetVoxelGiPass()->Draws(), 6u * 6u) << "six faces in each of six levels";

    const std::vector<Texel> volume = ReadRadiance();
    constexpr int kRes = 96;
    ASSERT_EQ(volume.size(), size_t(kRes) * kRes * 6 * kRes);
    auto at = [&](int level, int x, int y, int z) { return volume[(size_t(z) * kRes * 6 + y + level * kRes) * kRes + x]; };

    // Level 0 spans -8 .. 8 in voxels of 1/6: the +x face (x = 4.05) lies in voxel 72, the -y
    // face in voxel 23.
    const float lit = 2.0f / std::sqrt(3.0f);
    const Texel face = at(0, 72, 48, 48);
    EXPECT_EQ(face.a, 1.0f);
    EXPECT_NEAR(face.r, colour.x * lit, 0.05f);
    EXPECT_NEAR(face.g, colour.y * lit, 0.05f);
    EXPECT_NEAR(face.b, colour.z * lit, 0.05f);
    const Texel bottom = at(0, 40, 23, 60);
    EXPECT_EQ(bottom.a, 1.0f);
    EXPECT_NEAR(bottom.r, lit, 0.05f);

    int filled = 0, outside = 0, inside = 0;
    for (int z = 0; z < kRes; ++z)
        for (int y = 0; y < kRes; ++y)
            for (int x = 0; x < kRes; ++x) {
                const Texel t = at(0, x, y, z);
                const bool onFace = (x == 23 || x == 72 || y == 23 || y == 72 || z == 23 || z == 72) &&
                                    x >= 23 && x <= 72 && y >= 23 && y <= 72 && z >= 23 && z <= 72;
                if (t.a > 0) ++filled;
                if (!onFace && (t.a != 0 || t.r != 0)) ++(x > 23 && x < 72 && y > 23 && y < 72 && z > 23 && z < 72 ? inside : outside);
            }
    EXPECT_EQ(outside, 0) << "voxels off the box hold light";
    EXPECT_EQ(inside, 0) << "voxels inside the box hold light";
    // Each face covers the 48 x 48 voxel centres inside its edges (the edge voxels' centres lie
    // just past the face's border, 4.083 against 4.05).
    EXPECT_EQ(filled, 6 * 48 * 48);

    // Level 1 spans -16 .. 16 with voxels of 1/3: the +x face is in voxel 60 there, refreshed
    // from level 0 (a 2 x 2 x 2 mean: full coverage across the face, the colour kept).
    const Texel coarse = at(1, 60, 48, 48);
    EXPECT_GT(coarse.a, 0.2f);
    EXPECT_NEAR(coarse.r / coarse.a, colour.x * lit, 0.1f);
    EXPECT_EQ(at(1, 80, 48, 48).a, 0.0f);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// While the sun casts shadows the voxels are lit through the shadow map: the floor's voxels in the
// shadow of a box above it hold (next to) nothing, those beside it the sun's full light.
TEST_F(VoxelGiGpu, VoxelsInTheSunsShadowStayDark) {
    if (!renderer->GetVoxelGiPass()) GTEST_SKIP() << "no geometry shaders on this device";
    std::vector<Quad> box = Box({0, 0, 0}, 2.0f, {1, 1, 1, 1});
    for (Quad& q : box) q.castsShadow = true;
    Quad floor{{0, -3.95f, 0}, 7.5f, {1, 1, 1, 1}};
    floor.ground = true;
    box.push_back(floor);
    AddModel(box);
    SetCamera({0, 0, 64}, {0, 0, 64});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.render.config.GI_Mode = ProjectTavrin::kGiVoxels;
        s.render.config.SunLightEnable = 1;
        s.render.config.SunDirection = Math::Normalize(Math::vec3{0.1f, 1.0f, 0.05f});
        s.post.voxel.RegionSize = 512.0f;
    });
    Render();
    ASSERT_NE(renderer->LastPassResults().varianceShadowMap, 0xffffffffu) << "the sun's shadow map was made";
    const std::vector<Texel> volume = ReadRadiance();
    constexpr int kRes = 96;
    auto at = [&](int x, int y, int z) { return volume[(size_t(z) * kRes * 6 + y) * kRes + x]; };
    // Level 0 spans -8 .. 8 in voxels of 1/6: the floor (y = -3.95) is in voxel row 24.
    const Texel shaded = at(48, 24, 48), lit = at(84, 24, 84);
    EXPECT_EQ(shaded.a, 1.0f);
    EXPECT_EQ(lit.a, 1.0f);
    EXPECT_NEAR(lit.r, 2.0f * Math::Normalize(Math::vec3{0.1f, 1.0f, 0.05f}).y, 0.08f);
    EXPECT_LT(shaded.r, lit.r * 0.3f) << shaded.r << " in the shadow against " << lit.r;
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// With voxel GI the model draw gets the radiance volume and its constants, and a grey wall picks
// up the red of a lit box standing in front of it: next to the box the wall turns redder than
// far from it. Without voxel GI neither is bound and the wall is plain grey.
TEST_F(VoxelGiGpu, ModelDrawGathersTheVoxelLightAroundIt) {
    if (!renderer->GetVoxelGiPass()) GTEST_SKIP() << "no geometry shaders on this device";
    AddModel({Quad{{0, 0, 0}, 12.0f, {0.3f, 0.3f, 0.3f, 1}}});
    AddModel(Box({0, 0, 2.5f}, 2.0f, {1.0f, 0.05f, 0.05f, 1}));
    SetCamera({0, 0, 64}, {0, 0, 64});
    auto render = [&](int32_t giMode) {
        renderer->Settings().Edit([giMode](FrameSettings& s) {
            s.render.TaaEnable = false;
            s.render.config.GI_Mode = giMode;
            s.post.voxel.ConeTracing2 = 5;  // the normal's cone and four around it
        });
        Render();
        return FinalImage();
    };
    const std::vector<Rgba8> off = render(ProjectTavrin::kGiOff);
    const auto& unbound = renderer->GetModelPass().FrameConstants();
    EXPECT_EQ(unbound.voxelRadiance, 0xffffffffu);
    EXPECT_EQ(unbound.voxelConstants.Value(), 0u);
    const std::vector<Rgba8> on = render(ProjectTavrin::kGiVoxels);
    const auto& bound = renderer->GetModelPass().FrameConstants();
    EXPECT_EQ(bound.voxelRadiance, renderer->GetVoxelGiPass()->RadianceView());
    EXPECT_EQ(bound.voxelConstants.Value(), renderer->GetVoxelGiPass()->ConstantsAddress(Core().GetBackBufferIndex()));

    // 64 pixels span 34 units at the wall: the box covers pixels 28 .. 35; pixel 37 sees the wall
    // a unit beside it.
    auto redGain = [&](uint32_t x, uint32_t y) {
        const Rgba8 a = Pixel(off, x, y), b = Pixel(on, x, y);
        return (int(b.r) - int(a.r)) - (int(b.g) - int(a.g));
    };
    const int near = redGain(37, 32), far = redGain(55, 55);
    EXPECT_EQ(Pixel(off, 37, 32).r, Pixel(off, 37, 32).g) << "a grey wall without GI";
    EXPECT_GE(near, 4) << "the box's red reaches the wall beside it";
    EXPECT_GT(near, far + 2) << "more beside the box than far from it (" << near << " against " << far << ")";
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest
