// The steps of SceneRenderer::RenderFrame, in frame order. Each asks its rule (FrameSteps.cpp)
// first; a step of a pass not written yet stops there.
#include "Engine/TextureLoader/ColorFilterLut.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "ddgi/DDGIPass.h"
#include "renderer/DepthResolve.h"
#include "renderer/SceneRenderer.h"
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
constexpr std::string_view kRenderModel = "RenderModel";
constexpr std::string_view kResolve = "Resolve";
constexpr std::string_view kResolveDepth = "ResolveDepth";
constexpr std::string_view kOutputCopy = "OutputCopy";
constexpr std::string_view kUpdateRayTracingScene = "UpdateRayTracingScene";
constexpr std::string_view kProbeVolumeUpdate = "ProbeVolumeUpdate";

Engine::Shared::GIOptions GIOptionsFrom(const RenderConfigBuffer& c) {
    Engine::Shared::GIOptions o{};
    CopySceneLighting(c, o);
    o.IBL_Enable = c.IBL_Enable;
    return o;
}
constexpr std::string_view kUpdateAmbientCubemap = "UpdateAmbientCubemap";
}  // namespace

FrameResources SceneRenderer::CurrentResources() const {
    FrameResources r;
    r.colorFilterTable = !Engine::GetColorFilterLut().srv.IsNull();
    r.voxelVolume = m_voxelGiPass != nullptr;
    r.rayTracingScene = m_raytracingScene != nullptr;
    r.probeVolume = m_ddgiPass && m_ddgiPass->HasVolumes();
    r.ambientOcclusionTracer = m_rtaoPass != nullptr;
    r.reflectionTracer = m_reflectionPass != nullptr;
    r.environmentMap = m_environment->IsLoaded();
    r.skyLightingPending = m_environment->AccumulationPending();
    return r;
}

bool SceneRenderer::Enter(FrameStep step) {
    const bool wanted = FrameStepWanted(step, m_frame, m_resources);
    m_stepLog.Add(step, wanted);
    return wanted;
}

CommandList& SceneRenderer::ResetCommandList() {
    m_passLog.BeginFrame();
    m_stepLog.BeginFrame();
    m_resources = CurrentResources();
    m_passResults = PassResults{};
    Enter(FrameStep::ResetCommandList);
    m_core->ResetCommandList();
    CommandList& list = *m_core->GetCommandList();
    list.SetDescriptorHeaps(m_core->GetHeap(DescriptorHeapType::CbvSrvUav));
    return list;
}

void SceneRenderer::ShadowMap(const Frame& frame) {
    if (!Enter(FrameStep::ShadowMap)) return;
    // No fit yet (the sun's direction was zero every frame so far): nothing to draw with.
    if (!m_shadowPass->HasCascades()) return;
    ScopedPass pass(frame.list, m_passLog, ShadowPass::kName);
    m_shadowPass->Record(frame.list, m_passLog, frame.inputs.models, frame.inputs.frameIndex, m_passResults);
}

void SceneRenderer::UpdateRayTracingScene(const Frame& frame) {
    if (!Enter(FrameStep::UpdateRayTracingScene)) return;
    // Both levels from this frame's copies of the skinned vertices.
    ScopedPass pass(frame.list, m_passLog, kUpdateRayTracingScene);
    m_raytracingScene->BuildAll(frame.list, frame.inputs.frameIndex);
}

void SceneRenderer::TraceAmbientOcclusion(const Frame& frame) {
    if (!Enter(FrameStep::RayTracedAmbientOcclusion)) return;
    // Trace with this frame's camera, then the temporal accumulation and the denoiser as their
    // switches say; the model draw reads the last of them.
    const RtaoParams& params = m_frame.post.rtao;
    const CameraBuffer& camera = frame.inputs.camera;
    m_rtaoPass->UpdateConstants(camera, params, frame.inputs.frameIndex);
    {
        ScopedPass pass(frame.list, m_passLog, RtaoPass::kTraceName);
        m_rtaoPass->Trace(frame.list, frame.inputs.cameraAddress, frame.inputs.frameIndex, params.Temporal);
    }
    if (params.Temporal) {
        ScopedPass pass(frame.list, m_passLog, RtaoPass::kTemporalName);
        m_rtaoPass->TemporalFilter(frame.list, params);
    }
    if (params.Denoise) {
        ScopedPass pass(frame.list, m_passLog, RtaoPass::kDenoiseName);
        m_rtaoPass->Denoise(frame.list, params);
    }
    m_passResults.occlusionMap = m_rtaoPass->ResultView(params.Temporal);
}

void SceneRenderer::TraceReflections(const Frame& frame) {
    if (!Enter(FrameStep::RayTracedReflections)) return;
    const ReflectionParams& params = m_frame.post.reflection;
    const RenderConfigBuffer& config = m_frame.render.config;
    m_reflectionPass->UpdateConstants(frame.inputs.camera, config, params, frame.inputs.frameIndex);
    ReflectionLighting lighting;
    if (frame.inputs.brdfIbl && !frame.inputs.brdfIbl->srv.IsNull()) lighting.brdfIbl = frame.inputs.brdfIbl->srv.Gpu();
    if (frame.inputs.brdfSkin && !frame.inputs.brdfSkin->srv.IsNull()) lighting.brdfSkin = frame.inputs.brdfSkin->srv.Gpu();
    // The sky's lighting cube gains its first step later in this frame: until it has one, rays
    // that leave the scene see the uniform ambient light rather than an empty cube.
    if (m_environment->IsLoaded() && m_environment->Progress() > 0) lighting.environment = m_environment->AmbientView();
    // The probe volume's records for this frame (written by its update, later in this frame's
    // recording and before the GPU runs it) while probe GI is the mode; the light they hold is
    // the last frames'.
    if (ProbeGiSelected(config) && m_ddgiPass && m_ddgiPass->HasVolumes()) {
        lighting.probeVolumes = m_ddgiPass->VolumeConstantsAddress(frame.inputs.frameIndex);
        lighting.probeVolumeCount = m_ddgiPass->NumVolumes();
    }
    {
        ScopedPass pass(frame.list, m_passLog, ReflectionPass::kTraceName);
        m_reflectionPass->Trace(frame.list, frame.inputs.cameraAddress, frame.inputs.frameIndex, lighting);
    }
    if (params.Temporal) {
        ScopedPass pass(frame.list, m_passLog, ReflectionPass::kTemporalName);
        m_reflectionPass->TemporalFilter(frame.list, params);
    }
    m_passResults.specularReflectionMap = m_reflectionPass->ResultView(params.Temporal);
}

void SceneRenderer::UpdateProbeVolume(const Frame& frame) {
    if (!Enter(FrameStep::ProbeVolumeUpdate)) return;
    ScopedPass pass(frame.list, m_passLog, kProbeVolumeUpdate);
    // Rays that leave the scene see the environment when image-based lighting is on.
    const uint32_t environment = m_environment->IsLoaded() && !m_environment->EnvironmentCube().srvHandle.IsNull()
                                     ? m_environment->EnvironmentCube().srvHandle.Gpu()
                                     : kNoDescriptor;
    m_ddgiPass->Update(frame.list, frame.inputs.frameIndex, GIOptionsFrom(m_frame.render.config), environment);
    m_passResults.probeVolumes = m_ddgiPass->VolumeConstantsAddress(frame.inputs.frameIndex);
    m_passResults.probeVolumeCount = ddgi::VolumeCount();
}

void SceneRenderer::VoxelGi(const Frame& frame) {
    if (!Enter(FrameStep::VoxelGi)) return;
    // The sun's shadow map, when the shadow step made one this frame, shades the voxels too.
    const VoxelShadowInput shadow{m_passResults.varianceShadowMap, m_passResults.shadowData};
    m_voxelGiPass->Record(frame.list, m_passLog, frame.inputs, m_frame, shadow);
    m_passResults.voxelRadiance = m_voxelGiPass->RadianceView();
    m_passResults.voxelConstants = m_voxelGiPass->ConstantsAddress(frame.inputs.frameIndex);
    // The voxelisation cleared the list's state; the draws after it need the heap again.
    frame.list.SetDescriptorHeaps(m_core->GetHeap(DescriptorHeapType::CbvSrvUav));
}

void SceneRenderer::UpdateSkyLightingMaps(const Frame& frame) {
    // The lighting cube reaches the model draw whenever a sky is loaded, complete or still
    // accumulating; the shader uses it while IBL_Enable is set.
    if (m_environment->IsLoaded()) m_passResults.ambientCubemap = m_environment->AmbientView();
    if (!Enter(FrameStep::SkyLightingMaps)) return;
    ScopedPass pass(frame.list, m_passLog, kUpdateAmbientCubemap);
    m_environment->Accumulate(frame.list);
}

void SceneRenderer::SetViewport(const Frame& frame) {
    Enter(FrameStep::Viewport);
    const PixelSize size = m_targets.RenderSize();
    Viewport viewport{0, 0, float(size.width), float(size.height), 0, 1};
    if (m_frame.render.TaaEnable) {
        m_lastJitter = m_jitter.Next(frame.inputs.frameCounter);
        viewport.topLeftX = m_lastJitter.offset.x;
        viewport.topLeftY = m_lastJitter.offset.y;
    }
    const Rect scissor{0, 0, int32_t(size.width), int32_t(size.height)};
    frame.list.RSSetViewports(std::span(&viewport, 1));
    frame.list.RSSetScissorRects(std::span(&scissor, 1));
}

void SceneRenderer::ClearSceneTargets(const Frame& frame) {
    Enter(FrameStep::ClearSceneTargets);
    CommandList& list = frame.list;
    m_targets.colorMsaa.TransitionTo(list, ResourceState::RenderTarget);
    m_targets.velocityMsaa.TransitionTo(list, ResourceState::RenderTarget);
    m_targets.depthMsaa.TransitionTo(list, ResourceState::DepthWrite);
    const CpuDescriptor rtvs[] = {m_targets.colorMsaa.rtvHandle.Cpu(), m_targets.velocityMsaa.rtvHandle.Cpu()};
    const CpuDescriptor dsv = m_targets.depthMsaa.dsvHandle.Cpu();
    const float black[4] = {0, 0, 0, 1}, zero[4] = {0, 0, 0, 0};
    list.ClearRenderTargetView(rtvs[0], black);
    list.ClearRenderTargetView(rtvs[1], zero);
    list.ClearDepthStencilView(dsv, 1.0f, 0);
    list.OMSetRenderTargets(rtvs, &dsv);
}

void SceneRenderer::DrawSky(const Frame& frame) {
    if (!Enter(FrameStep::Sky)) return;
    ScopedPass pass(frame.list, m_passLog, SkyPass::kName);
    m_skyPass->Record(frame.list, frame.inputs.cameraAddress, m_environment->ImageView());
}

void SceneRenderer::DrawOcean(const Frame& frame) {
    if (!Enter(FrameStep::Ocean)) return;
    ScopedPass pass(frame.list, m_passLog, OceanPass::kName);
    m_oceanPass->Record(frame.list, frame.inputs.cameraAddress, OceanParamAddress(frame.inputs.frameIndex),
                        m_environment->ImageView());
}

void SceneRenderer::DrawModels(const Frame& frame) {
    Enter(FrameStep::Models);
    ScopedPass pass(frame.list, m_passLog, kRenderModel);
    // Screen-space occlusion reaches the draw from the frame after its first run, while it is
    // the chosen mode and its image has the render size.
    Engine::ColorBuffer& occlusion = m_ssaoPass->Occlusion();
    const PixelSize size = m_targets.RenderSize();
    if (m_frame.render.config.AO_Mode == 1 && m_ssaoPass->HasResult() && occlusion.Width() == size.width &&
        occlusion.Height() == size.height)
        m_passResults.occlusionMap = occlusion.srvHandle.Gpu();
    m_modelPass->SetSettingsMaterialStyle(m_frame.render.MaterialStyle);
    m_modelPass->Record(frame.list, frame.inputs, RenderConfigAddress(frame.inputs.frameIndex), m_passResults);
}

void SceneRenderer::DrawOutline(const Frame& frame) {
    if (!Enter(FrameStep::Outline)) return;
    if (!OutlinePass::HasWork(frame.inputs, m_frame.render.MaterialStyle)) return;
    ScopedPass pass(frame.list, m_passLog, OutlinePass::kName);
    m_outlinePass->Record(frame.list, frame.inputs, m_frame.render.MaterialStyle, m_frame.render.OutlineWidth,
                          m_targets.RenderSize().height);
}

void SceneRenderer::Resolve(const Frame& frame) {
    Enter(FrameStep::Resolve);
    CommandList& list = frame.list;
    ScopedPass pass(list, m_passLog, kResolve);
    auto resolve = [&](Engine::ColorBuffer& source, Engine::ColorBuffer& dest) {
        if (source.IsMultisampled()) {
            source.TransitionTo(list, ResourceState::ResolveSource);
            dest.TransitionTo(list, ResourceState::ResolveDest);
            list.ResolveSubresource(*dest.GetResource(), 0, *source.GetResource(), 0, dest.Format());
        } else {
            dest.CopyFrom(source, list);
        }
    };
    resolve(m_targets.colorMsaa, m_targets.color);
    {
        ScopedPass depth(list, m_passLog, kResolveDepth);
        ResolveSceneDepth(list, m_targets, m_core->GetDevice()->MsaaSampleCount());
    }
    resolve(m_targets.velocityMsaa, m_targets.velocity);
}

void SceneRenderer::ScreenSpaceAmbientOcclusion(const Frame& frame) {
    if (!Enter(FrameStep::ScreenSpaceAmbientOcclusion)) return;
    ScopedPass pass(frame.list, m_passLog, SsaoPass::kName);
    const float xScale = frame.inputs.camera.projection[0][0];
    m_ssaoPass->Record(frame.list, m_passLog, m_targets.depth, xScale > 0.0f ? xScale : 1.0f, m_frame.post.ssao);
}

void SceneRenderer::BloomAndToneMap(const Frame& frame) {
    if (!Enter(FrameStep::BloomAndToneMap)) return;
    ScopedPass pass(frame.list, m_passLog, BloomPass::kName);
    m_bloomPass->Record(frame.list, m_targets.color, m_frame.post);
}

void SceneRenderer::VolumetricLight(const Frame& frame) {
    if (!Enter(FrameStep::VolumetricLight)) return;
    ScopedPass pass(frame.list, m_passLog, VolumetricLightPass::kName);
    // The sun's moments as the shadow step left them this frame (none while the sun is off).
    VolumetricShadowInput shadow;
    shadow.shadowMap = m_passResults.varianceShadowMap;
    shadow.shadowData = m_passResults.shadowData;
    m_volumetricPass->Record(frame.list, m_passLog, m_targets.color, m_targets.depth, frame.inputs.camera,
                             m_frame.post.volumetric, frame.inputs.frameSeconds, frame.inputs.frameIndex, shadow);
}

void SceneRenderer::TemporalAntiAliasing(const Frame& frame) {
    if (!Enter(FrameStep::TemporalAntiAliasing)) return;
    ScopedPass pass(frame.list, m_passLog, TaaPass::kName);
    m_taaPass->Record(frame.list, m_targets, m_lastJitter, m_frame.post);
}

void SceneRenderer::Fxaa(const Frame& frame) {
    if (!Enter(FrameStep::Fxaa)) return;
    ScopedPass pass(frame.list, m_passLog, FxaaPass::kName);
    m_fxaaPass->Record(frame.list, m_targets.color);
}

void SceneRenderer::ColorFilter(const Frame& frame) {
    if (!Enter(FrameStep::ColorFilter)) return;
    ScopedPass pass(frame.list, m_passLog, ColorFilterPass::kName);
    m_colorFilterPass->Record(frame.list, m_targets.color, m_frame.post.ColorFilterStrength);
}

void SceneRenderer::Soften(const Frame& frame) {
    if (!Enter(FrameStep::Soften)) return;
    ScopedPass pass(frame.list, m_passLog, SoftenPass::kName);
    m_softenPass->Record(frame.list, m_targets.color, m_frame.post.SoftenStrength);
}

void SceneRenderer::Sharpen(const Frame& frame) {
    if (!Enter(FrameStep::Sharpen)) return;
    ScopedPass pass(frame.list, m_passLog, SharpenPass::kName);
    m_sharpenPass->Record(frame.list, m_targets.color, m_frame.post.SharpenAmount);
}

void SceneRenderer::Vignette(const Frame& frame) {
    if (!Enter(FrameStep::Vignette)) return;
    ScopedPass pass(frame.list, m_passLog, VignettePass::kName);
    m_vignettePass->Record(frame.list, m_targets.color, m_frame.post.VignetteAmount);
}

void SceneRenderer::MotionBlur(const Frame& frame) {
    if (!Enter(FrameStep::MotionBlur)) return;
    ScopedPass pass(frame.list, m_passLog, MotionBlurPass::kName);
    m_motionBlurPass->Record(frame.list, m_targets.color, m_targets.velocity, m_frame.render.MotionBlurLength,
                             frame.inputs.frameSeconds);
}

void SceneRenderer::DepthOfField(const Frame& frame) {
    if (!Enter(FrameStep::DepthOfField)) return;
    ScopedPass pass(frame.list, m_passLog, DepthOfFieldPass::kName);
    m_depthOfFieldPass->Record(frame.list, m_targets.color, m_targets.depth, m_frame.post);
}

void SceneRenderer::LensFlare(const Frame& frame) {
    if (!Enter(FrameStep::LensFlare)) return;
    ScopedPass pass(frame.list, m_passLog, LensFlarePass::kName);
    m_lensFlarePass->Record(frame.list, m_targets.color, m_targets.depth, frame.inputs.camera, m_frame.post,
                            frame.inputs.frameSeconds);
}

void SceneRenderer::FinalCopy(const Frame& frame) {
    Enter(FrameStep::FinalCopy);
    ScopedPass pass(frame.list, m_passLog, FinalCopyPass::kName);
    const bool blueFirst = m_core->GetBackBufferFormat() == Format::B8G8R8A8_UNORM;
    m_finalCopyPass->RecordFinalCopy(frame.list, m_targets, blueFirst);
}

void SceneRenderer::OutputCopy(const Frame& frame) {
    Enter(FrameStep::OutputCopy);
    if (FinalCopyPass::NeedsResample(m_targets)) {
        ScopedPass pass(frame.list, m_passLog, FinalCopyPass::kResampleName);
        m_finalCopyPass->RecordResample(frame.list, m_targets);
    }
    ScopedPass pass(frame.list, m_passLog, kOutputCopy);
    m_finalCopyPass->RecordOutputCopy(frame.list, m_targets, *m_core->GetRenderTarget());
}

void SceneRenderer::Submit() {
    Enter(FrameStep::Submit);
    m_core->ExecuteCommandList();
}

}  // namespace ProjectTavrin
