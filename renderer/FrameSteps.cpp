#include "renderer/FrameSteps.h"

namespace ProjectTavrin {

std::array<FrameStep, kFrameStepCount> AllFrameSteps() {
    std::array<FrameStep, kFrameStepCount> steps{};
    for (std::size_t i = 0; i < kFrameStepCount; ++i) steps[i] = FrameStep(i);
    return steps;
}

std::string_view FrameStepName(FrameStep step) {
    switch (step) {
    case FrameStep::ResetCommandList: return "ResetCommandList";
    case FrameStep::ShadowMap: return "ShadowMap";
    case FrameStep::UpdateRayTracingScene: return "UpdateRayTracingScene";
    case FrameStep::RayTracedAmbientOcclusion: return "RayTracedAmbientOcclusion";
    case FrameStep::RayTracedReflections: return "RayTracedReflections";
    case FrameStep::ProbeVolumeUpdate: return "ProbeVolumeUpdate";
    case FrameStep::VoxelGi: return "VoxelGi";
    case FrameStep::SkyLightingMaps: return "SkyLightingMaps";
    case FrameStep::Viewport: return "Viewport";
    case FrameStep::ClearSceneTargets: return "ClearSceneTargets";
    case FrameStep::Sky: return "Sky";
    case FrameStep::Ocean: return "Ocean";
    case FrameStep::Models: return "Models";
    case FrameStep::Outline: return "Outline";
    case FrameStep::Resolve: return "Resolve";
    case FrameStep::ScreenSpaceAmbientOcclusion: return "ScreenSpaceAmbientOcclusion";
    case FrameStep::BloomAndToneMap: return "BloomAndToneMap";
    case FrameStep::VolumetricLight: return "VolumetricLight";
    case FrameStep::TemporalAntiAliasing: return "TemporalAntiAliasing";
    case FrameStep::Fxaa: return "Fxaa";
    case FrameStep::ColorFilter: return "ColorFilter";
    case FrameStep::Soften: return "Soften";
    case FrameStep::Sharpen: return "Sharpen";
    case FrameStep::Vignette: return "Vignette";
    case FrameStep::MotionBlur: return "MotionBlur";
    case FrameStep::DepthOfField: return "DepthOfField";
    case FrameStep::LensFlare: return "LensFlare";
    case FrameStep::FinalCopy: return "FinalCopy";
    case FrameStep::OutputCopy: return "OutputCopy";
    case FrameStep::Submit: return "Submit";
    }
    return "?";
}

bool FrameStepWanted(FrameStep step, const FrameSettings& settings, const FrameResources& resources) {
    const RenderConfigBuffer& config = settings.render.config;
    const RenderSettings& render = settings.render;
    const PostParams& post = settings.post;
    // GI mode 2 is the voxel choice: only mode 1 asks for the probe volume.
    const bool rayTracing = (config.AO_Mode == 2 || config.SR_Mode == 1 || ProbeGiSelected(config)) && resources.rayTracingScene;
    // Comparisons are written so that NaN leaves a pass off.
    switch (step) {
    case FrameStep::ShadowMap: return config.SunLightEnable != 0;
    case FrameStep::UpdateRayTracingScene: return rayTracing;
    case FrameStep::RayTracedAmbientOcclusion: return rayTracing && config.AO_Mode == 2 && resources.ambientOcclusionTracer;
    case FrameStep::RayTracedReflections: return rayTracing && config.SR_Mode == 1 && resources.reflectionTracer;
    case FrameStep::ProbeVolumeUpdate: return rayTracing && ProbeGiSelected(config) && resources.probeVolume;
    case FrameStep::VoxelGi: return VoxelGiSelected(config) && resources.voxelVolume;
    case FrameStep::SkyLightingMaps: return resources.environmentMap && resources.skyLightingPending;
    case FrameStep::Sky: return config.IBL_Enable != 0 && resources.environmentMap;
    case FrameStep::Ocean: return render.OceanEnable && resources.environmentMap;
    case FrameStep::ScreenSpaceAmbientOcclusion: return config.AO_Mode == 1;
    case FrameStep::Outline: return render.OutlineEnable;
    case FrameStep::VolumetricLight: return render.VolumetricLightEnable;
    case FrameStep::TemporalAntiAliasing: return render.TaaEnable;
    case FrameStep::Fxaa: return render.FxaaEnable;
    case FrameStep::ColorFilter: return post.ColorFilterStrength > 0.0f && resources.colorFilterTable;
    case FrameStep::Soften: return post.SoftenStrength > 0.0f;
    case FrameStep::Sharpen: return post.SharpenAmount > 0.0f;
    case FrameStep::Vignette: return post.VignetteAmount > 0.0f;
    case FrameStep::MotionBlur: return render.MotionBlurLength > 0.0f;
    case FrameStep::DepthOfField: return render.DofEnable;
    case FrameStep::LensFlare: return render.LensFlareEnable;
    case FrameStep::ResetCommandList:
    case FrameStep::Viewport:
    case FrameStep::ClearSceneTargets:
    case FrameStep::Models:
    case FrameStep::Resolve:
    case FrameStep::BloomAndToneMap:
    case FrameStep::FinalCopy:
    case FrameStep::OutputCopy:
    case FrameStep::Submit: return true;
    }
    return false;
}

}  // namespace ProjectTavrin
