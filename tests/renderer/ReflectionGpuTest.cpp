// Ray-traced reflections on the test device: a red panel standing on a floor, seen from the stage
// camera. A mirror floor shows the panel where the mirror puts it (and only there), in the traced
// buffer and in the final picture; a rough floor blurs it away; probe light reaches what the
// reflections see only in probe GI mode; the temporal pass settles a rough floor's noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Engine/TextureLoader/HalfFloat.h"
#include "ddgi/DDGIPass.h"
#include "renderer/passes/EnvironmentMaps.h"
#include "renderer/passes/ReflectionPass.h"
#include "tests/renderer/EnvironmentImages.h"
#include "tests/renderer/RenderStage.h"

namespace RendererTest {
namespace {

using ProjectTavrin::FrameSettings;

struct Rgb {
    float r, g, b;
};

class ReflectionGpu : public RenderStage {
protected:
    void SetUp() override {
        RenderStage::SetUp();
        if (IsSkipped()) return;
        if (!Core().IsRaytracingSupported()) GTEST_SKIP() << "no ray tracing on this device";
    }

    /// A white floor (y = -2, 8 across) with material 0, and a red panel (material 1) standing
    /// on it at z = 0, facing the camera; `extra` joins as further materials.
    void BuildScene(float floorRoughness, const std::vector<Quad>& extra = {}) {
        Quad floor{{0, -2, 0}, 4.0f};
        floor.ground = true;
        std::vector<Quad> quads = {floor, Quad{{0, -1, 0}, 1.0f, {1, 0, 0, 1}}};
        quads.insert(quads.end(), extra.begin(), extra.end());
        ProjectTavrin::PMXModelGpu& gpu = AddModel(quads);
        gpu.GetRenderMaterials()[0].roughness = floorRoughness;
        gpu.GetRenderMaterials()[0].metallic = 1.0f;
        renderer->BuildRaytracingScene(ModelGpus(), {});
        ASSERT_NE(renderer->GetReflectionPass(), nullptr);
        SetCameraLookAt({0, 2, 10}, {0, -1.5f, 0});
    }

    void Configure(int32_t srMode, int32_t samples, bool temporal) {
        renderer->Settings().Edit([=](FrameSettings& s) {
            s.render.TaaEnable = false;
            s.render.config.SR_Mode = srMode;
            s.post.reflection.NumSamples = samples;
            s.post.reflection.Temporal = temporal;
        });
    }

    /// The texel of the reflection buffers under the floor point seen at world position `p`.
    std::pair<uint32_t, uint32_t> TexelOf(Math::vec3 p) {
        const Math::vec2 pixel = PixelOf(p);
        EXPECT_TRUE(pixel.x >= 0 && pixel.y >= 0 && pixel.x < kSize && pixel.y < kSize) << "off the picture";
        const ProjectTavrin::ReflectionPass& pass = *renderer->GetReflectionPass();
        return {uint32_t(pixel.x * pass.Width() / kSize), uint32_t(pixel.y * pass.Height() / kSize)};
    }

    /// A half-float RGBA buffer's colour at world point `p`'s texel.
    Rgb Read(Engine::ColorBuffer& buffer, Math::vec3 p) {
        const auto [x, y] = TexelOf(p);
        Engine::ReadbackBuffer readback;
        const uint8_t* bytes = readback.ReadBack(buffer);
        uint16_t half[4];
        std::memcpy(half, bytes + y * readback.RowPitch() + x * 8, 8);
        return {Engine::HalfToFloat(half[0]), Engine::HalfToFloat(half[1]), Engine::HalfToFloat(half[2])};
    }

    // The panel's centre (0, -1, 0) mirrored in the floor is (0, -3, 0): the camera at (0, 2, 10)
    // sees it through the floor at z = 2. Beside it, at x = 1.8, the mirror shows open sky.
    const Math::vec3 kInMirror{0, -2, 2};
    const Math::vec3 kBeside{1.8f, -2, 2};
};

TEST_F(ReflectionGpu, MirrorFloorShowsThePanelWhereTheMirrorPutsIt) {
    EXPECT_EQ(ProjectTavrin::ReflectionPass::SizeFor(1920), 1279u);
    EXPECT_EQ(ProjectTavrin::ReflectionPass::SizeFor(1080), 719u);
    BuildScene(0.0f);
    Configure(0, 8, false);
    Render(0);
    const Math::vec2 at = PixelOf(kInMirror);
    const Rgba8 withoutReflections = Pixel(FinalImage(), uint32_t(at.x), uint32_t(at.y));

    Configure(1, 8, false);
    Render(1);
    ProjectTavrin::ReflectionPass& pass = *renderer->GetReflectionPass();
    ASSERT_EQ(pass.Width(), 42u);
    EXPECT_TRUE(renderer->GetPassLog().Contains("SRRaytracing"));
    EXPECT_FALSE(renderer->GetPassLog().Contains("SRTemporal"));
    EXPECT_EQ(renderer->LastPassResults().specularReflectionMap, pass.Color().srvHandle.Gpu()) << "the trace without the temporal pass";
    const Rgb panel = Read(pass.Color(), kInMirror), sky = Read(pass.Color(), kBeside);
    EXPECT_GT(panel.r, 0.3f) << "the lit red panel";
    EXPECT_LT(panel.g, panel.r * 0.1f);
    EXPECT_LT(panel.b, panel.r * 0.1f);
    EXPECT_GT(sky.r, 0.3f) << "the ambient light of the open sky";
    EXPECT_NEAR(sky.r, sky.g, 0.02f);
    EXPECT_NEAR(sky.r, sky.b, 0.02f);

    // The metal floor of the final picture turns from the sky's grey to the panel's red.
    const Rgba8 withReflections = Pixel(FinalImage(), uint32_t(at.x), uint32_t(at.y));
    EXPECT_NEAR(withoutReflections.r, withoutReflections.g, 8);
    EXPECT_GT(withReflections.r, withReflections.g + 60);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// A floor of roughness 1 scatters its reflections over the hemisphere: the panel's red spreads
// beside its mirror image and thins out within it, so the step a mirror shows between the two
// mostly goes. With the temporal switch on, a still frame's noise falls frame by frame towards
// the many-ray answer, until the history is reset.
TEST_F(ReflectionGpu, RoughFloorShowsNoSharpImageAndSettlesOverFrames) {
    BuildScene(0.0f);
    Configure(1, 64, false);
    ProjectTavrin::ReflectionPass& pass = *renderer->GetReflectionPass();
    auto redStep = [&] {
        const Rgb in = Read(pass.Color(), kInMirror), beside = Read(pass.Color(), kBeside);
        return (in.r - in.g) - (beside.r - beside.g);
    };
    Render(0);
    const float mirror = redStep();
    ModelGpus()[0]->GetRenderMaterials()[0].roughness = 1.0f;
    Render(1);
    const float rough = redStep();
    EXPECT_GT(mirror, 0.5f);
    EXPECT_LT(rough, mirror * 0.5f) << "no sharp red image";

    // Reference: 64 rays; then 2 rays a frame, accumulated.
    Engine::ReadbackBuffer readback;
    auto rows = [&](Engine::ColorBuffer& buffer) {
        const uint8_t* bytes = readback.ReadBack(buffer);
        std::vector<float> green;
        for (uint32_t y = 30; y < 40; ++y)
            for (uint32_t x = 8; x < 34; ++x) {
                uint16_t half[4];
                std::memcpy(half, bytes + y * readback.RowPitch() + x * 8, 8);
                green.push_back(Engine::HalfToFloat(half[1]));
            }
        return green;
    };
    const std::vector<float> reference = rows(pass.Color());
    auto error = [&](const std::vector<float>& values) {
        double sum = 0;
        for (size_t i = 0; i < values.size(); ++i) sum += std::pow(values[i] - reference[i], 2.0);
        return std::sqrt(sum / double(values.size()));
    };
    Configure(1, 2, true);
    std::vector<double> errors;
    for (uint32_t frame = 2; frame <= 13; ++frame) {
        Render(frame);
        errors.push_back(error(rows(pass.Result())));
    }
    EXPECT_TRUE(renderer->GetPassLog().Contains("SRTemporal"));
    EXPECT_EQ(renderer->LastPassResults().specularReflectionMap, pass.Result().srvHandle.Gpu());
    EXPECT_LT(errors.back(), errors.front() * 0.6) << "after 12 frames: " << errors.back() << " against " << errors.front();

    // A seek or an export's first frame forgets the history: the result is that frame's trace.
    renderer->ResetTemporalHistory();
    Render(14);
    EXPECT_EQ(rows(pass.Result()), rows(pass.Color()));
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// A sky loaded just now has an empty lighting cube until the frame's sky step accumulates into
// it, after the reflections trace: the first frame's open-sky reflection is the uniform ambient
// light (not black), the later ones the sky's blue.
TEST_F(ReflectionGpu, ReflectionsSeeTheSkyOnceItsLightingCubeHasBegun) {
    BuildScene(0.0f);
    renderer->GetEnvironment().Load(Core(), EquirectImage(64, 32, [](Math::vec3) { return Math::vec3{0.2f, 0.4f, 1.0f}; }));
    renderer->Settings().Edit([](FrameSettings& s) { s.render.config.IBL_Enable = 1; });
    Configure(1, 8, false);
    Render(0);
    const Rgb first = Read(renderer->GetReflectionPass()->Color(), kBeside);
    EXPECT_GT(first.r, 0.3f);
    EXPECT_NEAR(first.r, first.b, 0.02f) << "the uniform ambient light";
    for (uint32_t frame = 1; frame <= 3; ++frame) Render(frame);
    const Rgb later = Read(renderer->GetReflectionPass()->Color(), kBeside);
    EXPECT_GT(later.b, 2.0f * later.r) << "the sky";
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// No sun and no ambient light: the panel is lit only by a glowing ceiling's light, which only the
// probes carry. The mirror shows it lit in probe GI mode, and black in the voxel mode and with GI
// off, whose reflections never read the probes.
TEST_F(ReflectionGpu, ReflectionsCarryProbeLightOnlyInProbeMode) {
    Quad ceiling;
    ceiling.corners = {{-4, 3, -4}, {4, 3, -4}, {4, 3, 4}, {-4, 3, 4}};
    ceiling.normal = {0, -1, 0};
    BuildScene(0.0f, {ceiling});
    ModelGpus()[0]->GetRenderMaterials()[2].emission = 2.0f;
    ddgi::ProbeVolumeDesc d;
    d.name = "test";
    d.probeCounts[0] = d.probeCounts[1] = d.probeCounts[2] = 3;
    d.probeSpacing = {2.5f, 2.5f, 2.5f};
    d.maxRayDistance = 100.0f;
    d.viewBias = 0.0f;
    d.normalBias = 0.05f;
    d.hysteresis = 0.0f;
    d.brightnessThreshold = 10.0f;
    ASSERT_TRUE(renderer->GetDDGIPass()->SetVolumeDescs({d}));
    renderer->Settings().Edit([](FrameSettings& s) {
        s.render.config.SunIntensity = 0.0f;
        s.render.config.AmbientIntensity = 0.0f;
    });
    Configure(1, 8, false);

    auto panelInMirror = [&](int32_t giMode, uint32_t frames, uint32_t& counter) {
        renderer->Settings().Edit([=](FrameSettings& s) { s.render.config.GI_Mode = giMode; });
        for (uint32_t i = 0; i < frames; ++i) Render(counter++);
        return Read(renderer->GetReflectionPass()->Color(), kInMirror);
    };
    uint32_t counter = 0;
    const Rgb probes = panelInMirror(1, 4, counter);
    EXPECT_TRUE(renderer->GetPassLog().Contains("ProbeVolumeUpdate"));
    EXPECT_GT(probes.r, 0.02f) << "probe light on the panel";
    EXPECT_LT(probes.g, probes.r * 0.1f);
    const Rgb voxels = panelInMirror(2, 1, counter);
    EXPECT_LT(voxels.r, 1e-3f);
    const Rgb off = panelInMirror(0, 1, counter);
    EXPECT_LT(off.r, 1e-3f);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace RendererTest
