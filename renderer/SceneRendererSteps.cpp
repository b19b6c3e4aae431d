// The steps of SceneRenderer::RenderFrame, in frame order. Each asks its rule (FrameSteps.cpp)
// first; a step of a pass not written yet stops there.
#include "Engine/TextureLoader/ColorFilterLut.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "ddgi/DDGIPass.h"
#include "renderer/DepthResolve.h"
#include "renderer/SceneRenderer.h"
#include "renderer/passes/BloomPass.h"
#include "renderer/passes/ColorFilterPass.h"
#include "renderer/passes/EnvironmentMaps.h"
#include "renderer/passes/FinalCopyPass.h"
#include "renderer/passes/ModelPass.h"
#include "renderer/passes/RtaoPass.h"
#include "renderer/passes/OceanPass.h"
#include "renderer/passes/ShadowPass.h"
#include "renderer/passes/SkyPass.h"
#include "renderer/passes/TaaPass.h"
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
    o.SunDirection = c.SunDirection;
    o.SunLightEnable = c.SunLightEnable;
    o.SunColor = c.SunColor;
    o.SunIntensity = c.SunIntensity;
    o.AmbientColor = c.AmbientColor;
    o.AmbientIntensity = c.AmbientIntensity;
    o.IBL_Enable = c.IBL_Enable;
    o.SkyLightUpperLimit = c.SkyLightUpperLimit;
    return o;
}
constexpr std::string_view kUpdateAmbientCubemap = "UpdateAmbientCubemap";
}  // namespace

FrameResources SceneRenderer::CurrentResources() const {
    // The ray-tracing objects join here once their passes exist.
    FrameResources r;
    r.colorFilterTable = !Engine::GetColorFilterLut().srv.IsNull();
    r.voxelVolume = m_voxelGiPass != nullptr;
    r.rayTracingScene = m_raytracingScene != nullptr;
    r.probeVolume = m_ddgiPass && m_ddgiPass->HasVolumes();
    r.ambientOcclusionTracer = m_rtaoPass != nullptr;
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
    const CameraBuffer camera = frame.inputs.camera ? *frame.inputs.camera : CameraBuffer{};
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

void SceneRenderer::TraceReflections(const Frame&) {
    if (!Enter(FrameStep::RayTracedReflections)) return;
    // Trace, with the probe volume's data when probe GI is on.
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
    m_modelPass->Record(frame.list, frame.inputs, RenderConfigAddress(frame.inputs.frameIndex), m_passResults);
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

void SceneRenderer::ScreenSpaceAmbientOcclusion(const Frame&) {
    if (!Enter(FrameStep::ScreenSpaceAmbientOcclusion)) return;
    // SSAO from the resolved depth with this frame's view and projection.
}

void SceneRenderer::BloomAndToneMap(const Frame& frame) {
    if (!Enter(FrameStep::BloomAndToneMap)) return;
    ScopedPass pass(frame.list, m_passLog, BloomPass::kName);
    m_bloomPass->Record(frame.list, m_targets.color, m_frame.post);
}

void SceneRenderer::VolumetricLight(const Frame&) {
    if (!Enter(FrameStep::VolumetricLight)) return;
    // Light scattered along the view rays, from the inverse view-projection.
}

void SceneRenderer::TemporalAntiAliasing(const Frame& frame) {
    if (!Enter(FrameStep::TemporalAntiAliasing)) return;
    ScopedPass pass(frame.list, m_passLog, TaaPass::kName);
    m_taaPass->Record(frame.list, m_targets, m_lastJitter, m_frame.post);
}

void SceneRenderer::Fxaa(const Frame&) {
    if (!Enter(FrameStep::Fxaa)) return;
    // FXAA from a copy of the scene.
}

void SceneRenderer::ColorFilter(const Frame& frame) {
    if (!Enter(FrameStep::ColorFilter)) return;
    ScopedPass pass(frame.list, m_passLog, ColorFilterPass::kName);
    m_colorFilterPass->Record(frame.list, m_targets.color, m_frame.post.ColorFilterStrength);
}

void SceneRenderer::Soften(const Frame&) {
    if (!Enter(FrameStep::Soften)) return;
    // Two blur passes through the soften texture.
}

void SceneRenderer::Sharpen(const Frame&) {
    if (!Enter(FrameStep::Sharpen)) return;
    // Unsharp mask from a copy of the scene.
}

void SceneRenderer::Vignette(const Frame&) {
    if (!Enter(FrameStep::Vignette)) return;
    // Darkened corners, in place.
}

void SceneRenderer::MotionBlur(const Frame&) {
    if (!Enter(FrameStep::MotionBlur)) return;
    // Along the velocity, scaled by the length over this frame's time.
}

void SceneRenderer::DepthOfField(const Frame&) {
    if (!Enter(FrameStep::DepthOfField)) return;
    // Focus, circle of confusion, bokeh blur and composite.
}

void SceneRenderer::LensFlare(const Frame&) {
    if (!Enter(FrameStep::LensFlare)) return;
    // The sun's visibility, then its flare and ghosts when it faces the camera.
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
