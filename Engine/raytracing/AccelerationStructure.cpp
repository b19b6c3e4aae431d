#include "Engine/raytracing/AccelerationStructure.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Engine/Platform/CommandList.h"
#include "Engine/Platform/Device.h"
#include "core/HrException.h"

namespace Engine {

using Platform::AccelerationStructureInputs;
using Platform::AccelerationStructurePrebuildInfo;
using Platform::AccelerationStructureType;
using Platform::BuildFlags;
using Platform::CommandList;
using Platform::Device;
using Platform::Format;
using Platform::HeapType;
using Platform::RaytracingGeometryTriangles;
using Platform::RaytracingInstanceDesc;
using Platform::ResourceBarrier;
using Platform::ResourceDesc;
using Platform::ResourceFlags;
using Platform::ResourceState;

namespace {

constexpr int32_t kFail = static_cast<int32_t>(0x80004005);

[[noreturn]] void Fail(const char* message) {
    std::fputs(message, stderr);
    throw HrException(kFail);
}

void BarrierOn(CommandList& list, Platform::Resource* resource) {
    const ResourceBarrier barrier = ResourceBarrier::UAV(resource);
    list.ResourceBarrier(std::span(&barrier, 1));
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
    return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

}  // namespace

void AccelerationStructure::Allocate(Device& device, AccelerationStructureType type) {
    if (m_prebuild.resultDataMaxSizeInBytes == 0) throw HrException(kFail);
    m_resource = device.CreateCommittedResource(
        HeapType::Default, ResourceDesc::Buffer(m_prebuild.resultDataMaxSizeInBytes, ResourceFlags::AccelerationStructureStorage),
        ResourceState::RaytracingAccelerationStructure);
    if (!m_name.empty()) m_resource->SetName(m_name);
    m_structure = device.CreateAccelerationStructure(type, m_resource, 0, m_prebuild.resultDataMaxSizeInBytes);
    m_isBuilt = false;
    m_isDirty = true;
}

BottomLevelAccelerationStructure::BottomLevelAccelerationStructure(Device& device, const BottomLevelGeometry& geometry)
    : m_instances(geometry.instances) {
    m_name = geometry.name;
    m_allowUpdate = true;
    m_updateOnBuild = false;
    m_buildFlags = BuildFlags::PreferFastTrace | BuildFlags::AllowUpdate;
    m_prebuild = device.GetRaytracingAccelerationStructurePrebuildInfo(Inputs(0));
    Allocate(device, AccelerationStructureType::BottomLevel);
}

AccelerationStructureInputs BottomLevelAccelerationStructure::Inputs(uint32_t frame) const {
    AccelerationStructureInputs inputs;
    inputs.type = AccelerationStructureType::BottomLevel;
    inputs.flags = m_buildFlags;
    if (m_isBuilt && m_allowUpdate && m_updateOnBuild) inputs.flags = inputs.flags | BuildFlags::PerformUpdate;
    for (const GeometryInstance& g : m_instances) {
        RaytracingGeometryTriangles t;
        t.vertexAddress = g.VertexAddress(frame);
        t.vertexStride = g.vertexStride;
        t.vertexCount = g.vertexCount;
        t.vertexFormat = Format::R32G32B32_FLOAT;
        t.indexAddress = g.IndexAddress(frame);
        t.indexCount = g.indexCount;
        t.indexFormat = Format::R32_UINT;
        t.opaque = (g.geometryFlags & 1) != 0;
        inputs.geometries.push_back(t);
    }
    return inputs;
}

void BottomLevelAccelerationStructure::Build(CommandList& list, uint64_t scratchAddress, uint64_t scratchBytes, uint32_t frame) {
    if (scratchBytes < m_prebuild.scratchDataSizeInBytes) Fail("Insufficient scratch buffer size provided!\n");
    const AccelerationStructureInputs inputs = Inputs(frame);
    const bool update = (static_cast<uint32_t>(inputs.flags) & uint32_t(BuildFlags::PerformUpdate)) != 0;
    list.BuildRaytracingAccelerationStructure(inputs, *m_structure, scratchAddress, update ? m_structure.get() : nullptr);
    m_isBuilt = true;
    m_isDirty = false;
}

TopLevelAccelerationStructure::TopLevelAccelerationStructure(Device& device, uint32_t maxInstances, uint32_t frameCount)
    : m_device(device), m_maxInstances(maxInstances) {
    m_instanceDescs.Create(device, maxInstances, frameCount, u"Instance descriptions");
}

BottomLevelAccelerationStructure& TopLevelAccelerationStructure::AddBottomLevelAS(const BottomLevelGeometry& geometry) {
    if (m_bottomLevels.count(geometry.name)) Fail("A bottom level acceleration structure with that name already exists.\n");
    auto blas = std::make_unique<BottomLevelAccelerationStructure>(m_device, geometry);
    m_maxScratch = std::max({m_maxScratch, blas->PrebuildInfo().scratchDataSizeInBytes, blas->PrebuildInfo().updateScratchDataSizeInBytes});
    BottomLevelAccelerationStructure& result = *blas;
    m_bottomLevels.emplace(geometry.name, std::move(blas));
    return result;
}

BottomLevelAccelerationStructure* TopLevelAccelerationStructure::FindBottomLevel(const std::string& name) const {
    const auto it = m_bottomLevels.find(name);
    return it == m_bottomLevels.end() ? nullptr : it->second.get();
}

uint32_t TopLevelAccelerationStructure::AddInstance(const std::string& name, uint32_t hitGroupContribution, const Math::mat4& transform) {
    if (m_instanceCount >= m_maxInstances) Fail("Not enough instance desc buffer size.\n");
    BottomLevelAccelerationStructure* blas = FindBottomLevel(name);
    if (!blas) Fail("No bottom level acceleration structure of that name.\n");
    RaytracingInstanceDesc& d = m_instanceDescs[m_instanceCount];
    d = RaytracingInstanceDesc{};
    // Row i of the record is column i of the row-vector model matrix (translation in column 3).
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) d.transform[r][c] = transform[c][r];
    d.instanceID = 0;
    d.instanceMask = 1;
    d.instanceContributionToHitGroupIndex = hitGroupContribution;
    d.flags = 0;
    d.accelerationStructure = blas->GpuAddress();
    return m_instanceCount++;
}

void TopLevelAccelerationStructure::InitializeTopLevelAS() {
    m_name = "Top-Level Acceleration Structure";
    m_allowUpdate = false;
    m_updateOnBuild = false;
    m_buildFlags = BuildFlags::PreferFastTrace;
    AccelerationStructureInputs inputs;
    inputs.type = AccelerationStructureType::TopLevel;
    inputs.flags = m_buildFlags;
    inputs.instanceAddress = m_instanceDescs.GpuVirtualAddress(0);
    inputs.instanceCount = m_maxInstances;
    m_prebuild = m_device.GetRaytracingAccelerationStructurePrebuildInfo(inputs);
    Allocate(m_device, AccelerationStructureType::TopLevel);
    m_maxScratch = std::max({m_maxScratch, m_prebuild.scratchDataSizeInBytes, m_prebuild.updateScratchDataSizeInBytes});

    // The scratch start must meet the device's alignment, which a buffer's own address need not.
    const uint64_t alignment = std::max<uint64_t>(1, m_device.Limits().minAccelerationStructureScratchOffsetAlignment);
    m_scratch.reset();
    m_scratch = m_device.CreateCommittedResource(HeapType::Default,
                                                 ResourceDesc::Buffer(m_maxScratch + alignment, ResourceFlags::AllowUnorderedAccess),
                                                 ResourceState::UnorderedAccess);
    m_scratch->SetName("Acceleration structure scratch resource");
    m_scratchAddress = AlignUp(m_scratch->GetGpuVirtualAddress(), alignment);
}

void TopLevelAccelerationStructure::BuildAll(CommandList& list, uint32_t frame) {
    if (!m_structure || !m_scratch) return;
    const uint32_t copy = frame % m_instanceDescs.NumCopies();
    // Records of bottom levels built anew keep their addresses (a structure lives as long as the
    // scene), so the staging records go out unchanged each frame.
    m_instanceDescs.CopyStagingToGpu(copy);
    // The last frame's traces may still read the structures this frame rebuilds in place.
    BarrierOn(list, m_resource.get());
    for (auto& [name, blas] : m_bottomLevels) {
        blas->Build(list, m_scratchAddress, m_maxScratch, frame);
        BarrierOn(list, blas->Resource());
    }
    AccelerationStructureInputs inputs;
    inputs.type = AccelerationStructureType::TopLevel;
    inputs.flags = m_buildFlags;
    inputs.instanceAddress = m_instanceDescs.GpuVirtualAddress(copy);
    inputs.instanceCount = m_instanceCount;
    list.BuildRaytracingAccelerationStructure(inputs, *m_structure, m_scratchAddress);
    BarrierOn(list, m_resource.get());
    m_isBuilt = true;
    m_isDirty = false;
}

}  // namespace Engine
