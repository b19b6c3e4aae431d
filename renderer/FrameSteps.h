#pragma once
// The steps of one recorded frame, in the order SceneRenderer::RenderFrame takes them, and the
// rule that decides from the frame's settings (and what the renderer holds) whether a step does
// its work. Steps of passes that are not written yet (ray tracing, voxel and probe GI) have
// their place and their rule here already; their bodies are empty.
#include <array>
#include <cstdint>
#include <string_view>

#include "renderer/SettingsExchange.h"

namespace ProjectTavrin {

enum class FrameStep : uint8_t {
    ResetCommandList,
    ShadowMap,
    UpdateRayTracingScene,
    RayTracedAmbientOcclusion,
    RayTracedReflections,
    ProbeVolumeUpdate,
    VoxelGi,
    SkyLightingMaps,
    Viewport,
    ClearSceneTargets,
    Sky,
    Ocean,
    Models,
    Outline,
    Resolve,
    ScreenSpaceAmbientOcclusion,
    BloomAndToneMap,
    VolumetricLight,
    TemporalAntiAliasing,
    Fxaa,
    ColorFilter,
    Soften,
    Sharpen,
    Vignette,
    MotionBlur,
    DepthOfField,
    LensFlare,
    FinalCopy,
    OutputCopy,
    Submit,
};

inline constexpr std::size_t kFrameStepCount = std::size_t(FrameStep::Submit) + 1;

/// Every step in frame order.
std::array<FrameStep, kFrameStepCount> AllFrameSteps();

std::string_view FrameStepName(FrameStep step);

/// What a frame has beyond its settings: objects some steps need, which exist only when the
/// scene or the device provides them.
struct FrameResources {
    bool rayTracingScene = false;        // the scene's acceleration structures
    bool ambientOcclusionTracer = false;
    bool reflectionTracer = false;
    bool probeVolume = false;
    bool environmentMap = false;         // a sky is loaded
    bool skyLightingPending = false;     // its lighting cube is still accumulating
    bool colorFilterTable = false;       // a 3-D colour table is loaded
    bool voxelVolume = false;            // the voxel pass (the device has geometry shaders)
};

/// Whether `step` does its work in a frame with `settings` and `resources`.
bool FrameStepWanted(FrameStep step, const FrameSettings& settings, const FrameResources& resources);

}  // namespace ProjectTavrin
