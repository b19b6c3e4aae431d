// The passes after the resolve, each on a small stage built to show the one thing it must do:
// SSAO darkens a crease and leaves an open floor alone, FXAA softens a hard edge and nothing
// flat, vignette darkens the corners, sharpen and soften move local contrast, motion blur smears
// what moves, depth of field blurs away from the focus plane, the lens flare shows only with the
// sun on screen, volumetric light brightens the air; and every pass switched off again leaves the
// image exactly as it was. Temporal anti-aliasing is off unless a test is about it, so that each
// frame stands alone.
#include "tests/renderer/RenderStage.h"

#include <functional>

#include "renderer/passes/DepthOfFieldPass.h"
#include "renderer/passes/LensFlarePass.h"
#include "renderer/passes/MotionBlurPass.h"
#include "renderer/passes/SsaoPass.h"

namespace RendererTest {
namespace {

using ProjectTavrin::FrameSettings;
using Image = std::vector<Rgba8>;

float Luma(Rgba8 p) { return (0.299f * p.r + 0.587f * p.g + 0.114f * p.b) / 255.0f; }

struct Region {
    uint32_t x0, y0, x1, y1;  // inclusive-exclusive
};

/// Sum of the squared luma steps to the right and below inside `r`: how much detail it shows.
/// (Squared, so that a step spread over two pixels counts less than the hard step.)
float LocalContrast(const Image& image, uint32_t size, Region r) {
    float sum = 0;
    for (uint32_t y = r.y0; y + 1 < r.y1; ++y)
        for (uint32_t x = r.x0; x + 1 < r.x1; ++x) {
            const float c = Luma(image[y * size + x]);
            const float right = c - Luma(image[y * size + x + 1]), below = c - Luma(image[(y + 1) * size + x]);
            sum += right * right + below * below;
        }
    return sum;
}

bool SameInside(const Image& a, const Image& b, uint32_t size, Region r) {
    for (uint32_t y = r.y0; y < r.y1; ++y)
        for (uint32_t x = r.x0; x < r.x1; ++x) {
            const Rgba8 p = a[y * size + x], q = b[y * size + x];
            if (p.r != q.r || p.g != q.g || p.b != q.b) return false;
        }
    return true;
}

uint32_t ChangedPixels(const Image& a, const Image& b) {
    uint32_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b;
    return n;
}

class PostPasses : public RenderStage {
protected:
    void SetUp() override {
        RenderStage::SetUp();
        if (IsSkipped()) return;
        renderer->Settings().Edit([](FrameSettings& s) { s.render.TaaEnable = false; });
    }

    /// A `cells` x `cells` checker of two greys, as a texture.
    int32_t Checker(uint32_t cells, uint8_t dark = 60, uint8_t light = 200) {
        std::vector<Rgba8> texels;
        for (uint32_t y = 0; y < cells; ++y)
            for (uint32_t x = 0; x < cells; ++x) {
                const uint8_t v = (x + y) % 2 ? light : dark;
                texels.push_back({v, v, v, 255});
            }
        return AddTexture(cells, cells, texels);
    }

    Image RenderWith(const std::function<void(FrameSettings&)>& edit, uint32_t frames = 1) {
        renderer->Settings().Edit(edit);
        for (uint32_t f = 0; f < frames; ++f) Render(f);
        return FinalImage();
    }
};

// ---- each pass switched off again leaves no trace ----

// A stage every pass changes: a textured near quad, a textured far one, a moving quad and an
// empty background, with the sun ahead of the camera. Each pass is switched on (the image must
// change, else the comparison proves nothing) and off again: the image is the baseline, bit for
// bit.
TEST_F(PostPasses, EveryPassSwitchedOffAgainLeavesTheImageBitIdentical) {
    const int32_t checker = Checker(8);
    AddModel({Quad{{-1.2f, 0, 0}, 1.0f, {1, 1, 1, 1}, checker}, Quad{{2.0f, 1.0f, -30}, 4.0f, {1, 1, 1, 1}, checker}});
    AddModel({Quad{{1.0f, -1.2f, 1}, 0.6f, {0.9f, 0.5f, 0.2f, 1}}});
    MoveModel(1, {0.4f, 0, 0});
    renderer->Settings().Edit([](FrameSettings& s) { s.post.LensFlareSunPosition = {-1500, 1500, -9000}; });
    const Image baseline = RenderWith([](FrameSettings&) {});

    struct Case {
        const char* name;
        std::function<void(FrameSettings&, bool)> set;
        uint32_t frames = 1;
    };
    const Case cases[] = {
        {"SSAO", [](FrameSettings& s, bool on) { s.render.config.AO_Mode = on ? 1 : 0; }, 2},
        {"VolumetricLight", [](FrameSettings& s, bool on) { s.render.VolumetricLightEnable = on; }},
        {"FXAA", [](FrameSettings& s, bool on) { s.render.FxaaEnable = on; }},
        {"Soften", [](FrameSettings& s, bool on) { s.post.SoftenStrength = on ? 1.0f : 0.0f; }},
        {"Sharpen", [](FrameSettings& s, bool on) { s.post.SharpenAmount = on ? 50.0f : 0.0f; }},
        {"Vignette", [](FrameSettings& s, bool on) { s.post.VignetteAmount = on ? 0.8f : 0.0f; }},
        {"MotionBlur", [](FrameSettings& s, bool on) { s.render.MotionBlurLength = on ? 60.0f : 0.0f; }},
        {"DepthOfField",
         [](FrameSettings& s, bool on) {
             s.render.DofEnable = on;
             s.post.DofAutoFocus = 0;
             s.post.DofFocalLength = 0.3f;
         }},
        {"LensFlare", [](FrameSettings& s, bool on) { s.render.LensFlareEnable = on; }, 4},
    };
    for (const Case& c : cases) {
        const Image on = RenderWith([&](FrameSettings& s) { c.set(s, true); }, c.frames);
        EXPECT_TRUE(renderer->GetPassLog().Contains(c.name)) << c.name;
        EXPECT_GT(ChangedPixels(on, baseline), 0u) << c.name << " changed nothing on this stage";
        const Image off = RenderWith([&](FrameSettings& s) { c.set(s, false); }, c.frames);
        EXPECT_FALSE(renderer->GetPassLog().Contains(c.name)) << c.name;
        EXPECT_EQ(ChangedPixels(off, baseline), 0u) << c.name << " left a trace once off";
    }
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// ---- screen-space ambient occlusion ----

// A floor meeting a wall, seen from above and in front: the occlusion is low in the crease and
// near 1 on the open floor. The draw takes it from the frame after: the first frame's image is
// the one without occlusion, the second is darker in the crease only.
TEST_F(PostPasses, SsaoDarkensTheCreaseAndLeavesTheOpenFloorAlone) {
    const float floorY = -1.0f, wallZ = -5.0f;
    AddModel({Quad{{}, 1, {0.8f, 0.8f, 0.8f, 1}, -1, true, false, {0, 1, 0}, false, false,
                   {{-4, floorY, 3}, {4, floorY, 3}, {4, floorY, wallZ}, {-4, floorY, wallZ}}},
              Quad{{}, 1, {0.8f, 0.8f, 0.8f, 1}, -1, true, false, {0, 0, 1}, false, false,
                   {{-4, floorY, wallZ}, {4, floorY, wallZ}, {4, 4, wallZ}, {-4, 4, wallZ}}}});
    SetCameraLookAt({0, 2.5f, 6}, {0, -0.5f, -2});
    const Image plain = RenderWith([](FrameSettings&) {});

    renderer->Settings().Edit([](FrameSettings& s) { s.render.config.AO_Mode = 1; });
    Render(0);
    ASSERT_TRUE(renderer->GetSsaoPass().HasResult());
    EXPECT_EQ(ChangedPixels(FinalImage(), plain), 0u) << "this frame's draw came before its occlusion";
    const std::vector<float> occlusion = ReadR8(renderer->GetSsaoPass().Occlusion());
    const Math::vec2 crease = PixelOf({0, floorY, wallZ + 0.15f});
    const Math::vec2 openFloor = PixelOf({0, floorY, -1.0f});
    auto at = [&](Math::vec2 p) {
        const bool inside = p.x >= 0 && p.y >= 0 && p.x < kSize && p.y < kSize;
        EXPECT_TRUE(inside) << p.x << ", " << p.y << " is off the image";
        return inside ? occlusion[uint32_t(p.y) * kSize + uint32_t(p.x)] : -1.0f;
    };
    ASSERT_GT(openFloor.y, crease.y + 8) << "the open floor lies well below the crease";
    EXPECT_LT(at(crease), 0.75f) << "crease at " << crease.x << ", " << crease.y;
    EXPECT_GT(at(openFloor), 0.9f) << "floor at " << openFloor.x << ", " << openFloor.y;

    Render(1);
    const Image occluded = FinalImage();
    const auto pixel = [](const Image& image, Math::vec2 p) { return Luma(image[uint32_t(p.y) * kSize + uint32_t(p.x)]); };
    EXPECT_LT(pixel(occluded, crease), pixel(plain, crease) - 0.05f);
    EXPECT_NEAR(pixel(occluded, openFloor), pixel(plain, openFloor), 0.03f);
    EXPECT_EQ(renderer->GetSsaoPass().LastLevels(), 3);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST_F(PostPasses, SsaoRunsEveryHierarchyDepth) {
    AddModel({Quad{{0, 0, 0}, 1.0f}});
    for (int depth = 1; depth <= 4; ++depth) {
        renderer->Settings().Edit([&](FrameSettings& s) {
            s.render.config.AO_Mode = 1;
            s.post.ssao.HierarchyDepth = depth;
        });
        Render(uint32_t(depth));
        EXPECT_EQ(renderer->GetSsaoPass().LastLevels(), depth);
        EXPECT_EQ(renderer->GetPassLog().Contains("PrepareDepthBuffers2"), depth > 2);
        // A quad facing the camera is open everywhere.
        EXPECT_GT(ReadR8(renderer->GetSsaoPass().Occlusion())[32 * kSize + 32], 0.95f) << depth;
    }
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// ---- FXAA ----

// A white square turned by 30 degrees on black: FXAA takes the steps out of its edges (less
// luma change from pixel to pixel across them) and leaves its inside and the background bit for
// bit as they were.
TEST_F(PostPasses, FxaaSoftensAHardEdgeAndLeavesFlatAreas) {
    std::vector<Math::vec3> corners;
    for (int i = 0; i < 4; ++i) {
        const float a = Math::kPi / 6 + Math::kPi / 2 * float(i);
        corners.push_back({2.2f * std::cos(a), 2.2f * std::sin(a), 0});
    }
    AddModel({Quad{{}, 1, {1, 1, 1, 1}, -1, true, false, {0, 0, 1}, false, false, corners}});
    renderer->Settings().Edit([](FrameSettings& s) { s.post.BloomStrength = 0.0f; });
    const Image hard = RenderWith([](FrameSettings&) {});
    const Image smooth = RenderWith([](FrameSettings& s) { s.render.FxaaEnable = true; });
    const Region whole{0, 0, kSize, kSize};
    EXPECT_LT(LocalContrast(smooth, kSize, whole), LocalContrast(hard, kSize, whole) * 0.97f);
    EXPECT_GT(ChangedPixels(smooth, hard), 20u);
    EXPECT_TRUE(SameInside(smooth, hard, kSize, {28, 28, 36, 36})) << "inside the square";
    EXPECT_TRUE(SameInside(smooth, hard, kSize, {0, 0, 6, 6})) << "the background";
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// ---- vignette, sharpen, soften ----

TEST_F(PostPasses, VignetteDarkensTheCornersAndNotTheCentre) {
    AddModel({Quad{{0, 0, 0}, 20.0f, {0.6f, 0.6f, 0.6f, 1}}});
    const Image plain = RenderWith([](FrameSettings&) {});
    const Image framed = RenderWith([](FrameSettings& s) { s.post.VignetteAmount = 0.6f; });
    for (auto [x, y] : {std::pair{0u, 0u}, {kSize - 1, 0u}, {0u, kSize - 1}, {kSize - 1, kSize - 1}})
        EXPECT_LT(Luma(Pixel(framed, x, y)), Luma(Pixel(plain, x, y)) * 0.7f) << x << ", " << y;
    EXPECT_NEAR(Luma(Pixel(framed, 32, 32)), Luma(Pixel(plain, 32, 32)), 1.5f / 255.0f);
    // Darker the further out.
    EXPECT_LT(Luma(Pixel(framed, 4, 32)), Luma(Pixel(framed, 16, 32)));
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST_F(PostPasses, SharpenRaisesAndSoftenLowersLocalContrast) {
    AddModel({Quad{{0, 0, 0}, 2.0f, {1, 1, 1, 1}, Checker(8, 90, 170)}});
    renderer->Settings().Edit([](FrameSettings& s) { s.post.BloomStrength = 0.0f; });
    const Region inside{14, 14, 50, 50};
    const float plain = LocalContrast(RenderWith([](FrameSettings&) {}), kSize, inside);
    const float sharpened = LocalContrast(RenderWith([](FrameSettings& s) { s.post.SharpenAmount = 40.0f; }), kSize, inside);
    const float softened = LocalContrast(RenderWith([](FrameSettings& s) {
                                             s.post.SharpenAmount = 0.0f;
                                             s.post.SoftenStrength = 1.0f;
                                         }),
                                         kSize, inside);
    EXPECT_GT(sharpened, plain * 1.2f);
    EXPECT_LT(softened, plain * 0.8f);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// ---- motion blur ----

// One quad stands, another has moved to the right since the last frame: with motion blur the
// moving quad's pixels mix with what it passed over, the standing quad and the background keep
// their exact values.
TEST_F(PostPasses, MotionBlurSmearsOnlyWhatMoves) {
    AddModel({Quad{{-1.5f, 0, 0}, 0.8f, {0.2f, 0.8f, 0.3f, 1}}});
    AddModel({Quad{{1.2f, 0, 0}, 0.8f, {0.9f, 0.3f, 0.1f, 1}}});
    MoveModel(1, {0.5f, 0, 0});
    const Image sharp = RenderWith([](FrameSettings&) {});
    const Image blurred = RenderWith([](FrameSettings& s) { s.render.MotionBlurLength = 60.0f; });
    const Math::vec2 standing = PixelOf({-1.5f, 0, 0});
    const Math::vec2 movingEdge = PixelOf({1.7f - 0.75f, 0, 0});
    EXPECT_TRUE(SameInside(blurred, sharp, kSize,
                           {uint32_t(standing.x) - 6, uint32_t(standing.y) - 6, uint32_t(standing.x) + 6, uint32_t(standing.y) + 6}));
    EXPECT_TRUE(SameInside(blurred, sharp, kSize, {0, 0, kSize, 10})) << "the background above";
    // Near its trailing edge the moving quad is mixed with the background it left.
    const Rgba8 before = Pixel(sharp, uint32_t(movingEdge.x), uint32_t(movingEdge.y));
    const Rgba8 after = Pixel(blurred, uint32_t(movingEdge.x), uint32_t(movingEdge.y));
    EXPECT_LT(after.r + 20, before.r);
    EXPECT_GT(ChangedPixels(blurred, sharp), 20u);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST(MotionBlurLength, IsTheLengthOverTheFrameTimeInMilliseconds) {
    EXPECT_FLOAT_EQ(ProjectTavrin::MotionBlurShaderLength(10.0f, 0.02), 0.5f);
    // A frame of no time counts as a millisecond rather than dividing by zero.
    EXPECT_FLOAT_EQ(ProjectTavrin::MotionBlurShaderLength(10.0f, 0.0), 10.0f);
}

// ---- depth of field ----

// Two checkered quads, one at the focus distance and one far behind it: the one in focus keeps
// its exact pixels, the far one loses most of its detail. With auto-focus and the far quad in
// the middle of the image, it is the far one that stays sharp.
TEST_F(PostPasses, DepthOfFieldKeepsTheFocusPlaneSharpAndBlursFarFromIt) {
    const int32_t checker = Checker(8);
    AddModel({Quad{{-1.3f, 0, 0}, 1.0f, {1, 1, 1, 1}, checker}, Quad{{6.0f, 0, -40}, 9.0f, {1, 1, 1, 1}, checker}});
    renderer->Settings().Edit([](FrameSettings& s) { s.post.BloomStrength = 0.0f; });
    const Region nearQuad{10, 25, 20, 39}, farQuad{44, 20, 62, 44};
    const Image plain = RenderWith([](FrameSettings&) {});
    const Image manual = RenderWith([](FrameSettings& s) {
        s.render.DofEnable = true;
        s.post.DofAutoFocus = 0;
        s.post.DofFocusDistance = 10.0f;  // the near quad
        s.post.DofFocalLength = 0.3f;
    });
    EXPECT_TRUE(SameInside(manual, plain, kSize, nearQuad));
    EXPECT_LT(LocalContrast(manual, kSize, farQuad), LocalContrast(plain, kSize, farQuad) * 0.6f);

    // Auto-focus measures the middle of the image: the far quad.
    const Image autoFocus = RenderWith([](FrameSettings& s) { s.post.DofAutoFocus = 1; });
    EXPECT_LT(LocalContrast(autoFocus, kSize, nearQuad), LocalContrast(plain, kSize, nearQuad) * 0.6f);
    EXPECT_GT(LocalContrast(autoFocus, kSize, farQuad), LocalContrast(plain, kSize, farQuad) * 0.9f);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST(DofLensParameters, KeepTheFocusBeyondTheFocalLength) {
    ProjectTavrin::PostParams p;
    p.DofFocusDistance = 0.01f;  // below the focal length (0.05)
    const auto c = ProjectTavrin::DofLensParameters(p, 1920, 1080);
    EXPECT_GE(c.distance, p.DofFocalLength);
    EXPECT_TRUE(std::isfinite(c.lensCoeff));
    EXPECT_FLOAT_EQ(c.maxCoC, std::min(0.05f, 18.0f / 1080.0f));
    EXPECT_FLOAT_EQ(c.rcpAspect, 1080.0f / 1920.0f);
    p.DofFocusDistance = 10.0f;
    EXPECT_FLOAT_EQ(ProjectTavrin::DofLensParameters(p, 1920, 1080).lensCoeff, 0.0025f / (9.95f * 1.4f * 0.048f));
}

// ---- lens flare ----

// The flare and its ghosts show with the sun ahead of the camera and on the image; with the sun
// behind the camera, or ahead but off the image, or hidden behind a surface, the image stays
// exactly as without the flare.
TEST_F(PostPasses, LensFlareAppearsOnlyWithTheSunOnScreen) {
    AddModel({Quad{{-2.0f, -1.0f, 0}, 0.8f, {0.5f, 0.5f, 0.5f, 1}}});
    const Image plain = RenderWith([](FrameSettings&) {});
    auto flare = [&](Math::vec3 sun) {
        return RenderWith(
            [&](FrameSettings& s) {
                s.render.LensFlareEnable = true;
                s.post.LensFlareSunPosition = sun;
            },
            6);
    };
    const Image onScreen = flare({400, 300, -9000});
    EXPECT_GT(ChangedPixels(onScreen, plain), kSize * kSize / 8);
    EXPECT_EQ(renderer->GetPassLog().Names().back(), "OutputCopy");
    renderer->ResetTemporalHistory();
    EXPECT_EQ(ChangedPixels(flare({0, 0, 9000}), plain), 0u) << "behind the camera";
    renderer->ResetTemporalHistory();
    EXPECT_EQ(ChangedPixels(flare({9000, 0, -100}), plain), 0u) << "ahead but far to the side";
    renderer->ResetTemporalHistory();
    EXPECT_EQ(ChangedPixels(flare({-2.0f * 900, -1.0f * 900, -9000}), plain), 0u) << "behind the quad";
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

TEST(LensFlarePlacement, ProjectsTheSunAndMeasuresHowItFacesTheCamera) {
    ProjectTavrin::CameraBuffer camera;
    camera.view = Math::LookAtRH({0, 0, 10}, {0, 0, 0}, {0, 1, 0});
    camera.projection = Math::PerspectiveFovRH(Math::kPi / 2, 1.0f, 1.0f, 16384.0f);
    camera.cameraWorldPos = {0, 0, 10, 0};
    camera.cameraViewDir = {0, 0, -1, 0};
    const auto ahead = ProjectTavrin::PlaceLensFlare(camera, {0, 0, -990}, 200, 100);
    EXPECT_EQ(ahead.x, 100);
    EXPECT_EQ(ahead.y, 50);
    EXPECT_NEAR(ahead.facing, 1.0f, 1e-6f);
    EXPECT_NEAR(ahead.distance, 1000.0f, 1e-3f);
    // Up and to the right of the centre: right and above in the image.
    const auto corner = ProjectTavrin::PlaceLensFlare(camera, {500, 500, -490}, 200, 100);
    EXPECT_GT(corner.x, 100);
    EXPECT_LT(corner.y, 50);
    EXPECT_LT(ProjectTavrin::PlaceLensFlare(camera, {0, 0, 1000}, 200, 100).facing, 0.0f);
}

// ---- volumetric light ----

// The air in front of the empty background brightens with the light scattered in it; turned
// towards the sun (forward scattering) it brightens more.
TEST_F(PostPasses, VolumetricLightBrightensTheAir) {
    const Image plain = RenderWith([](FrameSettings&) {});
    const Image lit = RenderWith([](FrameSettings& s) {
        s.render.VolumetricLightEnable = true;
        s.post.volumetric.UseNoise = false;
        s.post.volumetric.MaxRayLength = 100.0f;
    });
    EXPECT_GT(Luma(Pixel(lit, 32, 32)), Luma(Pixel(plain, 32, 32)) + 0.05f);
    // Forward scattering: with the light travelling towards the camera, the air is brighter.
    const Image towards = RenderWith([](FrameSettings& s) {
        s.post.volumetric.MieG = 0.6f;
        s.post.volumetric.LightDir = {0, 0, 1};
    });
    const Image away = RenderWith([](FrameSettings& s) { s.post.volumetric.LightDir = {0, 0, -1}; });
    EXPECT_GT(Luma(Pixel(towards, 32, 32)), Luma(Pixel(away, 32, 32)) + 0.05f);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// A roof over the left half of the view, the sun high above: the air under the roof lies in its
// shadow. With the sun's shadows on, volumetric light brightens the right half (lit air) and not
// the left; with them off, both halves gain alike.
TEST_F(PostPasses, VolumetricLightBrightensLitAirAndNotAirInShadow) {
    Quad roof{{-15, 3, -5}, 15.0f, {0.5f, 0.5f, 0.5f, 1}};
    roof.ground = true;
    roof.bothFace = true;
    roof.castsShadow = true;
    AddModel({roof, Quad{{0, 0, -20}, 20.0f, {0.3f, 0.3f, 0.3f, 1}}});
    auto gains = [&](bool sunShadows) {
        renderer->Settings().Edit([&](FrameSettings& s) {
            s.render.config.SunLightEnable = sunShadows ? 1 : 0;
            s.render.config.SunDirection = Math::Normalize(Math::vec3{0.1f, 1.0f, 0.05f});
            s.render.VolumetricLightEnable = false;
            s.post.BloomStrength = 0.0f;
            s.post.volumetric.UseNoise = false;
            s.post.volumetric.MaxRayLength = 100.0f;
        });
        const Image plain = RenderWith([](FrameSettings&) {});
        const Image lit = RenderWith([](FrameSettings& s) { s.render.VolumetricLightEnable = true; });
        EXPECT_EQ(renderer->CurrentSettings().post.volumetric.UseShadow, sunShadows);
        float left = 0, right = 0;
        for (uint32_t y = 24; y < 40; ++y)
            for (uint32_t x = 4; x < 20; ++x) {
                left += Luma(Pixel(lit, x, y)) - Luma(Pixel(plain, x, y));
                right += Luma(Pixel(lit, kSize - 1 - x, y)) - Luma(Pixel(plain, kSize - 1 - x, y));
            }
        return std::pair{left / 256.0f, right / 256.0f};
    };
    const auto [shadowedLeft, litRight] = gains(true);
    EXPECT_GT(litRight, 0.05f);
    EXPECT_LT(shadowedLeft, litRight * 0.3f);
    const auto [openLeft, openRight] = gains(false);
    EXPECT_GT(openLeft, 0.05f);
    EXPECT_NEAR(openLeft, openRight, 0.2f * openRight);
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// ---- temporal history ----

// After ResetTemporalHistory the next frame is the one a fresh renderer would draw: nothing of
// the earlier frames (which showed another colour) reaches it through the history.
TEST_F(PostPasses, ResetTemporalHistoryStartsTheNextFrameAfresh) {
    auto& gpu = AddModel({Quad{{0, 0, 0}, 1.3f, {0.9f, 0.1f, 0.1f, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) { s.render.TaaEnable = true; });
    for (uint32_t f = 0; f < 6; ++f) Render(f);
    gpu.GetRenderMaterials()[0].diffuse = {0.1f, 0.2f, 0.9f, 1};
    Render(6);
    const Image carried = FinalImage();
    for (uint32_t f = 0; f < 6; ++f) Render(f);
    renderer->ResetTemporalHistory();
    Render(6);
    const Image fresh = FinalImage();

    // What a renderer that never saw the red quad draws for the same frame.
    renderer = std::make_unique<ProjectTavrin::SceneRenderer>(Engine::EngineCore::GetInstance());
    Render(6);
    const Image reference = FinalImage();
    EXPECT_EQ(ChangedPixels(fresh, reference), 0u);
    EXPECT_GT(ChangedPixels(carried, reference), 0u) << "the history must matter on this stage";
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

}  // namespace
}  // namespace RendererTest
