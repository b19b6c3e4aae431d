#pragma once
// The render side of the engine's frame: owns the settings exchange, the scene targets, the
// per-frame settings uploads and every pass, and records one frame from the scene side's inputs
// as a fixed sequence of steps (renderer/FrameSteps.h), one member function each. Steps whose
// passes do not exist yet (ray tracing, voxel and probe GI) evaluate their rule and record
// nothing. What the steps before the main draw make for it (the shadow map, the sky's lighting
// cube, the last frame's screen-space occlusion, traced occlusion and reflections, probe and
// voxel light) reaches the model draw through one PassResults record.
//
// Threads: Settings() is safe from any thread; everything else runs on the render thread under
// the engine lock.
#include <cstdint>
#include <memory>
#include <string>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/Platform/GpuTimestamps.h"
#include "renderer/FrameInputs.h"
#include "renderer/ProbeVolumeParams.h"
#include "renderer/FrameStepLog.h"
#include "renderer/FrameSteps.h"
#include "renderer/PassLog.h"
#include "renderer/PassResults.h"
#include "renderer/SceneTargets.h"
#include "renderer/SettingsExchange.h"
#include "renderer/TemporalJitter.h"

namespace Engine {
class SceneAccelerationStructures;
}
namespace ddgi {
class DDGIPass;
}

namespace ProjectTavrin {

class ModelPass;
class OutlinePass;
class ShadowPass;
class BloomPass;
class TaaPass;
class ColorFilterPass;
class FinalCopyPass;
class VoxelGiPass;
class RtaoPass;
class ReflectionPass;
class EnvironmentMaps;
class SkyPass;
class OceanPass;
class FxaaPass;
class SoftenPass;
class SharpenPass;
class VignettePass;
class MotionBlurPass;
class DepthOfFieldPass;
class LensFlarePass;
class SsaoPass;
class VolumetricLightPass;

/// One constant slot of the render configuration (88 bytes of data in 96, slots 256 apart).
struct alignas(256) RenderConfigSlot {
    RenderConfigBuffer config;
    uint32_t padding[(kRenderConfigSlotBytes - sizeof(RenderConfigBuffer)) / 4] = {};
};
struct alignas(256) OceanParamSlot {
    OceanParam ocean;
};

class SceneRenderer {
public:
    /// Creates the pipelines, then the scene targets for the core's output size.
    explicit SceneRenderer(std::shared_ptr<Engine::EngineCore> core);
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    SettingsExchange& Settings() { return m_settings; }

    /// (Re)creates the scene targets for the core's output size and the export fields; false
    /// (nothing changed) for outputs below 32 pixels.
    bool CreateSceneBuffers();
    /// Takes this frame's settings and uploads the render configuration and the ocean constants
    /// (the ocean time from `totalSeconds`) into frame `frameIndex`'s slots; while the sun is on,
    /// also fits the shadow cascades to the camera (its view x projection, row-vector form) and
    /// uploads their ShadowData.
    void UploadSettings(uint32_t frameIndex, double totalSeconds, const Math::mat4& cameraViewProjection);
    /// Records and submits one frame into the core's current back buffer. False, recording
    /// nothing, while there are no scene targets (the output never reached the smallest size).
    bool RenderFrame(const FrameInputs& inputs);

    /// Forgets what earlier frames left for later ones (the temporal histories, the flare's fade),
    /// so the next frame starts as the first one after start-up does: an export's first frame
    /// and the first frame after a seek owe nothing to the frames before them.
    void ResetTemporalHistory();
    /// Rebuilds the ray-traced scene from `models` (their GPU buffers made): the acceleration
    /// structures over every drawable material range and the probe GI pass with `probes`'
    /// volumes. Nothing is built without ray tracing or without drawable geometry. The GPU must
    /// be idle (a scene task).
    void BuildRaytracingScene(const std::vector<PMXModelGpu*>& models, const ProbeVolumeParams& probes);
    /// Drops the ray-traced scene (before the models it points into go away).
    void ReleaseRaytracingScene();
    /// Remakes the probe volumes; false when there is no probe GI pass or the volumes cannot be made.
    bool SetProbeVolumes(const ProbeVolumeParams& probes);
    Engine::SceneAccelerationStructures* GetRaytracingScene() const { return m_raytracingScene.get(); }
    ddgi::DDGIPass* GetDDGIPass() const { return m_ddgiPass.get(); }
    /// The ray-traced occlusion and reflections, made with the ray-traced scene.
    RtaoPass* GetRtaoPass() const { return m_rtaoPass.get(); }
    ReflectionPass* GetReflectionPass() const { return m_reflectionPass.get(); }

    const PassLog& GetPassLog() const { return m_passLog; }
    /// Times every pass and the whole frame on the GPU from the next frame on (off: no queries
    /// at all). False when the device cannot time its queue; nothing is timed then.
    bool EnableGpuTimes(bool enable);
    bool GpuTimesEnabled() const { return m_gpuTimes != nullptr; }
    /// The times of the frames the GPU has finished since the last call, oldest first; with
    /// `waitForGpu` it first waits for the frames submitted so far.
    std::vector<Engine::Platform::TimedFrame> CollectGpuTimes(bool waitForGpu);
    /// Every step of the last frame in order, with whether its rule let it work.
    const FrameStepLog& GetStepLog() const { return m_stepLog; }
    SceneTargets& Targets() { return m_targets; }
    const FrameSettings& CurrentSettings() const { return m_frame; }
    /// What the passes of the last frame handed the model draw.
    const PassResults& LastPassResults() const { return m_passResults; }
    const JitterStep& LastJitter() const { return m_lastJitter; }
    const ModelPass& GetModelPass() const { return *m_modelPass; }
    const OutlinePass& GetOutlinePass() const { return *m_outlinePass; }
    const TaaPass& GetTaaPass() const { return *m_taaPass; }
    ShadowPass& GetShadowPass() { return *m_shadowPass; }
    BloomPass& GetBloomPass() { return *m_bloomPass; }
    SsaoPass& GetSsaoPass() { return *m_ssaoPass; }
    /// The voxel GI pass; null on a device without geometry shaders.
    VoxelGiPass* GetVoxelGiPass() { return m_voxelGiPass.get(); }
    uint64_t RenderConfigAddress(uint32_t frameIndex) const;
    uint64_t OceanParamAddress(uint32_t frameIndex) const;
    /// The ocean block as last uploaded (time filled in).
    const OceanParam& UploadedOcean() const { return m_oceanUpload[0].ocean; }

    /// Loads the sky from `file` ("<Sample>": the built-in image) and waits for its GPU work;
    /// the caller makes sure no frame is in flight (a scene task). A file that fails to load
    /// keeps the current sky, with a message naming it, and gives false.
    bool LoadEnvironment(const std::string& file);
    /// No sky: the sky, the ocean and image-based lighting stop.
    void UnloadEnvironment();
    EnvironmentMaps& GetEnvironment() { return *m_environment; }

private:
    /// What every step of one frame records into and reads.
    struct Frame {
        Engine::Platform::CommandList& list;
        const FrameInputs& inputs;
    };

    void CreateScenePipelines();
    /// The traced effects follow the render size (at two thirds of it).
    void ResizeTracedPasses();
    /// What this frame has beyond its settings (the colour table, the later passes' objects).
    FrameResources CurrentResources() const;
    /// Logs `step` with its rule's verdict for this frame and returns the verdict.
    bool Enter(FrameStep step);

    // The frame's steps, in the order RenderFrame calls them.
    Engine::Platform::CommandList& ResetCommandList();
    void ShadowMap(const Frame& frame);
    void UpdateRayTracingScene(const Frame& frame);
    void TraceAmbientOcclusion(const Frame& frame);
    void TraceReflections(const Frame& frame);
    void UpdateProbeVolume(const Frame& frame);
    void VoxelGi(const Frame& frame);
    void UpdateSkyLightingMaps(const Frame& frame);
    void SetViewport(const Frame& frame);
    void ClearSceneTargets(const Frame& frame);
    void DrawSky(const Frame& frame);
    void DrawOcean(const Frame& frame);
    void DrawModels(const Frame& frame);
    void DrawOutline(const Frame& frame);
    void Resolve(const Frame& frame);
    void ScreenSpaceAmbientOcclusion(const Frame& frame);
    void BloomAndToneMap(const Frame& frame);
    void VolumetricLight(const Frame& frame);
    void TemporalAntiAliasing(const Frame& frame);
    void Fxaa(const Frame& frame);
    void ColorFilter(const Frame& frame);
    void Soften(const Frame& frame);
    void Sharpen(const Frame& frame);
    void Vignette(const Frame& frame);
    void MotionBlur(const Frame& frame);
    void DepthOfField(const Frame& frame);
    void LensFlare(const Frame& frame);
    void FinalCopy(const Frame& frame);
    void OutputCopy(const Frame& frame);
    void Submit();

    std::shared_ptr<Engine::EngineCore> m_core;
    SettingsExchange m_settings;
    FrameSettings m_frame;
    SceneTargets m_targets;
    PassLog m_passLog;
    FrameStepLog m_stepLog;
    FrameResources m_resources;
    /// Filled by the steps before the model draw, from "none" at each frame's start.
    PassResults m_passResults;
    TemporalJitter m_jitter;
    JitterStep m_lastJitter;
    Engine::StructuredBuffer<RenderConfigSlot> m_configUpload;
    Engine::StructuredBuffer<OceanParamSlot> m_oceanUpload;
    bool m_uploadedOnce = false;
    Math::mat4 m_lastViewProjection;

    std::unique_ptr<Engine::Platform::GpuTimestamps> m_gpuTimes;

    std::unique_ptr<ShadowPass> m_shadowPass;
    std::unique_ptr<ModelPass> m_modelPass;
    std::unique_ptr<OutlinePass> m_outlinePass;
    std::unique_ptr<BloomPass> m_bloomPass;
    std::unique_ptr<TaaPass> m_taaPass;
    std::unique_ptr<ColorFilterPass> m_colorFilterPass;
    std::unique_ptr<FxaaPass> m_fxaaPass;
    std::unique_ptr<SoftenPass> m_softenPass;
    std::unique_ptr<SharpenPass> m_sharpenPass;
    std::unique_ptr<VignettePass> m_vignettePass;
    std::unique_ptr<MotionBlurPass> m_motionBlurPass;
    std::unique_ptr<DepthOfFieldPass> m_depthOfFieldPass;
    std::unique_ptr<LensFlarePass> m_lensFlarePass;
    std::unique_ptr<SsaoPass> m_ssaoPass;
    std::unique_ptr<VolumetricLightPass> m_volumetricPass;
    std::unique_ptr<FinalCopyPass> m_finalCopyPass;
    std::unique_ptr<VoxelGiPass> m_voxelGiPass;

    std::unique_ptr<Engine::SceneAccelerationStructures> m_raytracingScene;
    std::unique_ptr<ddgi::DDGIPass> m_ddgiPass;
    std::unique_ptr<RtaoPass> m_rtaoPass;
    std::unique_ptr<ReflectionPass> m_reflectionPass;
    std::unique_ptr<EnvironmentMaps> m_environment;
    std::unique_ptr<SkyPass> m_skyPass;
    std::unique_ptr<OceanPass> m_oceanPass;
};

}  // namespace ProjectTavrin
