#include "renderer/SceneRenderer.h"

#include "renderer/DepthResolve.h"
#include "renderer/passes/BloomPass.h"
#include "renderer/passes/ColorFilterPass.h"
#include "renderer/passes/FinalCopyPass.h"
#include "renderer/passes/ModelPass.h"
#include "renderer/passes/TaaPass.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr std::string_view kMainDraw = "Main Draw";
constexpr std::string_view kRenderModel = "RenderModel";
constexpr std::string_view kResolve = "Resolve";
constexpr std::string_view kResolveDepth = "ResolveDepth";
constexpr std::string_view kOutputCopy = "OutputCopy";

}  // namespace

SceneRenderer::SceneRenderer(std::shared_ptr<Engine::EngineCore> core) : m_core(std::move(core)) {
    m_frame = m_settings.Snapshot();
    CreateScenePipelines();
    CreateSceneBuffers();
}

SceneRenderer::~SceneRenderer() = default;

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
    m_colorFilterPass = std::make_unique<ColorFilterPass>(device);
    m_bloomPass = std::make_unique<BloomPass>(device);
    m_taaPass = std::make_unique<TaaPass>(device);
    m_modelPass = std::make_unique<ModelPass>(device, device.MsaaSampleCount());
    m_finalCopyPass = std::make_unique<FinalCopyPass>(device);
}

bool SceneRenderer::CreateSceneBuffers() {
    const FrameSettings settings = m_settings.Snapshot();
    return m_targets.Create(m_core->GetOutputWidth(), m_core->GetOutputHeight(), settings.render.ExportWidth,
                            settings.render.ExportHeight, m_core->GetBackBufferFormat());
}

void SceneRenderer::UploadSettings(uint32_t frameIndex, double totalSeconds) {
    m_frame = m_settings.Snapshot();
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

uint64_t SceneRenderer::RenderConfigAddress(uint32_t frameIndex) const {
    return m_configUpload.GpuVirtualAddress(frameIndex % Engine::kFrameCount);
}

uint64_t SceneRenderer::OceanParamAddress(uint32_t frameIndex) const {
    return m_oceanUpload.GpuVirtualAddress(frameIndex % Engine::kFrameCount);
}

bool SceneRenderer::RenderFrame(const FrameInputs& inputs) {
    if (!m_targets.IsCreated()) return false;
    if (!m_uploadedOnce) UploadSettings(inputs.frameIndex, inputs.totalSeconds);
    const FrameSettings& s = m_frame;
    m_passLog.BeginFrame();
    m_core->ResetCommandList();
    CommandList& list = *m_core->GetCommandList();
    list.SetDescriptorHeaps(m_core->GetHeap(DescriptorHeapType::CbvSrvUav));
    if (m_gpuTimes) m_gpuTimes->BeginFrame(list, inputs.frameIndex);

    // Shadow map (sun light on) and the ray-traced passes (AO, reflections, probe GI) come here.

    MainDraw(list, inputs);
    Resolve(list);

    // Screen-space AO comes here.
    {
        ScopedPass pass(list, m_passLog, BloomPass::kName);
        m_bloomPass->Record(list, m_targets.color, s.post);
    }
    // Volumetric light comes here.
    if (s.render.TaaEnable) {
        ScopedPass pass(list, m_passLog, TaaPass::kName);
        m_taaPass->Record(list, m_targets, m_lastJitter, s.post);
    }
    // FXAA comes here.
    if (ColorFilterPass::WillRun(s.post.ColorFilterStrength)) {
        ScopedPass pass(list, m_passLog, ColorFilterPass::kName);
        m_colorFilterPass->Record(list, m_targets.color, s.post.ColorFilterStrength);
    }
    // Soften, sharpen, vignette, motion blur, depth of field and lens flare come here.
    {
        ScopedPass pass(list, m_passLog, FinalCopyPass::kName);
        const bool blueFirst = m_core->GetBackBufferFormat() == Format::B8G8R8A8_UNORM;
        m_finalCopyPass->RecordFinalCopy(list, m_targets, blueFirst);
    }
    if (FinalCopyPass::NeedsResample(m_targets)) {
        ScopedPass pass(list, m_passLog, FinalCopyPass::kResampleName);
        m_finalCopyPass->RecordResample(list, m_targets);
    }
    {
        ScopedPass pass(list, m_passLog, kOutputCopy);
        m_finalCopyPass->RecordOutputCopy(list, m_targets, *m_core->GetRenderTarget());
    }
    if (m_gpuTimes) m_gpuTimes->EndFrame(list);
    m_core->ExecuteCommandList();
    return true;
}

void SceneRenderer::MainDraw(CommandList& list, const FrameInputs& inputs) {
    const FrameSettings& s = m_frame;
    ScopedPass mainDraw(list, m_passLog, kMainDraw);
    // Voxel GI and the sky's radiance maps update here.

    const PixelSize size = m_targets.RenderSize();
    Viewport viewport{0, 0, float(size.width), float(size.height), 0, 1};
    if (s.render.TaaEnable) {
        m_lastJitter = m_jitter.Next(inputs.frameCounter);
        viewport.topLeftX = m_lastJitter.offset.x;
        viewport.topLeftY = m_lastJitter.offset.y;
    }
    const Rect scissor{0, 0, int32_t(size.width), int32_t(size.height)};
    list.RSSetViewports(std::span(&viewport, 1));
    list.RSSetScissorRects(std::span(&scissor, 1));

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

    // The sky (image-based lighting on) and the ocean are drawn here.

    ScopedPass renderModel(list, m_passLog, kRenderModel);
    m_modelPass->Record(list, inputs, RenderConfigAddress(inputs.frameIndex));
}

void SceneRenderer::Resolve(CommandList& list) {
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

}  // namespace ProjectTavrin
