#include "renderer/passes/RtaoPass.h"

#include <cmath>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "shaders/RaytracingShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr ResourceState kRead = ResourceState::NonPixelShaderResource;

}  // namespace

RtaoPass::RtaoPass(Device& device, const Engine::SceneAccelerationStructures& scene)
    : m_scene(scene),
      // Camera rays, and the occlusion rays cast from their hits.
      m_trace(device, scene, Engine::ShaderLayouts::RtaoTrace(), "RTAO Global root signature",
              {"AO", Engine::Shaders::AORaygen_rgen(), Engine::Shaders::AOClosestHit_rchit(),
               Engine::Shaders::AOBounceClosestHit_rchit(), Engine::Shaders::AOMiss_rmiss(), Engine::Shaders::AOBounceMiss_rmiss()},
              40, 2),
      m_temporal(device, Engine::Shaders::RtaoTemporal_comp(), Engine::ShaderLayouts::RtaoTemporal(), "RTAO Temporal"),
      m_denoise(device, Engine::Shaders::RtaoDenoise_comp(), Engine::ShaderLayouts::RtaoDenoise(), "RTAO Denoise") {
    m_options.Create(device, 1, Engine::kFrameCount, u"RTAO Options");
}

void RtaoPass::Resize(uint32_t width, uint32_t height) {
    m_width = std::max(1u, SizeFor(width));
    m_height = std::max(1u, SizeFor(height));
    m_output.Create(u"RTAO_Output", m_width, m_height, Format::R8_UNORM);
    m_depth[0].Create(u"RTAO Depth 0", m_width, m_height, Format::R16_UNORM);
    m_depth[1].Create(u"RTAO Depth 1", m_width, m_height, Format::R16_UNORM);
    m_velocity.Create(u"RTAO Velocity", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_history[0].Create(u"RTAO Temporal 0", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_history[1].Create(u"RTAO Temporal 1", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_result.Create(u"RTAO Result", m_width, m_height, Format::R8_UNORM);
    m_denoiseTemp.Create(u"RTAO Denoise Temp", m_width, m_height, Format::R8_UNORM);
    m_historyCleared = false;
}

void RtaoPass::UpdateConstants(const CameraBuffer& camera, const RtaoParams& params, uint32_t frameIndex) {
    m_parity = uint32_t(camera.frameCount) & 1u;
    m_options[0].options = {params.Distance, params.Falloff, params.Accentuation, std::max(params.NumSamples, 1)};
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    for (uint32_t f = 0; f < Engine::kFrameCount; ++f)
        if (!m_optionsWritten || f == slot) m_options.CopyStagingToGpu(f);
    m_optionsWritten = true;
}

void RtaoPass::Trace(CommandList& list, uint64_t cameraAddress, uint32_t frameIndex, bool temporal) {
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    m_output.TransitionTo(list, ResourceState::UnorderedAccess);
    m_depth[m_parity].TransitionTo(list, ResourceState::UnorderedAccess);
    m_velocity.TransitionTo(list, ResourceState::UnorderedAccess);
    m_trace.Bind(list);
    const Engine::Shared::RtaoTraceConstants c{m_output.uavHandle.Gpu(), m_depth[m_parity].uavHandle.Gpu(), m_velocity.uavHandle.Gpu(),
                                               m_scene.TopLevelDescriptor(), cameraAddress, m_options.GpuVirtualAddress(slot)};
    list.SetComputeRootDescriptorTable(0, c.aoOutput);
    list.SetComputeRootDescriptorTable(1, c.depthOutput);
    list.SetComputeRootDescriptorTable(2, c.velocityOutput);
    list.SetComputeRootDescriptorTable(3, c.scene);
    list.SetComputeRootBufferAddress(4, cameraAddress);
    list.SetComputeRootBufferAddress(5, c.options.Value());
    m_trace.DispatchRays(list, slot, m_width, m_height);
    // The temporal pass reads all three; without it the model draw (or the blur) reads the output.
    m_output.TransitionTo(list, temporal ? kRead : ResourceState::PixelShaderResource);
    m_depth[m_parity].TransitionTo(list, kRead);
    m_velocity.TransitionTo(list, kRead);
}

void RtaoPass::TemporalFilter(CommandList& list, const RtaoParams& params) {
    const uint32_t p = m_parity, q = 1 - m_parity;
    if (!m_historyCleared) {
        ClearToZero(list, {&m_history[0], &m_history[1]});
        m_historyCleared = true;
    }
    m_output.TransitionTo(list, kRead);
    m_velocity.TransitionTo(list, kRead);
    m_history[p].TransitionTo(list, kRead);
    m_depth[p].TransitionTo(list, kRead);
    m_depth[q].TransitionTo(list, kRead);
    m_history[q].TransitionTo(list, ResourceState::UnorderedAccess);
    m_result.TransitionTo(list, ResourceState::UnorderedAccess);
    m_temporal.BindPipeline(list);
    const float exponent = std::isfinite(params.TemporalSpeedExponent) ? params.TemporalSpeedExponent : 3.0f;
    const Engine::Shared::RtaoTemporalConstants c{{1.0f / float(m_width), 1.0f / float(m_height)},
                                                  1.0f / std::exp2(exponent),
                                                  m_velocity.srvHandle.Gpu(),
                                                  m_output.srvHandle.Gpu(),
                                                  m_history[p].srvHandle.Gpu(),
                                                  m_depth[p].srvHandle.Gpu(),
                                                  m_depth[q].srvHandle.Gpu(),
                                                  m_history[q].uavHandle.Gpu(),
                                                  m_result.uavHandle.Gpu()};
    list.SetComputeRoot32BitConstants(0, 3, &c, 0);
    const uint32_t* tables = &c.VelocityBuffer;
    for (uint32_t i = 0; i < 7; ++i) list.SetComputeRootDescriptorTable(1 + i, tables[i]);
    list.Dispatch((m_width + 15) / 16, (m_height + 7) / 8, 1);
    m_result.TransitionTo(list, ResourceState::PixelShaderResource);
    m_history[q].TransitionTo(list, kRead);
}

void RtaoPass::Denoise(CommandList& list, const RtaoParams& params) {
    Engine::ColorBuffer& target = DenoiseTarget(params.Temporal);
    Engine::ColorBuffer& depth = m_depth[m_parity];
    m_denoise.BindPipeline(list);
    const float threshold = std::isfinite(params.DenoiseDepthThreshold) ? params.DenoiseDepthThreshold : 1024.0f;
    auto pass = [&](Engine::ColorBuffer& input, Engine::ColorBuffer& output, bool horizontal) {
        input.TransitionTo(list, kRead);
        depth.TransitionTo(list, kRead);
        output.TransitionTo(list, ResourceState::UnorderedAccess);
        const Engine::Shared::RtaoDenoiseConstants c{{float(m_width), float(m_height)}, horizontal ? 1 : 0, threshold,
                                                     input.srvHandle.Gpu(), depth.srvHandle.Gpu(), output.uavHandle.Gpu()};
        list.SetComputeRoot32BitConstants(0, 4, &c, 0);
        list.SetComputeRootDescriptorTable(1, c.inputImage);
        list.SetComputeRootDescriptorTable(2, c.texture_lineardepth);
        list.SetComputeRootDescriptorTable(3, c.outputImage);
        if (horizontal) list.Dispatch((m_width + 255) / 256, m_height, 1);
        else list.Dispatch(m_width, (m_height + 255) / 256, 1);
    };
    pass(target, m_denoiseTemp, true);
    pass(m_denoiseTemp, target, false);
    target.TransitionTo(list, ResourceState::PixelShaderResource);
}

}  // namespace ProjectTavrin
