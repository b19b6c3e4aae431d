// The frame as a whole: which passes a fresh renderer runs, what the settings switch on and off,
// the per-frame settings upload, and the render-size rules on a live renderer.
#include "tests/renderer/RenderStage.h"

#include <numeric>

#include "Engine/TextureLoader/ColorFilterLut.h"
#include "renderer/passes/BloomPass.h"
#include "renderer/passes/EnvironmentMaps.h"
#include "renderer/passes/FinalCopyPass.h"
#include "renderer/passes/TaaPass.h"
#include "tests/renderer/EnvironmentImages.h"

namespace RendererTest {
namespace {

using ProjectTavrin::FrameSettings;
using Names = std::vector<std::string>;

using SceneRendererGpu = RenderStage;

TEST_F(SceneRendererGpu, FreshRendererRunsTheDefaultPasses) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {0.5f, 0.5f, 0.5f, 1}}});
    Engine::GetColorFilterLut() = Engine::TextureResource{};
    Render();
    EXPECT_EQ(renderer->GetPassLog().Names(),
              (Names{"Main Draw", "RenderModel", "Resolve", "ResolveDepth", "Bloom", "TAA", "FinalCopy", "OutputCopy"}));

    // With a colour-grading table loaded the filter runs after TAA; strength 0 leaves it out.
    Engine::LoadColorFilterLut("<Sample>");
    ASSERT_FALSE(Engine::GetColorFilterLut().srv.IsNull());
    Render(1);
    EXPECT_EQ(renderer->GetPassLog().Names(),
              (Names{"Main Draw", "RenderModel", "Resolve", "ResolveDepth", "Bloom", "TAA", "ColorFilter", "FinalCopy", "OutputCopy"}));
    renderer->Settings().Edit([](FrameSettings& s) {
        s.post.ColorFilterStrength = 0.0f;
        s.render.TaaEnable = false;
    });
    Render(2);
    EXPECT_EQ(renderer->GetPassLog().Names(), (Names{"Main Draw", "RenderModel", "Resolve", "ResolveDepth", "Bloom", "FinalCopy", "OutputCopy"}));
    Engine::GetColorFilterLut() = Engine::TextureResource{};
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// With GPU times on, every pass of the pass log is timed, in the same order, each nested pass
// within the pass holding it and the top-level passes within the frame; off again, nothing is.
TEST_F(SceneRendererGpu, GpuTimesCoverEveryPassOfTheFrame) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {0.5f, 0.5f, 0.5f, 1}}});
    if (Device().Limits().timestampValidBits == 0) GTEST_SKIP() << "the queue writes no timestamps";
    EXPECT_TRUE(renderer->CollectGpuTimes(true).empty());
    ASSERT_TRUE(renderer->EnableGpuTimes(true));
    for (uint32_t f = 0; f < 3; ++f) Render(f);
    const auto frames = renderer->CollectGpuTimes(true);
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& frame : frames) {
        Names names;
        double topLevel = 0;
        for (const auto& scope : frame.scopes) {
            names.push_back(scope.name);
            EXPECT_GE(scope.milliseconds, 0.0) << scope.name;
            if (scope.parent < 0) {
                topLevel += scope.milliseconds;
                continue;
            }
            const auto& parent = frame.scopes.at(size_t(scope.parent));
            EXPECT_LE(scope.milliseconds, parent.milliseconds) << scope.name << " in " << parent.name;
            EXPECT_EQ(scope.depth, parent.depth + 1);
        }
        EXPECT_EQ(names, renderer->GetPassLog().Names());
        EXPECT_LE(topLevel, frame.milliseconds * (1 + 1e-9));
        EXPECT_EQ(frame.scopes.at(1).name, "RenderModel");
        EXPECT_EQ(frame.scopes.at(1).parent, 0);
    }
    renderer->EnableGpuTimes(false);
    Render(3);
    EXPECT_TRUE(renderer->CollectGpuTimes(true).empty());
}

// Every step of the frame, in order, whatever the settings ask for. With every pass switched on,
// the sun's shadows record before the main draw (casters, then each cascade's conversion and
// blur; the second cascade of this view needs no blur) and the pass log holds each post pass in
// frame order (with the steps the larger ones log inside them). Ray tracing, sky and ocean also
// need objects this renderer does not hold (no ray-traced scene, no sky), and the colour filter a
// table.
TEST_F(SceneRendererGpu, EveryStepRunsInFrameOrderAndEveryWrittenPassRecords) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {0.5f, 0.5f, 0.5f, 1}}});
    Engine::GetColorFilterLut() = Engine::TextureResource{};
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.config.SunLightEnable = 1;
        s.render.config.IBL_Enable = 1;
        s.render.config.AO_Mode = 1;
        s.render.config.SR_Mode = 1;
        s.render.config.GI_Mode = 1;
        s.render.OceanEnable = true;
        s.render.VolumetricLightEnable = true;
        s.render.FxaaEnable = true;
        s.post.SoftenStrength = 1.0f;
        s.post.SharpenAmount = 10.0f;
        s.post.VignetteAmount = 0.5f;
        s.render.MotionBlurLength = 1.0f;
        s.render.DofEnable = true;
        s.render.LensFlareEnable = true;
    });
    Render();
    Names order, wanted;
    for (const ProjectTavrin::FrameStepEntry& e : renderer->GetStepLog().Entries()) {
        order.emplace_back(ProjectTavrin::FrameStepName(e.step));
        if (e.wanted) wanted.emplace_back(ProjectTavrin::FrameStepName(e.step));
    }
    EXPECT_EQ(order, (Names{"ResetCommandList", "ShadowMap", "UpdateRayTracingScene", "RayTracedAmbientOcclusion",
                            "RayTracedReflections", "ProbeVolumeUpdate", "VoxelGi", "SkyLightingMaps", "Viewport",
                            "ClearSceneTargets", "Sky", "Ocean", "Models", "Outline", "Resolve", "ScreenSpaceAmbientOcclusion",
                            "BloomAndToneMap", "VolumetricLight", "TemporalAntiAliasing", "Fxaa", "ColorFilter",
                            "Soften", "Sharpen", "Vignette", "MotionBlur", "DepthOfField", "LensFlare", "FinalCopy",
                            "OutputCopy", "Submit"}));
    EXPECT_EQ(wanted, (Names{"ResetCommandList", "ShadowMap", "Viewport", "ClearSceneTargets", "Models",
                             "Outline", "Resolve", "ScreenSpaceAmbientOcclusion", "BloomAndToneMap", "VolumetricLight",
                             "TemporalAntiAliasing", "Fxaa", "Soften", "Sharpen", "Vignette", "MotionBlur",
                             "DepthOfField", "LensFlare", "FinalCopy", "OutputCopy", "Submit"}));
    EXPECT_EQ(renderer->GetPassLog().Names(),
              (Names{"ShadowMap", "ShadowCasters", "ConvertToVSM", "BlurVSM_X", "BlurVSM_Y", "ConvertToVSM", "Main Draw",
                     "RenderModel", "Resolve", "ResolveDepth", "SSAO", "PrepareDepthBuffers1", "PrepareDepthBuffers2",
                     "SSAOCompute", "Bloom", "VolumetricLight", "VolumetricLightingPass", "TAA", "FXAA", "Soften",
                     "Sharpen", "Vignette", "MotionBlur", "DepthOfField", "LensFlare", "FinalCopy", "OutputCopy"}));
    EXPECT_EQ(NewValidationMessages(), 0u) << Device().LastValidationMessage();
}

// With a sky loaded the same frame gains the lighting cube's step (timed on its own before the
// main draw), then the sky and the ocean inside the main draw, before the models.
TEST_F(SceneRendererGpu, WithASkyTheMainDrawGainsItsPasses) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {0.5f, 0.5f, 0.5f, 1}}});
    Engine::GetColorFilterLut() = Engine::TextureResource{};
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.config.IBL_Enable = 1;
        s.render.OceanEnable = true;
    });
    renderer->GetEnvironment().Load(Core(), EquirectImage(64, 32, [](Math::vec3) { return Math::vec3{0.2f, 0.4f, 0.8f}; }));
    Render();
    Names wanted;
    for (const ProjectTavrin::FrameStepEntry& e : renderer->GetStepLog().Entries())
        if (e.wanted) wanted.emplace_back(ProjectTavrin::FrameStepName(e.step));
    EXPECT_EQ(wanted, (Names{"ResetCommandList", "SkyLightingMaps", "Viewport", "ClearSceneTargets", "Sky", "Ocean", "Models",
                             "Outline", "Resolve", "BloomAndToneMap", "TemporalAntiAliasing", "FinalCopy", "OutputCopy", "Submit"}));
    EXPECT_EQ(renderer->GetPassLog().Names(),
              (Names{"UpdateAmbientCubemap", "Main Draw", "Sky", "Ocean", "RenderModel", "Resolve", "ResolveDepth", "Bloom",
                     "TAA", "FinalCopy", "OutputCopy"}));
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The sky fills the background only while IBL_Enable is set; the lighting cube it feeds tints a
// white quad with the sky's colour then, and without a sky neither happens.
TEST_F(SceneRendererGpu, SkyDrawsOnlyWithIblEnable) {
    AddModel({Quad{{0, 0, 0}, 0.6f, {1, 1, 1, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.render.config.SunIntensity = 0.0f;
    });
    renderer->GetEnvironment().Load(Core(), EquirectImage(64, 32, [](Math::vec3) { return Math::vec3{0.1f, 0.3f, 0.9f}; }));
    Render();
    std::vector<Rgba8> image = FinalImage();
    const Rgba8 quadWithoutIbl = Pixel(image, 32, 32);
    EXPECT_EQ(Pixel(image, 2, 2).r + Pixel(image, 2, 2).g + Pixel(image, 2, 2).b, 0) << "no sky without IBL_Enable";
    EXPECT_FALSE(renderer->GetPassLog().Contains("Sky"));
    EXPECT_NEAR(quadWithoutIbl.r, quadWithoutIbl.b, 2) << "the constant ambient is white";

    renderer->Settings().Edit([](FrameSettings& s) { s.render.config.IBL_Enable = 1; });
    Render(1);
    image = FinalImage();
    const Rgba8 sky = Pixel(image, 2, 2);
    EXPECT_GT(sky.b, 100);
    EXPECT_GT(sky.b, sky.r + 60);
    EXPECT_TRUE(renderer->GetPassLog().Contains("Sky"));
    const Rgba8 quad = Pixel(image, 32, 32);
    EXPECT_GT(quad.b, quad.r + 40) << "lit by the blue sky";

    renderer->UnloadEnvironment();
    Render(2);
    image = FinalImage();
    EXPECT_EQ(Pixel(image, 2, 2).b, 0);
    EXPECT_FALSE(renderer->GetPassLog().Contains("Sky"));
    EXPECT_NEAR(Pixel(image, 32, 32).r, Pixel(image, 32, 32).b, 2);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The ocean needs an environment to reflect: switched on without one it draws nothing; with
// one it covers the lower half of the view below the surface height, the upper half stays clear.
TEST_F(SceneRendererGpu, OceanDrawsOnlyWithAnEnvironment) {
    AddModel({Quad{{2.2f, 2.2f, 0}, 0.2f}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.render.OceanEnable = true;
        s.render.ocean.SEA_SURFACE_HEIGHT = -3.0f;
    });
    Render();
    std::vector<Rgba8> image = FinalImage();
    EXPECT_EQ(Pixel(image, 32, 60).r + Pixel(image, 32, 60).g + Pixel(image, 32, 60).b, 0);
    EXPECT_FALSE(renderer->GetPassLog().Contains("Ocean"));

    renderer->GetEnvironment().Load(Core(), EquirectImage(64, 32, [](Math::vec3 d) {
        return d.y > 0 ? Math::vec3{0.3f, 0.5f, 0.9f} : Math::vec3{0.1f, 0.1f, 0.1f};
    }));
    Render(1);
    image = FinalImage();
    EXPECT_TRUE(renderer->GetPassLog().Contains("Ocean"));
    const Rgba8 water = Pixel(image, 32, 60);
    EXPECT_GT(water.r + water.g + water.b, 60) << "the surface below the camera";
    EXPECT_GT(water.b, water.r) << "reflecting the blue sky";
    EXPECT_EQ(Pixel(image, 32, 4).r + Pixel(image, 32, 4).g + Pixel(image, 32, 4).b, 0) << "above the horizon: no sky without IBL";
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The resolved scene depth holds what the main draw drew: a nearer quad has a smaller depth
// than a farther one, and the empty background keeps the clear depth.
TEST_F(SceneRendererGpu, ResolvedDepthHoldsTheDrawnGeometry) {
    AddModel({Quad{{-1.5f, 0, 2}, 0.8f}, Quad{{1.5f, 0, -4}, 1.2f}});
    renderer->Settings().Edit([](FrameSettings& s) { s.render.TaaEnable = false; });
    Render();
    Engine::ReadbackBuffer readback;
    auto& depth = renderer->Targets().depth;
    ASSERT_EQ(depth.Width(), kSize);
    const uint8_t* bytes = readback.ReadBack(depth);
    auto at = [&](uint32_t x, uint32_t y) {
        float d = 0;
        std::memcpy(&d, bytes + y * readback.RowPitch() + x * 4, 4);
        return d;
    };
    const float nearQuad = at(14, 32), farQuad = at(48, 32), background = at(32, 4);
    EXPECT_GT(nearQuad, 0.0f);
    EXPECT_LT(nearQuad, farQuad);
    EXPECT_LT(farQuad, 1.0f);
    EXPECT_EQ(background, 1.0f);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// TAA linearises the resolved depth into the buffer of this frame's history index: view distance
// over the far plane (16384), so a quad 8 units from the camera reads 8 / 16384 of the unorm range.
TEST_F(SceneRendererGpu, TaaLinearisesTheResolvedDepthIntoThisFramesBuffer) {
    AddModel({Quad{{-1.5f, 0, 2}, 0.8f}, Quad{{1.5f, 0, -4}, 1.2f}});
    Render(3);  // history index 1
    Engine::ReadbackBuffer readback;
    auto& taa = const_cast<ProjectTavrin::TaaPass&>(renderer->GetTaaPass());
    const uint8_t* bytes = readback.ReadBack(taa.LinearDepth(1));
    auto at = [&](uint32_t x, uint32_t y) {
        uint16_t v = 0;
        std::memcpy(&v, bytes + y * readback.RowPitch() + x * 2, 2);
        return float(v) / 65535.0f * 16384.0f;  // view distance
    };
    EXPECT_NEAR(at(14, 32), 8.0f, 0.5f);
    EXPECT_NEAR(at(48, 32), 14.0f, 0.5f);
    EXPECT_NEAR(at(32, 4), 16384.0f, 1.0f);  // nothing drawn: the far plane
    // The other buffer, not written yet, holds the far plane it was cleared to.
    const uint8_t* unwritten = readback.ReadBack(taa.LinearDepth(0));
    for (uint32_t y = 0; y < kSize; y += 7)
        for (uint32_t x = 0; x < kSize; x += 7) {
            uint16_t v = 0;
            std::memcpy(&v, unwritten + y * readback.RowPitch() + x * 2, 2);
            EXPECT_EQ(v, 65535) << x << ", " << y;
        }
    // The next frame writes the other buffer and leaves this one for its blend to read.
    Render(4);
    const uint8_t* next = readback.ReadBack(taa.LinearDepth(0));
    uint16_t v = 0;
    std::memcpy(&v, next + 32 * readback.RowPitch() + 14 * 2, 2);
    EXPECT_NEAR(float(v) / 65535.0f * 16384.0f, 8.0f, 0.5f);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// A red quad in front of a fine black-and-white checker goes away: the pixels it covered show the
// checker at once. The colour clamp alone would keep most of the red, since the checker's
// neighbourhood spans from black to white; the history's depth (the quad's) is what drops it.
TEST_F(SceneRendererGpu, TaaDropsHistoryFromASurfaceThatIsGone) {
    std::vector<Quad> checker;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const float c = (x + y) % 2 ? 1.0f : 0.0f;
            checker.push_back(Quad{{-0.875f + 0.25f * x, -0.875f + 0.25f * y, -4}, 0.125f, {c, c, c, 1}});
        }
    AddModel(checker);
    AddModel({Quad{{0, 0, 2}, 0.5f, {1, 0, 0, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.post.BloomStrength = 0.0f;
        s.post.TaaSharpness = 0.0f;
        s.post.TaaSpeedExponent = 6.0f;  // the history weighs 63 / 64
    });
    for (uint32_t f = 0; f < 6; ++f) Render(f);
    const Rgba8 covered = Pixel(FinalImage(), 32, 32);
    ASSERT_GT(covered.r, covered.g + 60);
    MoveModel(1, {200, 0, 0});  // out of view
    Render(6);
    const auto image = FinalImage();
    for (uint32_t y = 30; y <= 34; ++y)
        for (uint32_t x = 30; x <= 34; ++x) {
            const Rgba8 p = Pixel(image, x, y);
            EXPECT_LE(std::abs(int(p.r) - int(p.g)), 12) << x << ", " << y;
        }
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(SceneRendererGpu, JitterFollowsTheFrameCounterOnlyWithTaa) {
    AddModel({Quad{{0, 0, 0}, 1.0f}});
    Render(8);
    EXPECT_EQ(renderer->LastJitter().offset.x, 0.0f);
    EXPECT_EQ(renderer->LastJitter().delta.x, 0.5f);  // from the initial (0.5, 0.5)
    Render(9);
    EXPECT_EQ(renderer->LastJitter().offset.x, 0.5f);
    EXPECT_EQ(renderer->LastJitter().historyIndex, 1u);
    renderer->Settings().Edit([](FrameSettings& s) { s.render.TaaEnable = false; });
    Render(10);
    EXPECT_EQ(renderer->LastJitter().offset.x, 0.5f);  // untouched: no jitter this frame
}

// A still scene keeps its colours through the temporal blend: after several jittered frames
// the middle of a flat quad matches the unjittered image.
TEST_F(SceneRendererGpu, TemporalBlendKeepsAStillImage) {
    AddModel({Quad{{0, 0, 0}, 1.5f, {0.6f, 0.3f, 0.2f, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) { s.render.TaaEnable = false; });
    Render(0);
    const Rgba8 reference = Pixel(FinalImage(), 32, 32);
    renderer->Settings().Edit([](FrameSettings& s) { s.render.TaaEnable = true; });
    for (uint32_t f = 0; f < 12; ++f) Render(f);
    const Rgba8 blended = Pixel(FinalImage(), 32, 32);
    EXPECT_NEAR(blended.r, reference.r, 3);
    EXPECT_NEAR(blended.g, reference.g, 3);
    EXPECT_NEAR(blended.b, reference.b, 3);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(SceneRendererGpu, TaaWritesBackSharpenedFromASharpnessOfOneThousandth) {
    AddModel({Quad{{0, 0, 0}, 1.0f}});
    renderer->Settings().Edit([](FrameSettings& s) { s.post.TaaSharpness = 0.0005f; });
    Render(0);
    EXPECT_FALSE(renderer->GetTaaPass().LastUsedSharpen());
    renderer->Settings().Edit([](FrameSettings& s) { s.post.TaaSharpness = 0.001f; });
    Render(1);
    EXPECT_TRUE(renderer->GetTaaPass().LastUsedSharpen());
}

// The sharpened write-back lifts the inside of an edge above the plain write-back and leaves a
// flat area as it is (the centre's extra weight cancels its neighbours').
TEST_F(SceneRendererGpu, TaaSharpenLiftsEdgesAndKeepsFlatAreas) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {0.4f, 0.4f, 0.4f, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.post.BloomStrength = 0.0f;
        s.post.TaaSharpness = 0.0f;
    });
    // Frame 0 has no jitter and reads the cleared history, so the blend passes the image through.
    Render(0);
    const auto plain = FinalImage();
    renderer->Settings().Edit([](FrameSettings& s) { s.post.TaaSharpness = 1.0f; });
    Render(0);
    ASSERT_TRUE(renderer->GetTaaPass().LastUsedSharpen());
    const auto sharpened = FinalImage();

    const Rgba8 centre = Pixel(plain, 32, 32);
    ASSERT_GT(centre.r, 40);
    ASSERT_LT(centre.r, 160);  // room above for the lift
    EXPECT_NEAR(Pixel(sharpened, 32, 32).r, centre.r, 1);
    // The last column right of the centre that is still wholly inside the quad.
    uint32_t edge = 32;
    while (edge + 1 < kSize && Pixel(plain, edge + 1, 32).r + 2 >= centre.r) ++edge;
    ASSERT_LT(edge, kSize - 4);
    EXPECT_GT(Pixel(sharpened, edge, 32).r, Pixel(plain, edge, 32).r + 10) << "column " << edge;
    // Black past the edge stays black: the filter never goes below zero.
    EXPECT_EQ(Pixel(sharpened, edge + 3, 32).r, 0);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The HDR path: exposure scales the image; the filmic curve keeps bright light below white.
TEST_F(SceneRendererGpu, ToneMappingAppliesExposureAndTheCurve) {
    AddModel({Quad{{-2, 0, 0}, 0.8f, {0.4f, 0.4f, 0.4f, 1}}, Quad{{2, 0, 0}, 0.8f, {1, 1, 1, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.post.BloomStrength = 0.0f;
    });
    Render();
    const auto plain = FinalImage();
    renderer->Settings().Edit([](FrameSettings& s) {
        s.post.ToneMapEnable = true;
        s.post.Exposure = 4.0f;
    });
    // The exposure block is set at the end of each HDR frame, so it shows from the next one on.
    Render();
    Render();
    const auto mapped = FinalImage();
    EXPECT_GT(Pixel(mapped, 8, 32).r, Pixel(plain, 8, 32).r + 40);  // brighter for the exposure
    EXPECT_LT(Pixel(mapped, 56, 32).r, 255);                       // 4x white still below white
    EXPECT_GT(Pixel(mapped, 56, 32).r, Pixel(mapped, 8, 32).r);
}

// The first `count` words of a GPU buffer (read through a copy; the pass moves the buffer back
// to unordered access when it next runs).
std::vector<uint32_t> ReadWords(Engine::EngineCore& core, Engine::UintBuffer& buffer, uint32_t count) {
    using namespace Engine::Platform;
    auto readback = core.GetDevice()->CreateCommittedResource(HeapType::Readback, ResourceDesc::Buffer(count * 4),
                                                              ResourceState::CopyDest);
    core.ResetCommandList();
    buffer.TransitionTo(*core.GetCommandList(), ResourceState::CopySource);
    core.GetCommandList()->CopyBufferRegion(*readback, 0, *buffer.GetResource(), 0, count * 4);
    core.ExecuteCommandList();
    core.WaitForGpu();
    std::vector<uint32_t> words(count);
    std::memcpy(words.data(), readback->Map(), count * 4);
    return words;
}

// The exposure block's first value, the exposure itself.
float ReadExposure(TavrinTest::GpuTest&, Engine::EngineCore& core, Engine::UintBuffer& buffer) {
    float value = 0;
    const uint32_t word = ReadWords(core, buffer, 1)[0];
    std::memcpy(&value, &word, 4);
    return value;
}

TEST_F(SceneRendererGpu, ExposureAdaptsTowardsTheTargetLuminance) {
    AddModel({Quad{{0, 0, 0}, 20.0f, {0.5f, 0.5f, 0.5f, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.post.BloomStrength = 0.0f;
        s.post.AdaptationEnable = true;
        s.post.AdaptationRate = 1.0f;
    });
    Render(0);
    const Rgba8 first = Pixel(FinalImage(), 32, 32);
    const float measured = (0.2126f * first.r + 0.7152f * first.g + 0.0722f * first.b) / 255.0f;
    ASSERT_GT(measured, 0.2f);
    const float exposure = ReadExposure(*this, Core(), renderer->GetBloomPass().ExposureBuffer());
    EXPECT_NEAR(exposure, 0.1f / measured, 0.1f * 0.1f / measured);
    EXPECT_TRUE(renderer->GetBloomPass().LastAdapted());
    // The next frame is exposed to the target.
    Render(1);
    EXPECT_NEAR(Pixel(FinalImage(), 32, 32).g, 0.1f * 255.0f, 4.0f);

    // Tone mapping without adaptation sets the exposure from the parameter every frame.
    renderer->Settings().Edit([](FrameSettings& s) {
        s.post.AdaptationEnable = false;
        s.post.ToneMapEnable = true;
        s.post.Exposure = 2.0f;
    });
    Render(2);
    EXPECT_FALSE(renderer->GetBloomPass().LastAdapted());
    EXPECT_EQ(ReadExposure(*this, Core(), renderer->GetBloomPass().ExposureBuffer()), 2.0f);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// With adaptation on, every frame's histogram holds one count per luma texel: it is cleared
// before it is counted. Black texels go to bin 0, lit ones never do.
TEST_F(SceneRendererGpu, ExposureHistogramCountsEachLumaTexelOncePerFrame) {
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.post.AdaptationEnable = true;
        s.post.AdaptationRate = 0.0f;
    });
    const ProjectTavrin::PixelSize luma = ProjectTavrin::BloomBaseSize({kSize, kSize});
    const uint32_t texels = luma.width * luma.height;
    auto histogram = [&] { return ReadWords(Core(), renderer->GetBloomPass().Histogram(), 256); };
    auto total = [](const std::vector<uint32_t>& bins) { return std::accumulate(bins.begin(), bins.end(), 0ull); };

    Render(0);  // nothing drawn
    std::vector<uint32_t> bins = histogram();
    EXPECT_EQ(total(bins), texels);
    EXPECT_EQ(bins[0], texels);

    AddModel({Quad{{0, 0, 0}, 20.0f, {0.5f, 0.5f, 0.5f, 1}}});  // fills the view
    Render(1);
    Render(2);
    bins = histogram();
    EXPECT_EQ(total(bins), texels);
    EXPECT_EQ(bins[0], 0u);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

TEST_F(SceneRendererGpu, BrightLightBloomsIntoItsSurroundings) {
    // An emissive quad far above 1.0 next to black: its light spreads past its edge.
    auto& gpu = AddModel({Quad{{0, 0, 0}, 0.5f, {1, 1, 1, 1}}});
    gpu.GetRenderMaterials()[0].emission = 20.0f;
    renderer->Settings().Edit([](FrameSettings& s) { s.render.TaaEnable = false; });
    Render();
    const auto glowing = FinalImage();
    renderer->Settings().Edit([](FrameSettings& s) { s.post.BloomStrength = 0.0f; });
    Render();
    const auto plain = FinalImage();
    // Two pixels right of the quad's edge (which is near column 38).
    EXPECT_GT(Pixel(glowing, 40, 32).r, Pixel(plain, 40, 32).r + 8);
    EXPECT_EQ(Pixel(plain, 40, 32).r, 0);
}

TEST_F(SceneRendererGpu, NoFrameWithoutTargets) {
    Core().SetHeadlessOutput(16, 16);
    ProjectTavrin::SceneRenderer tiny(Engine::EngineCore::GetInstance());
    EXPECT_FALSE(tiny.Targets().IsCreated());
    ProjectTavrin::FrameInputs inputs;
    EXPECT_FALSE(tiny.RenderFrame(inputs));
    EXPECT_FALSE(Core().IsCommandListOpen());
    Core().SetHeadlessOutput(float(kSize), float(kSize));
}

TEST_F(SceneRendererGpu, SettingsUploadFillsBothSlotsFirstAndTheOceanTime) {
    renderer->Settings().Edit([](FrameSettings& s) { s.render.config.SunIntensity = 3.5f; });
    renderer->UploadSettings(1, 12.5, Math::mat4{});
    EXPECT_FLOAT_EQ(renderer->UploadedOcean().SEA_TIME, 12.5f);
    EXPECT_EQ(renderer->CurrentSettings().render.ocean.SEA_TIME, 0.0f);
    EXPECT_NE(renderer->RenderConfigAddress(0), renderer->RenderConfigAddress(1));
    EXPECT_EQ(renderer->RenderConfigAddress(1) - renderer->RenderConfigAddress(0), 256u);
}

TEST_F(SceneRendererGpu, ExportSizeRendersLargerAndResamplesIntoTheOutput) {
    AddModel({Quad{{0, 0, 0}, 1.0f, {1, 1, 1, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.ExportWidth = 1024;
        s.render.ExportHeight = 512;
    });
    ASSERT_TRUE(renderer->CreateSceneBuffers());
    EXPECT_EQ(renderer->Targets().RenderSize(), (ProjectTavrin::PixelSize{1024, 512}));
    EXPECT_EQ(renderer->Targets().OutputSize(), (ProjectTavrin::PixelSize{kSize, kSize}));
    Render();
    EXPECT_TRUE(renderer->GetPassLog().Contains(ProjectTavrin::FinalCopyPass::kResampleName));
    // The output shows the wide image letterboxed: black bands above and below, the quad white.
    Engine::ReadbackBuffer readback;
    auto state = Engine::Platform::ResourceState::Present;
    const uint8_t* bytes = readback.ReadBack(*Core().GetRenderTarget(), state);
    EXPECT_EQ(bytes[4 * 32 + 2 * readback.RowPitch()], 0);               // top band
    EXPECT_GT(bytes[4 * 32 + 32 * readback.RowPitch()], 100);            // centre
    Core().ResetCommandList();
    const auto toPresent = Engine::Platform::ResourceBarrier::Transition(Core().GetRenderTarget(), state,
                                                                         Engine::Platform::ResourceState::Present);
    Core().GetCommandList()->ResourceBarrier(std::span(&toPresent, 1));
    SubmitAndWait();
    // Back to the window size: no resample.
    renderer->Settings().Edit([](FrameSettings& s) { s.render.ExportWidth = s.render.ExportHeight = 0; });
    ASSERT_TRUE(renderer->CreateSceneBuffers());
    Render();
    EXPECT_FALSE(renderer->GetPassLog().Contains(ProjectTavrin::FinalCopyPass::kResampleName));
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest

namespace RendererTest {
namespace {

// A two-entry table that inverts each channel: the graded image is the negative, mixed in by
// the strength.
TEST_F(RenderStage, ColorFilterGradesThroughTheTable) {
    const std::filesystem::path cube = std::filesystem::temp_directory_path() / "tavrin-invert.cube";
    {
        std::ofstream out(cube);
        out << "LUT_3D_SIZE 2\n";
        for (int b = 0; b < 2; ++b)
            for (int g = 0; g < 2; ++g)
                for (int r = 0; r < 2; ++r) out << 1 - r << " " << 1 - g << " " << 1 - b << "\n";
    }
    Engine::LoadColorFilterLut(cube);
    std::filesystem::remove(cube);
    ASSERT_FALSE(Engine::GetColorFilterLut().srv.IsNull());
    AddModel({Quad{{0, 0, 0}, 1.0f, {0.8f, 0.4f, 0.1f, 1}}});
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.TaaEnable = false;
        s.post.ColorFilterStrength = 0.0f;
    });
    Render();
    const Rgba8 plain = Pixel(FinalImage(), 32, 32);
    renderer->Settings().Edit([](FrameSettings& s) { s.post.ColorFilterStrength = 1.0f; });
    Render();
    const Rgba8 inverted = Pixel(FinalImage(), 32, 32);
    EXPECT_NEAR(inverted.r, 255 - plain.r, 3);
    EXPECT_NEAR(inverted.g, 255 - plain.g, 3);
    EXPECT_NEAR(inverted.b, 255 - plain.b, 3);
    renderer->Settings().Edit([](FrameSettings& s) { s.post.ColorFilterStrength = 0.5f; });
    Render();
    EXPECT_NEAR(Pixel(FinalImage(), 32, 32).r, 128, 3);
    Engine::GetColorFilterLut() = Engine::TextureResource{};
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest
