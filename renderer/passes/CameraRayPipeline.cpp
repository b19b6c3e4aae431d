#include "renderer/passes/CameraRayPipeline.h"

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/Platform/CommandList.h"
#include "Engine/raytracing/RaytracingPipeline.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

CameraRayPipeline::CameraRayPipeline(Device& device, const Engine::SceneAccelerationStructures& scene,
                                     const RootSignatureDesc& globalLayout, const std::string& globalName,
                                     const CameraRayShaders& shaders, uint32_t payloadBytes, uint32_t recursion) {
    const std::string& p = shaders.prefix;
    const std::string rayGen = p + "RaygenShader", closestHit = p + "ClosestHitShader",
                      bounceClosestHit = p + "BounceClosestHitShader", miss = p + "MissShader", bounceMiss = p + "BounceMissShader",
                      hitGroup = p + "HitGroup", bounceHitGroup = p + "BounceHitGroup";
    m_globalRoot = device.CreateRootSignature(globalLayout);
    m_globalRoot->SetName(globalName);
    Engine::RaytracingPipelineBuilder builder("RT" + p);
    builder.AddShader(rayGen, RaytracingShaderStage::RayGeneration, shaders.rayGen);
    builder.AddShader(closestHit, RaytracingShaderStage::ClosestHit, shaders.closestHit);
    builder.AddShader(bounceClosestHit, RaytracingShaderStage::ClosestHit, shaders.bounceClosestHit);
    builder.AddShader(miss, RaytracingShaderStage::Miss, shaders.miss);
    builder.AddShader(bounceMiss, RaytracingShaderStage::Miss, shaders.bounceMiss);
    builder.AddHitGroup(hitGroup, closestHit);
    builder.AddHitGroup(bounceHitGroup, bounceClosestHit);
    builder.SetShaderConfig(payloadBytes, 8);
    builder.SetLocalLayout(Engine::GeometryHitRecordLayout(), {hitGroup, bounceHitGroup});
    builder.SetGlobalRootSignature(*m_globalRoot, globalName);
    builder.SetMaxRecursionDepth(recursion);
    m_pipeline = builder.Build(device);

    m_rayGen = std::make_unique<ShaderTable>(device, 1, 0, "RayGenShaderTable");
    m_rayGen->Append(m_pipeline->GetShaderIdentifier(rayGen), rayGen);
    m_miss = std::make_unique<ShaderTable>(device, 2, 0, "MissShaderTable");
    m_miss->Append(m_pipeline->GetShaderIdentifier(miss), miss);
    m_miss->Append(m_pipeline->GetShaderIdentifier(bounceMiss), bounceMiss);
    m_hitGroups = Engine::BuildGeometryHitTables(device, scene, *m_pipeline, {hitGroup, bounceHitGroup}, "HitGroupShaderTable");
}

void CameraRayPipeline::Bind(CommandList& list) const {
    list.SetComputeRootSignature(*m_globalRoot);
    list.SetPipelineState(*m_pipeline);
}

void CameraRayPipeline::DispatchRays(CommandList& list, uint32_t slot, uint32_t width, uint32_t height) const {
    DispatchRaysDesc desc;
    desc.rayGeneration = m_rayGen->Range();
    desc.missShaderTable = m_miss->Range();
    desc.hitGroupTable = m_hitGroups[slot % Engine::kFrameCount]->Range();
    desc.width = width;
    desc.height = height;
    list.DispatchRays(desc);
}

void ClearToZero(CommandList& list, std::initializer_list<Engine::ColorBuffer*> buffers) {
    const float zero[4] = {};
    for (Engine::ColorBuffer* buffer : buffers) {
        buffer->TransitionTo(list, ResourceState::UnorderedAccess);
        list.ClearUnorderedAccessViewFloat(*buffer->GetResource(), zero);
    }
    const ResourceBarrier cleared = ResourceBarrier::UAV(nullptr);
    list.ResourceBarrier(std::span(&cleared, 1));
}

}  // namespace ProjectTavrin
