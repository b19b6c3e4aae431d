#include "ddgi/DDGIPass.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "shaders/RaytracingShaderLayouts.h"

namespace ddgi {

using namespace Engine::Platform;
using Engine::ShaderRecordField;

namespace {

std::atomic<uint32_t> g_volumeCount{2};

constexpr const char* kRayGen = "GIRaygenShader";
constexpr const char* kMiss = "GIMissShader";
constexpr const char* kShadowMiss = "GIShadowMissShader";
constexpr const char* kClosestHit = "GIClosestHitShader";
constexpr const char* kHitGroup = "GIHitGroup";



}  // namespace

uint32_t VolumeCount() { return g_volumeCount.load(); }

DDGIPass::DDGIPass(Device& device, const Engine::SceneAccelerationStructures& scene) : m_device(device), m_scene(scene) {
    m_options.Create(device, 1, Engine::kFrameCount, u"GIOptions");
    BuildPipeline();
    BuildTables();
    m_volumeResources = VolumeResources::Create(device);
    if (std::getenv("TAVRIN_RT_DUMP")) std::fputs((m_description + DescribeTables()).c_str(), stderr);
}

DDGIPass::~DDGIPass() = default;

void DDGIPass::BuildPipeline() {
    m_globalRoot = m_device.CreateRootSignature(Engine::ShaderLayouts::GITrace());
    m_globalRoot->SetName("Global root signature");
    Engine::RaytracingPipelineBuilder builder("GI");
    builder.AddShader(kRayGen, RaytracingShaderStage::RayGeneration, Engine::Shaders::GIRaygen_rgen());
    builder.AddShader(kMiss, RaytracingShaderStage::Miss, Engine::Shaders::GIMiss_rmiss());
    builder.AddShader(kShadowMiss, RaytracingShaderStage::Miss, Engine::Shaders::GIShadowMiss_rmiss());
    builder.AddShader(kClosestHit, RaytracingShaderStage::ClosestHit, Engine::Shaders::GIClosestHit_rchit());
    builder.AddHitGroup(kHitGroup, kClosestHit);
    builder.SetShaderConfig(16, 8);
    builder.SetLocalLayout(Engine::GeometryHitRecordLayout(), {kHitGroup});
    builder.SetGlobalRootSignature(*m_globalRoot, "Global root signature");
    // Probe rays and the shadow rays their hits cast.
    builder.SetMaxRecursionDepth(2);
    m_description = builder.Describe();
    m_pipeline = builder.Build(m_device);
}

void DDGIPass::BuildTables() {
    m_rayGen = std::make_unique<ShaderTable>(m_device, 1, 0, "RayGenShaderTable");
    m_rayGen->Append(m_pipeline->GetShaderIdentifier(kRayGen), kRayGen);
    m_miss = std::make_unique<ShaderTable>(m_device, 2, 0, "MissShaderTable");
    m_miss->Append(m_pipeline->GetShaderIdentifier(kMiss), kMiss);
    m_miss->Append(m_pipeline->GetShaderIdentifier(kShadowMiss), kShadowMiss);

    m_hitGroups = Engine::BuildGeometryHitTables(m_device, m_scene, *m_pipeline, {kHitGroup}, "HitGroupShaderTable");
}

std::string DDGIPass::DescribeTables() const {
    std::string text = m_rayGen->DebugPrint() + m_miss->DebugPrint();
    for (const auto& table : m_hitGroups) text += table->DebugPrint();
    return text;
}

bool DDGIPass::SetVolumes(Math::vec3 origin, float size, uint16_t count, float distanceExponent) {
    if (count < 1 || count > kMaxVolumes || !(size > 0.0f) || !std::isfinite(size)) {
        m_volumes.clear();
        return false;
    }
    std::vector<ProbeVolumeDesc> descs;
    for (uint32_t i = 0; i < count; ++i) {
        ProbeVolumeDesc d;
        d.name = "DDGIVolume_" + std::to_string(i);
        d.origin = origin;
        const float s = size / 24.0f / std::ldexp(1.0f, int(count) - 1 - int(i));
        d.probeSpacing = {s, s, s};
        d.distanceExponent = distanceExponent;
        descs.push_back(d);
    }
    return SetVolumeDescs(descs);
}

bool DDGIPass::SetVolumeDescs(const std::vector<ProbeVolumeDesc>& descs) {
    m_descs = descs;
    m_volumes.clear();
    m_records = {};
    if (descs.empty() || descs.size() > kMaxVolumes) return false;
    for (const ProbeVolumeDesc& d : descs) {
        auto volume = std::make_unique<DDGIVolume>();
        if (volume->Create(d, m_volumeResources) != DDGIVolume::Ok) {
            m_volumes.clear();
            return false;
        }
        m_volumes.push_back(std::move(volume));
    }
    m_records.Create(m_device, NumVolumes(), Engine::kFrameCount, u"DDGIVolume Group Constant Buffer");
    g_volumeCount.store(NumVolumes());
    return true;
}

uint64_t DDGIPass::VolumeConstantsAddress(uint32_t frame) const {
    return HasVolumes() ? m_records.GpuVirtualAddress(frame % Engine::kFrameCount) : 0;
}

void DDGIPass::Update(CommandList& list, uint32_t frame, const Engine::Shared::GIOptions& options, uint32_t environmentMap) {
    if (!HasVolumes()) return;
    const uint32_t f = frame % Engine::kFrameCount;
    m_options[0].options = options;
    m_options.CopyStagingToGpu(f);
    for (uint32_t i = 0; i < NumVolumes(); ++i) m_records[i].constants = m_volumes[i]->MakeConstants();
    m_records.CopyStagingToGpu(f);
    for (uint32_t i = 0; i < NumVolumes(); ++i) TraceProbeRays(list, f, i, environmentMap);
    for (uint32_t i = 0; i < NumVolumes(); ++i)
        m_volumes[i]->UpdateProbes(list, VolumeConstantsAddress(f) + uint64_t(i) * sizeof(VolumeRecord));
    const uint32_t last = NumVolumes() - 1;
    m_volumes[last]->RelocateProbes(list, VolumeConstantsAddress(f) + uint64_t(last) * sizeof(VolumeRecord));
}

void DDGIPass::TraceProbeRays(CommandList& list, uint32_t frame, uint32_t volume, uint32_t environmentMap) {
    DDGIVolume& v = *m_volumes[volume];
    v.BeginFrame(list);
    list.SetComputeRootSignature(*m_globalRoot);
    list.SetPipelineState(*m_pipeline);
    list.SetComputeRoot32BitConstant(0, volume, 0);
    list.SetComputeRootBufferAddress(1, VolumeConstantsAddress(frame));
    list.SetComputeRootDescriptorTable(2, 0xffffffffu);
    list.SetComputeRootDescriptorTable(3, m_scene.TopLevelDescriptor());
    list.SetComputeRootDescriptorTable(4, m_options[0].options.IBL_Enable != 0 ? environmentMap : 0xffffffffu);
    list.SetComputeRootBufferAddress(5, m_options.GpuVirtualAddress(frame));
    DispatchRaysDesc desc;
    desc.rayGeneration = m_rayGen->Range();
    desc.missShaderTable = m_miss->Range();
    desc.hitGroupTable = m_hitGroups[frame]->Range();
    desc.width = v.Desc().raysPerProbe;
    desc.height = v.Desc().ProbeCount();
    desc.depth = 1;
    list.DispatchRays(desc);
    const ResourceBarrier barrier = ResourceBarrier::UAV(v.RayData().GetResource());
    list.ResourceBarrier(std::span(&barrier, 1));
}

}  // namespace ddgi
