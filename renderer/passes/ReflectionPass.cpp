#include "renderer/passes/ReflectionPass.h"

#include <algorithm>
#include <cmath>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "shaders/RaytracingShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr ResourceState kRead = ResourceState::NonPixelShaderResource;
constexpr uint32_t kNoView = 0xffffffffu;

float FiniteOr(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

}  // namespace

ReflectionPass::ReflectionPass(Device& device, const Engine::SceneAccelerationStructures& scene)
    : m_scene(scene),
      // Camera rays, reflection rays from their hits, shadow rays from those.
      m_trace(device, scene, Engine::ShaderLayouts::ReflectionTrace(), "Global root signature",
              {"SR", Engine::Shaders::SRRaygen_rgen(), Engine::Shaders::SRClosestHit_rchit(),
               Engine::Shaders::SRBounceClosestHit_rchit(), Engine::Shaders::SRMiss_rmiss(), Engine::Shaders::SRBounceMiss_rmiss()},
              48, 3),
      m_temporal(device, Engine::Shaders::SRTemporal_comp(), Engine::ShaderLayouts::ReflectionTemporal(), "RTSR Temporal") {
    m_options.Create(device, 1, Engine::kFrameCount, u"RTSR Options");
}

void ReflectionPass::Resize(uint32_t width, uint32_t height) {
    m_width = std::max(1u, SizeFor(width));
    m_height = std::max(1u, SizeFor(height));
    m_color.Create(u"RTSR Color", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_velocity.Create(u"RTSR Velocity", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_depth[0].Create(u"RTSR Depth0", m_width, m_height, Format::R16_UNORM);
    m_depth[1].Create(u"RTSR Depth1", m_width, m_height, Format::R16_UNORM);
    m_historyColor[0].Create(u"RTSR TemporalColor0", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_historyColor[1].Create(u"RTSR TemporalColor1", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_historyWeight[0].Create(u"RTSR TemporalWeight0", m_width, m_height, Format::R16_FLOAT);
    m_historyWeight[1].Create(u"RTSR TemporalWeight1", m_width, m_height, Format::R16_FLOAT);
    m_result.Create(u"RTSR TemporalResult", m_width, m_height, Format::R16G16B16A16_FLOAT);
    m_historyCleared = false;
}

void ReflectionPass::UpdateConstants(const CameraBuffer& camera, const RenderConfigBuffer& c, const ReflectionParams& params,
                                     uint32_t frameIndex) {
    m_parity = uint32_t(camera.frameCount) & 1u;
    Engine::Shared::ReflectionOptions& o = m_options[0].options;
    CopySceneLighting(c, o);
    o.numSamples = std::max(params.NumSamples, 1);
    o.maxDistance = FiniteOr(params.MaxDistance, 16384.0f);
    o.GI_Mode = c.GI_Mode;
    o.EnableSky = c.IBL_Enable;
    o.SSS_Enable = c.SSS_Enable;
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    for (uint32_t f = 0; f < Engine::kFrameCount; ++f)
        if (!m_optionsWritten || f == slot) m_options.CopyStagingToGpu(f);
    m_optionsWritten = true;
}

void ReflectionPass::Trace(CommandList& list, uint64_t cameraAddress, uint32_t frameIndex, const ReflectionLighting& lighting) {
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    const Engine::Shared::ReflectionOptions& o = m_options[0].options;
    m_color.TransitionTo(list, ResourceState::UnorderedAccess);
    m_depth[m_parity].TransitionTo(list, ResourceState::UnorderedAccess);
    m_velocity.TransitionTo(list, ResourceState::UnorderedAccess);
    m_trace.Bind(list);
    Engine::Shared::ReflectionTraceConstants c{};
    c.camera = cameraAddress;
    c.options = m_options.GpuVirtualAddress(slot);
    c.renderTarget = m_color.uavHandle.Gpu();
    c.depthOutput = m_depth[m_parity].uavHandle.Gpu();
    c.velocityOutput = m_velocity.uavHandle.Gpu();
    c.brdfIbl = lighting.brdfIbl;
    c.brdfSkin = lighting.brdfSkin;
    // The sky cube only while image-based lighting is on; the shaders see EnableSky too.
    c.environment = o.EnableSky != 0 ? lighting.environment : kNoView;
    c.scene = m_scene.TopLevelDescriptor();
    c.ddgiTable = kNoView;
    // The probe volume only for probe GI: other modes leave the hit shaders nothing to read.
    if (o.GI_Mode == 1) {
        c.ddgiVolumes = lighting.probeVolumes;
        c.ddgiVolumeCount = lighting.probeVolumeCount;
    }
    list.SetComputeRootBufferAddress(0, c.camera.Value());
    list.SetComputeRootBufferAddress(1, c.options.Value());
    list.SetComputeRootBufferAddress(2, c.ddgiVolumes.Value());
    const uint32_t* tables = &c.renderTarget;
    for (uint32_t i = 0; i < 8; ++i) list.SetComputeRootDescriptorTable(3 + i, tables[i]);
    list.SetComputeRoot32BitConstants(11, 2, &c.ddgiVolumeCount, 0);
    m_trace.DispatchRays(list, slot, m_width, m_height);
    m_color.TransitionTo(list, ResourceState::PixelShaderResource);
    m_depth[m_parity].TransitionTo(list, kRead);
    m_velocity.TransitionTo(list, kRead);
}

void ReflectionPass::TemporalFilter(CommandList& list, const ReflectionParams& params) {
    const uint32_t p = m_parity, q = 1 - m_parity;
    if (!m_historyCleared) {
        ClearToZero(list, {&m_historyColor[0], &m_historyColor[1], &m_historyWeight[0], &m_historyWeight[1]});
        m_historyCleared = true;
    }
    for (Engine::ColorBuffer* input : {&m_color, &m_velocity, &m_historyColor[p], &m_historyWeight[p], &m_depth[p], &m_depth[q]})
        input->TransitionTo(list, kRead);
    for (Engine::ColorBuffer* output : {&m_historyColor[q], &m_historyWeight[q], &m_result})
        output->TransitionTo(list, ResourceState::UnorderedAccess);
    m_temporal.BindPipeline(list);
    const float exponent = FiniteOr(params.TemporalSpeedExponent, 3.0f);
    const Engine::Shared::ReflectionTemporalConstants c{{1.0f / float(m_width), 1.0f / float(m_height)},
                                                        1.0f / std::exp2(exponent),
                                                        {0.0f, 0.0f},
                                                        m_velocity.srvHandle.Gpu(),
                                                        m_color.srvHandle.Gpu(),
                                                        m_historyColor[p].srvHandle.Gpu(),
                                                        m_historyWeight[p].srvHandle.Gpu(),
                                                        m_depth[p].srvHandle.Gpu(),
                                                        m_depth[q].srvHandle.Gpu(),
                                                        m_historyColor[q].uavHandle.Gpu(),
                                                        m_historyWeight[q].uavHandle.Gpu(),
                                                        m_result.uavHandle.Gpu()};
    list.SetComputeRoot32BitConstants(0, 5, &c, 0);
    const uint32_t* tables = &c.VelocityBuffer;
    for (uint32_t i = 0; i < 9; ++i) list.SetComputeRootDescriptorTable(1 + i, tables[i]);
    list.Dispatch((m_width + 15) / 16, (m_height + 7) / 8, 1);
    m_result.TransitionTo(list, ResourceState::PixelShaderResource);
    m_historyColor[q].TransitionTo(list, kRead);
    m_historyWeight[q].TransitionTo(list, kRead);
}

}  // namespace ProjectTavrin
