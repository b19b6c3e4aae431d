#include "renderer/SceneRenderer.h"

#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "ddgi/DDGIPass.h"
#include "renderer/RaytracingGeometry.h"
#include "renderer/passes/BloomPass.h"
#include "renderer/passes/ColorFilterPass.h"
#include "renderer/passes/DepthOfFieldPass.h"
#include "renderer/passes/EnvironmentMaps.h"
#include "renderer/passes/FinalCopyPass.h"
#include "renderer/passes/FxaaPass.h"
#include "renderer/passes/LensFlarePass.h"
#include "renderer/passes/ModelPass.h"
#include "renderer/passes/MotionBlurPass.h"
#include "renderer/passes/RtaoPass.h"
#include "renderer/passes/ReflectionPass.h"
#include "renderer/passes/OceanPass.h"
#include "renderer/passes/ShadowPass.h"
#include "renderer/passes/SharpenPass.h"
#include "renderer/passes/SkyPass.h"
#include "renderer/passes/SoftenPass.h"
#include "renderer/passes/SsaoPass.h"
#include "renderer/passes/OutlinePass.h"
#include "renderer/passes/TaaPass.h"
#include "renderer/passes/VignettePass.h"
#include "renderer/passes/VolumetricLightPass.h"
#include "renderer/passes/VoxelGiPass.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
// The debug label around the scene draw: the targets' clear, sky, ocean and models. The steps
// that prepare its inputs (shadows, ray tracing, voxels, the sky's lighting maps) run before it,
// each timed as a pass of its own.
constexpr std::string_view kMainDraw = "Main Draw";
}  // namespace

SceneRenderer::SceneRenderer(std::shared_ptr<Engine::EngineCore> core) : m_core(std::move(core)) {
    m_frame = m_settings.Snapshot();
    CreateScenePipelines();
    CreateSceneBuffers();
}

SceneRenderer::~SceneRenderer() = default;

void SceneRenderer::ReleaseRaytracingScene() {
    m_rtaoPass.reset();
    m_reflectionPass.reset();
    m_ddgiPass.reset();
    m_raytracingScene.reset();
}

void SceneRenderer::BuildRaytracingScene(const std::vector<PMXModelGpu*>& models, const ProbeVolumeParams& probes) {
    ReleaseRaytracingScene();
    if (!m_core->IsRaytracingSupported()) return;
    auto geometry = CollectGeometry(models);
    if (geometry.empty()) return;
    Device& device = *m_core->GetDevice();
    m_raytracingScene = std::make_unique<Engine::SceneAccelerationStructures>(device, std::move(geometry));
    m_rtaoPass = std::make_unique<RtaoPass>(device, *m_raytracingScene);
    m_reflectionPass = std::make_unique<ReflectionPass>(device, *m_raytracingScene);
    if (m_targets.IsCreated()) ResizeTracedPasses();
    m_ddgiPass = std::make_unique<ddgi::DDGIPass>(device, *m_raytracingScene);
    SetProbeVolumes(probes);
}

bool SceneRenderer::SetProbeVolumes(const ProbeVolumeParams& probes) {
    if (!m_ddgiPass) return false;
    const uint32_t count = std::min<uint32_t>(probes.Count, 0xffff);
    return m_ddgiPass->SetVolumes(probes.Origin, probes.Size, static_cast<uint16_t>(count), probes.DistanceExponent);
}

bool SceneRenderer::EnableGpuTimes(bool enable) {
    m_passLog.SetTimer(nullptr);
    m_gpuTimes.reset();
    if (!enable) return true;
    auto timer = std::make_unique<GpuTimestamps>(m_core->GetDeviceShared(), Engine::kFrameCount);
    if (!timer->Available()) return false;
    m_gpuTimes = std::move(timer);
    m_passLog.SetTimer(m_gpuTimes.get());
    return true;
}

std::vector<TimedFrame> SceneRenderer::CollectGpuTimes(bool waitForGpu) {
    if (!m_gpuTimes) return {};
    return m_gpuTimes->Collect(waitForGpu);
}

void SceneRenderer::CreateScenePipelines() {
    Device& device = *m_core->GetDevice();
    m_configUpload.Create(device, 1, Engine::kFrameCount, u"RenderConfigBuffer");
    m_oceanUpload.Create(device, 1, Engine::kFrameCount, u"OceanParam");
    // Post passes first, then the model pipelines, then the final copy, as the frame's order of
    // creation has it.
    m_softenPass = std::make_unique<SoftenPass>(device);
    m_colorFilterPass = std::make_unique<ColorFilterPass>(device);
    m_fxaaPass = std::make_unique<FxaaPass>(device);
    m_depthOfFieldPass = std::make_unique<DepthOfFieldPass>(device);
    m_ssaoPass = std::make_unique<SsaoPass>(device);
    m_motionBlurPass = std::make_unique<MotionBlurPass>(device);
    m_shadowPass = std::make_unique<ShadowPass>(device);
    m_volumetricPass = std::make_unique<VolumetricLightPass>(device);
    m_bloomPass = std::make_unique<BloomPass>(device);
    // The voxelisation projects through a geometry stage; without one voxel GI stays off.
    if (device.GeometryShaderSupported()) m_voxelGiPass = std::make_unique<VoxelGiPass>(device);
    m_environment = std::make_unique<EnvironmentMaps>(device);
    m_taaPass = std::make_unique<TaaPass>(device);
    m_vignettePass = std::make_unique<VignettePass>(device);
    m_sharpenPass = std::make_unique<SharpenPass>(device);
    m_lensFlarePass = std::make_unique<LensFlarePass>(device);
    m_modelPass = std::make_unique<ModelPass>(device, device.MsaaSampleCount());
    m_skyPass = std::make_unique<SkyPass>(device, device.MsaaSampleCount());
    m_oceanPass = std::make_unique<OceanPass>(device, device.MsaaSampleCount());
    m_outlinePass = std::make_unique<OutlinePass>(device, device.MsaaSampleCount());
    m_finalCopyPass = std::make_unique<FinalCopyPass>(device);
}

void SceneRenderer::ResetTemporalHistory() {
    m_taaPass->ResetHistory();
    m_lensFlarePass->ResetFade();
    if (m_rtaoPass) m_rtaoPass->ResetHistory();
    if (m_reflectionPass) m_reflectionPass->ResetHistory();
}

bool SceneRenderer::CreateSceneBuffers() {
    const FrameSettings settings = m_settings.Snapshot();
    const bool changed = m_targets.Create(m_core->GetOutputWidth(), m_core->GetOutputHeight(), settings.render.ExportWidth,
                                          settings.render.ExportHeight, m_core->GetBackBufferFormat());
    // The traced effects follow the render size at two thirds of it.
    if (changed) ResizeTracedPasses();
    return changed;
}

void SceneRenderer::ResizeTracedPasses() {
    const PixelSize size = m_targets.RenderSize();
    if (m_rtaoPass) m_rtaoPass->Resize(size.width, size.height);
    if (m_reflectionPass) m_reflectionPass->Resize(size.width, size.height);
}

void SceneRenderer::UploadSettings(uint32_t frameIndex, double totalSeconds, const Math::mat4& cameraViewProjection) {
    m_frame = m_settings.Snapshot();
    m_lastViewProjection = cameraViewProjection;
    // While the sun is off the cascades and their data keep what they last were.
    if (m_frame.render.config.SunLightEnable != 0)
        m_shadowPass->UpdateShadowCascades(m_frame.post.shadow, cameraViewProjection, frameIndex);
    m_configUpload[0].config = m_frame.render.config;
    m_oceanUpload[0].ocean = m_frame.render.ocean;
    m_oceanUpload[0].ocean.SEA_TIME = static_cast<float>(totalSeconds);
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    // The first upload fills every slot, so no frame ever reads an unwritten one.
    for (uint32_t f = 0; f < Engine::kFrameCount; ++f) {
        if (m_uploadedOnce && f != slot) continue;
        m_configUpload.CopyStagingToGpu(f);
        m_oceanUpload.CopyStagingToGpu(f);
    }
    m_uploadedOnce = true;
}

bool SceneRenderer::LoadEnvironment(const std::string& file) { return m_environment->Load(*m_core, file); }

void SceneRenderer::UnloadEnvironment() { m_environment->Unload(); }

uint64_t SceneRenderer::RenderConfigAddress(uint32_t frameIndex) const {
    return m_configUpload.GpuVirtualAddress(frameIndex % Engine::kFrameCount);
}

uint64_t SceneRenderer::OceanParamAddress(uint32_t frameIndex) const {
    return m_oceanUpload.GpuVirtualAddress(frameIndex % Engine::kFrameCount);
}

bool SceneRenderer::RenderFrame(const FrameInputs& inputs) {
    if (!m_targets.IsCreated()) return false;
    if (!m_uploadedOnce) UploadSettings(inputs.frameIndex, inputs.totalSeconds, m_lastViewProjection);
    const Frame frame{ResetCommandList(), inputs};
    if (m_gpuTimes) m_gpuTimes->BeginFrame(frame.list, inputs.frameIndex);
    ShadowMap(frame);
    UpdateRayTracingScene(frame);
    TraceAmbientOcclusion(frame);
    TraceReflections(frame);
    UpdateProbeVolume(frame);
    VoxelGi(frame);
    UpdateSkyLightingMaps(frame);
    {
        ScopedPass mainDraw(frame.list, m_passLog, kMainDraw);
        SetViewport(frame);
        ClearSceneTargets(frame);
        DrawSky(frame);
        DrawOcean(frame);
        DrawModels(frame);
        DrawOutline(frame);
    }
    Resolve(frame);
    ScreenSpaceAmbientOcclusion(frame);
    BloomAndToneMap(frame);
    VolumetricLight(frame);
    TemporalAntiAliasing(frame);
    Fxaa(frame);
    ColorFilter(frame);
    Soften(frame);
    Sharpen(frame);
    Vignette(frame);
    MotionBlur(frame);
    DepthOfField(frame);
    LensFlare(frame);
    FinalCopy(frame);
    OutputCopy(frame);
    if (m_gpuTimes) m_gpuTimes->EndFrame(frame.list);
    Submit();
    return true;
}

}  // namespace ProjectTavrin
