#include "renderer/passes/RtaoPass.h"

#include <cmath>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "shaders/RaytracingShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr const char* kRayGen = "AORaygenShader";
constexpr const char* kClosestHit = "AOClosestHitShader";
constexpr const char* kBounceClosestHit = "AOBounceClosestHitShader";
constexpr const char* kMiss = "AOMissShader";
constexpr const char* kBounceMiss = "AOBounceMissShader";
constexpr const char* kHitGroup = "AOHitGroup";
constexpr const char* kBounceHitGroup = "AOBounceHitGroup";
constexpr ResourceState kRead = ResourceState::NonPixelShaderResource;

}  // namespace

RtaoPass::RtaoPass(Device& device, const Engine::SceneAccelerationStructures& scene) : m_device(device), m_scene(scene) {
    m_options.Create(device, 1, Engine::kFrameCount, u"RTAO Options");
    BuildPipeline();
    BuildTables();
    m_temporalRoot = device.CreateRootSignature(Engine::ShaderLayouts::RtaoTemporal());
    m_temporalRoot->SetName("RTAO Temporal");
    ComputePipelineDesc temporal{m_temporalRoot.get(), {Engine::Shaders::RtaoTemporal_comp()}};
    m_temporal = device.CreateComputePipelineState(temporal);
    m_denoiseRoot = device.CreateRootSignature(Engine::ShaderLayouts::RtaoDenoise());
    m_denoiseRoot->SetName("RTAO Denoise");
    ComputePipelineDesc denoise{m_denoiseRoot.get(), {Engine::Shaders::RtaoDenoise_comp()}};
    m_denoise = device.CreateComputePipelineState(denoise);
}

void RtaoPass::BuildPipeline() {
    m_globalRoot = m_device.CreateRootSignature(Engine::ShaderLayouts::RtaoTrace());
    m_globalRoot->SetName("RTAO Global root signature");
    Engine::RaytracingPipelineBuilder builder("RTAO");
    builder.AddShader(kRayGen, RaytracingShaderStage::RayGeneration, Engine::Shaders::AORaygen_rgen());
    builder.AddShader(kClosestHit, RaytracingShaderStage::ClosestHit, Engine::Shaders::AOClosestHit_rchit());
    builder.AddShader(kBounceClosestHit, RaytracingShaderStage::ClosestHit, Engine::Shaders::AOBounceClosestHit_rchit());
    builder.AddShader(kMiss, RaytracingShaderStage::Miss, Engine::Shaders::AOMiss_rmiss());
    builder.AddShader(kBounceMiss, RaytracingShaderStage::Miss, Engine::Shaders::AOBounceMiss_rmiss());
    builder.AddHitGroup(kHitGroup, kClosestHit);
    builder.AddHitGroup(kBounceHitGroup, kBounceClosestHit);
    builder.SetShaderConfig(40, 8);
    builder.SetLocalLayout(Engine::GeometryHitRecordLayout(), {kHitGroup, kBounceHitGroup});
    builder.SetGlobalRootSignature(*m_globalRoot, "RTAO Global root signature");
    // Camera rays, and the occlusion rays cast from their hits.
    builder.SetMaxRecursionDepth(2);
    m_pipeline = builder.Build(m_device);
}

void RtaoPass::BuildTables() {
    m_rayGen = std::make_unique<ShaderTable>(m_device, 1, 0, "RayGenShaderTable");
    m_rayGen->Append(m_pipeline->GetShaderIdentifier(kRayGen), kRayGen);
    m_miss = std::make_unique<ShaderTable>(m_device, 2, 0, "MissShaderTable");
    m_miss->Append(m_pipeline->GetShaderIdentifier(kMiss), kMiss);
    m_miss->Append(m_pipeline->GetShaderIdentifier(kBounceMiss), kBounceMiss);
    // Two records per geometry: the camera ray's group, then the occlusion ray's.
    m_hitGroups = Engine::BuildGeometryHitTables(m_device, m_scene, *m_pipeline, {kHitGroup, kBounceHitGroup}, "HitGroupShaderTable");
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
    list.SetComputeRootSignature(*m_globalRoot);
    list.SetPipelineState(*m_pipeline);
    const Engine::Shared::RtaoTraceConstants c{m_output.uavHandle.Gpu(), m_depth[m_parity].uavHandle.Gpu(), m_velocity.uavHandle.Gpu(),
                                               m_scene.TopLevelDescriptor(), cameraAddress, m_options.GpuVirtualAddress(slot)};
    list.SetComputeRootDescriptorTable(0, c.aoOutput);
    list.SetComputeRootDescriptorTable(1, c.depthOutput);
    list.SetComputeRootDescriptorTable(2, c.velocityOutput);
    list.SetComputeRootDescriptorTable(3, c.scene);
    list.SetComputeRootBufferAddress(4, cameraAddress);
    list.SetComputeRootBufferAddress(5, c.options.Value());
    DispatchRaysDesc desc;
    desc.rayGeneration = m_rayGen->Range();
    desc.missShaderTable = m_miss->Range();
    desc.hitGroupTable = m_hitGroups[slot]->Range();
    desc.width = m_width;
    desc.height = m_height;
    list.DispatchRays(desc);
    // The temporal pass reads all three; without it the model draw (or the blur) reads the output.
    m_output.TransitionTo(list, temporal ? kRead : ResourceState::PixelShaderResource);
    m_depth[m_parity].TransitionTo(list, kRead);
    m_velocity.TransitionTo(list, kRead);
}

void RtaoPass::TemporalFilter(CommandList& list, const RtaoParams& params) {
    const uint32_t p = m_parity, q = 1 - m_parity;
    if (!m_historyCleared) {
        // New history holds no frames yet, rather than whatever the memory held.
        const float zero[4] = {};
        for (Engine::ColorBuffer& history : m_history) {
            history.TransitionTo(list, ResourceState::UnorderedAccess);
            list.ClearUnorderedAccessViewFloat(*history.GetResource(), zero);
        }
        const ResourceBarrier cleared = ResourceBarrier::UAV(nullptr);
        list.ResourceBarrier(std::span(&cleared, 1));
        m_historyCleared = true;
    }
    m_output.TransitionTo(list, kRead);
    m_velocity.TransitionTo(list, kRead);
    m_history[p].TransitionTo(list, kRead);
    m_depth[p].TransitionTo(list, kRead);
    m_depth[q].TransitionTo(list, kRead);
    m_history[q].TransitionTo(list, ResourceState::UnorderedAccess);
    m_result.TransitionTo(list, ResourceState::UnorderedAccess);
    list.SetComputeRootSignature(*m_temporalRoot);
    list.SetPipelineState(*m_temporal);
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
    list.SetComputeRootSignature(*m_denoiseRoot);
    list.SetPipelineState(*m_denoise);
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
