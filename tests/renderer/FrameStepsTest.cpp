// The rule of every frame step: which steps a fresh renderer's settings let work, which single
// step each setting switches on, and the objects the ray-traced and sky steps also need.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "renderer/FrameSteps.h"

namespace RendererTest {
namespace {

using namespace ProjectTavrin;

std::vector<FrameStep> WantedSteps(const FrameSettings& settings, const FrameResources& resources = {}) {
    std::vector<FrameStep> wanted;
    for (FrameStep step : AllFrameSteps())
        if (FrameStepWanted(step, settings, resources)) wanted.push_back(step);
    return wanted;
}

/// The steps that work in every frame (the outline's switch is on by default), with `extra`
/// added, in frame order.
std::vector<FrameStep> AlwaysRunAnd(std::vector<FrameStep> extra) {
    extra.insert(extra.end(), {FrameStep::ResetCommandList, FrameStep::Viewport, FrameStep::ClearSceneTargets,
                               FrameStep::Models, FrameStep::Outline, FrameStep::Resolve, FrameStep::BloomAndToneMap, FrameStep::FinalCopy,
                               FrameStep::OutputCopy, FrameStep::Submit});
    std::sort(extra.begin(), extra.end());
    return extra;
}

TEST(FrameSteps, StepsHaveDistinctNamesInFrameOrder) {
    std::set<std::string> names;
    const auto steps = AllFrameSteps();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(std::size_t(steps[i]), i);
        EXPECT_TRUE(names.insert(std::string(FrameStepName(steps[i]))).second) << FrameStepName(steps[i]);
    }
    EXPECT_EQ(steps.front(), FrameStep::ResetCommandList);
    EXPECT_EQ(steps.back(), FrameStep::Submit);
}

TEST(FrameSteps, FreshSettingsWantTheDrawBloomTaaAndCopiesOnly) {
    const FrameSettings fresh;
    EXPECT_EQ(WantedSteps(fresh), AlwaysRunAnd({FrameStep::TemporalAntiAliasing}));

    // The colour filter's default strength is 1: it runs as soon as a table is loaded.
    FrameResources withTable;
    withTable.colorFilterTable = true;
    EXPECT_EQ(WantedSteps(fresh, withTable), AlwaysRunAnd({FrameStep::TemporalAntiAliasing, FrameStep::ColorFilter}));
}

// Each setting on its own adds exactly its step to those that always run.
TEST(FrameSteps, EachSettingSwitchesOnItsOwnStep) {
    struct Case {
        const char* what;
        std::function<void(FrameSettings&)> edit;
        FrameStep step;
    };
    const Case cases[] = {
        {"sun light", [](FrameSettings& s) { s.render.config.SunLightEnable = 1; }, FrameStep::ShadowMap},
        {"screen-space AO", [](FrameSettings& s) { s.render.config.AO_Mode = 1; }, FrameStep::ScreenSpaceAmbientOcclusion},
        {"volumetric light", [](FrameSettings& s) { s.render.VolumetricLightEnable = true; }, FrameStep::VolumetricLight},
        {"TAA", [](FrameSettings& s) { s.render.TaaEnable = true; }, FrameStep::TemporalAntiAliasing},
        {"FXAA", [](FrameSettings& s) { s.render.FxaaEnable = true; }, FrameStep::Fxaa},
        {"soften", [](FrameSettings& s) { s.post.SoftenStrength = 0.5f; }, FrameStep::Soften},
        {"sharpen", [](FrameSettings& s) { s.post.SharpenAmount = 10.0f; }, FrameStep::Sharpen},
        {"vignette", [](FrameSettings& s) { s.post.VignetteAmount = 0.3f; }, FrameStep::Vignette},
        {"motion blur", [](FrameSettings& s) { s.render.MotionBlurLength = 2.0f; }, FrameStep::MotionBlur},
        {"depth of field", [](FrameSettings& s) { s.render.DofEnable = true; }, FrameStep::DepthOfField},
        {"lens flare", [](FrameSettings& s) { s.render.LensFlareEnable = true; }, FrameStep::LensFlare},
    };
    for (const Case& c : cases) {
        FrameSettings settings;
        settings.render.TaaEnable = false;
        c.edit(settings);
        EXPECT_EQ(WantedSteps(settings), AlwaysRunAnd({c.step})) << c.what;
    }
}

TEST(FrameSteps, TheOutlineHasItsOwnSwitch) {
    FrameSettings s;
    s.render.OutlineEnable = false;
    EXPECT_FALSE(FrameStepWanted(FrameStep::Outline, s, {}));
    s.render.OutlineEnable = true;
    EXPECT_TRUE(FrameStepWanted(FrameStep::Outline, s, {}));
}

TEST(FrameSteps, ZeroNegativeAndNanAmountsLeaveTheirPassesOff) {
    for (float amount : {0.0f, -1.0f, std::nanf("")}) {
        FrameSettings s;
        s.post.SoftenStrength = s.post.SharpenAmount = s.post.VignetteAmount = s.post.ColorFilterStrength = amount;
        s.render.MotionBlurLength = amount;
        FrameResources withTable;
        withTable.colorFilterTable = true;
        for (FrameStep step : {FrameStep::Soften, FrameStep::Sharpen, FrameStep::Vignette, FrameStep::MotionBlur,
                               FrameStep::ColorFilter})
            EXPECT_FALSE(FrameStepWanted(step, s, withTable)) << FrameStepName(step) << " at " << amount;
    }
}

// GI_Mode alone says which GI runs: voxels for 2, whatever GI_Enable holds (and only with the
// voxel pass, which needs geometry shaders); the settings exchange writes GI_Enable after it, so
// the shaders' block agrees.
TEST(FrameSteps, GiModeAloneChoosesTheVoxelStep) {
    FrameResources voxelPass;
    voxelPass.voxelVolume = true;
    for (int32_t mode : {-1, 0, 1, 3}) {
        FrameSettings s;
        s.render.config.GI_Mode = mode;
        s.render.config.GI_Enable = 1;
        EXPECT_FALSE(FrameStepWanted(FrameStep::VoxelGi, s, voxelPass)) << "mode " << mode;
    }
    FrameSettings voxels;
    voxels.render.config.GI_Mode = kGiVoxels;
    voxels.render.config.GI_Enable = 0;
    voxels.render.TaaEnable = false;
    EXPECT_EQ(WantedSteps(voxels, voxelPass), AlwaysRunAnd({FrameStep::VoxelGi}));
    EXPECT_FALSE(FrameStepWanted(FrameStep::VoxelGi, voxels, {})) << "no voxel pass on this device";

    SettingsExchange exchange;
    exchange.Edit([](FrameSettings& s) { s.render.config.GI_Mode = kGiVoxels; });
    EXPECT_EQ(exchange.Snapshot().render.config.GI_Enable, 1);
    exchange.Edit([](FrameSettings& s) { s.render.config.GI_Enable = 1; s.render.config.GI_Mode = kGiProbes; });
    EXPECT_EQ(exchange.Snapshot().render.config.GI_Enable, 0) << "a stray GI_Enable does not outlive its edit";
}

// Ray tracing needs the scene's acceleration structures; each traced effect also its own object.
TEST(FrameSteps, RayTracingNeedsTheSceneAndEachEffectsObject) {
    const FrameStep traced[] = {FrameStep::UpdateRayTracingScene, FrameStep::RayTracedAmbientOcclusion,
                                FrameStep::RayTracedReflections, FrameStep::ProbeVolumeUpdate};
    FrameSettings all;
    all.render.config.AO_Mode = 2;
    all.render.config.SR_Mode = 1;
    all.render.config.GI_Mode = 1;
    for (FrameStep step : traced) EXPECT_FALSE(FrameStepWanted(step, all, {})) << FrameStepName(step);

    FrameResources sceneOnly;
    sceneOnly.rayTracingScene = true;
    EXPECT_TRUE(FrameStepWanted(FrameStep::UpdateRayTracingScene, all, sceneOnly));
    for (FrameStep step : {traced[1], traced[2], traced[3]}) EXPECT_FALSE(FrameStepWanted(step, all, sceneOnly));

    FrameResources everything = sceneOnly;
    everything.ambientOcclusionTracer = everything.reflectionTracer = everything.probeVolume = true;
    for (FrameStep step : traced) EXPECT_TRUE(FrameStepWanted(step, all, everything)) << FrameStepName(step);

    // One mode at a time: the scene updates, and only that mode's effect traces.
    FrameSettings reflections;
    reflections.render.config.SR_Mode = 1;
    EXPECT_TRUE(FrameStepWanted(FrameStep::UpdateRayTracingScene, reflections, everything));
    EXPECT_TRUE(FrameStepWanted(FrameStep::RayTracedReflections, reflections, everything));
    EXPECT_FALSE(FrameStepWanted(FrameStep::RayTracedAmbientOcclusion, reflections, everything));
    EXPECT_FALSE(FrameStepWanted(FrameStep::ProbeVolumeUpdate, reflections, everything));

    // AO mode 1 is screen-space and GI mode 2 the voxel choice: neither traces rays.
    FrameSettings untraced;
    untraced.render.config.AO_Mode = 1;
    untraced.render.config.GI_Mode = 2;
    for (FrameStep step : traced) EXPECT_FALSE(FrameStepWanted(step, untraced, everything)) << FrameStepName(step);
}

TEST(FrameSteps, SkyAndOceanNeedAnEnvironment) {
    FrameSettings s;
    s.render.config.IBL_Enable = 1;
    s.render.OceanEnable = true;
    FrameResources none, sky;
    sky.environmentMap = true;
    EXPECT_FALSE(FrameStepWanted(FrameStep::Sky, s, none));
    EXPECT_FALSE(FrameStepWanted(FrameStep::Ocean, s, none));
    EXPECT_TRUE(FrameStepWanted(FrameStep::Sky, s, sky));
    EXPECT_TRUE(FrameStepWanted(FrameStep::Ocean, s, sky));
    FrameSettings oceanOnly;
    oceanOnly.render.OceanEnable = true;
    EXPECT_FALSE(FrameStepWanted(FrameStep::Sky, oceanOnly, sky));
    EXPECT_TRUE(FrameStepWanted(FrameStep::Ocean, oceanOnly, sky));

    // The lighting cube accumulates while the environment is new, whether or not the sky shows.
    EXPECT_FALSE(FrameStepWanted(FrameStep::SkyLightingMaps, FrameSettings{}, sky));
    sky.skyLightingPending = true;
    EXPECT_TRUE(FrameStepWanted(FrameStep::SkyLightingMaps, FrameSettings{}, sky));
}

}  // namespace
}  // namespace RendererTest
