#include "Engine/Platform/Raytracing.h"

#include <algorithm>

#include "Engine/Platform/VulkanCommon.h"
#include "core/HrException.h"

namespace Engine::Platform {
namespace {

void RequireRaytracing(const DeviceImpl& d) {
    if (!d.raytracing) throw HrException(static_cast<int32_t>(VK_ERROR_FEATURE_NOT_PRESENT));
}

VkBuildAccelerationStructureFlagsKHR ToVk(BuildFlags flags) {
    const auto f = static_cast<uint32_t>(flags);
    VkBuildAccelerationStructureFlagsKHR out = 0;
    if (f & uint32_t(BuildFlags::AllowUpdate)) out |= VK_BUILD_ACCELERATION_STRUCTURE_ALLOW_UPDATE_BIT_KHR;
    if (f & uint32_t(BuildFlags::AllowCompaction)) out |= VK_BUILD_ACCELERATION_STRUCTURE_ALLOW_COMPACTION_BIT_KHR;
    if (f & uint32_t(BuildFlags::PreferFastTrace)) out |= VK_BUILD_ACCELERATION_STRUCTURE_PREFER_FAST_TRACE_BIT_KHR;
    if (f & uint32_t(BuildFlags::PreferFastBuild)) out |= VK_BUILD_ACCELERATION_STRUCTURE_PREFER_FAST_BUILD_BIT_KHR;
    if (f & uint32_t(BuildFlags::MinimizeMemory)) out |= VK_BUILD_ACCELERATION_STRUCTURE_LOW_MEMORY_BIT_KHR;
    return out;
}

// The Vulkan build description of `inputs`; `geometries` and `counts` receive the arrays it points into.
VkAccelerationStructureBuildGeometryInfoKHR BuildInfo(const AccelerationStructureInputs& inputs,
                                                      std::vector<VkAccelerationStructureGeometryKHR>& geometries,
                                                      std::vector<uint32_t>& counts) {
    geometries.clear();
    counts.clear();
    VkAccelerationStructureBuildGeometryInfoKHR info{VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_BUILD_GEOMETRY_INFO_KHR};
    info.flags = ToVk(inputs.flags);
    info.mode = (static_cast<uint32_t>(inputs.flags) & uint32_t(BuildFlags::PerformUpdate)) ? VK_BUILD_ACCELERATION_STRUCTURE_MODE_UPDATE_KHR
                                                                                          : VK_BUILD_ACCELERATION_STRUCTURE_MODE_BUILD_KHR;
    if (inputs.type == AccelerationStructureType::TopLevel) {
        info.type = VK_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL_KHR;
        VkAccelerationStructureGeometryKHR g{VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_GEOMETRY_KHR};
        g.geometryType = VK_GEOMETRY_TYPE_INSTANCES_KHR;
        g.geometry.instances = {VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_GEOMETRY_INSTANCES_DATA_KHR};
        g.geometry.instances.data.deviceAddress = inputs.instanceAddress;
        geometries.push_back(g);
        counts.push_back(inputs.instanceCount);
    } else {
        info.type = VK_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL_KHR;
        for (const RaytracingGeometryTriangles& t : inputs.geometries) {
            VkAccelerationStructureGeometryKHR g{VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_GEOMETRY_KHR};
            g.geometryType = VK_GEOMETRY_TYPE_TRIANGLES_KHR;
            g.flags = t.opaque ? VK_GEOMETRY_OPAQUE_BIT_KHR : 0;
            VkAccelerationStructureGeometryTrianglesDataKHR& tri = g.geometry.triangles;
            tri = {VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_GEOMETRY_TRIANGLES_DATA_KHR};
            tri.vertexFormat = ToVkFormat(t.vertexFormat);
            tri.vertexData.deviceAddress = t.vertexAddress;
            tri.vertexStride = t.vertexStride;
            tri.maxVertex = t.vertexCount ? t.vertexCount - 1 : 0;
            tri.indexType = t.indexAddress == 0 ? VK_INDEX_TYPE_NONE_KHR
                            : t.indexFormat == Format::R16_UINT ? VK_INDEX_TYPE_UINT16 : VK_INDEX_TYPE_UINT32;
            tri.indexData.deviceAddress = t.indexAddress;
            tri.transformData.deviceAddress = t.transformAddress;
            geometries.push_back(g);
            counts.push_back((t.indexAddress ? t.indexCount : t.vertexCount) / 3);
        }
    }
    info.geometryCount = static_cast<uint32_t>(geometries.size());
    info.pGeometries = geometries.data();
    return info;
}

VkShaderStageFlagBits ToVk(RaytracingShaderStage stage) {
    switch (stage) {
    case RaytracingShaderStage::RayGeneration: return VK_SHADER_STAGE_RAYGEN_BIT_KHR;
    case RaytracingShaderStage::Miss: return VK_SHADER_STAGE_MISS_BIT_KHR;
    case RaytracingShaderStage::ClosestHit: return VK_SHADER_STAGE_CLOSEST_HIT_BIT_KHR;
    case RaytracingShaderStage::AnyHit: return VK_SHADER_STAGE_ANY_HIT_BIT_KHR;
    case RaytracingShaderStage::Intersection: return VK_SHADER_STAGE_INTERSECTION_BIT_KHR;
    case RaytracingShaderStage::Callable: return VK_SHADER_STAGE_CALLABLE_BIT_KHR;
    }
    return VK_SHADER_STAGE_RAYGEN_BIT_KHR;
}

VkStridedDeviceAddressRegionKHR ToVk(const ShaderTableRange& range, bool strideIsSize) {
    return {range.startAddress, strideIsSize ? range.sizeInBytes : range.strideInBytes, range.sizeInBytes};
}

}  // namespace

AccelerationStructure::AccelerationStructure(std::shared_ptr<Device> device, AccelerationStructureType type,
                                             std::shared_ptr<Resource> buffer, uint64_t offset, uint64_t size)
    : m_device(std::move(device)), m_type(type), m_buffer(std::move(buffer)), m_impl(std::make_unique<AccelerationStructureImpl>()) {
    DeviceImpl& d = m_device->Impl();
    RequireRaytracing(d);
    m_impl->device = &d;
    VkAccelerationStructureCreateInfoKHR info{VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_CREATE_INFO_KHR};
    info.buffer = m_buffer->Impl().buffer;
    info.offset = offset;
    info.size = size;
    info.type = type == AccelerationStructureType::TopLevel ? VK_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL_KHR
                                                            : VK_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL_KHR;
    VkCheck(d.fn.createAccelerationStructure(d.device, &info, nullptr, &m_impl->handle), "vkCreateAccelerationStructureKHR");
    VkAccelerationStructureDeviceAddressInfoKHR addressInfo{VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_DEVICE_ADDRESS_INFO_KHR};
    addressInfo.accelerationStructure = m_impl->handle;
    m_address = d.fn.getAccelerationStructureDeviceAddress(d.device, &addressInfo);
    if (!m_buffer->Name().empty())
        d.SetObjectName(VK_OBJECT_TYPE_ACCELERATION_STRUCTURE_KHR, reinterpret_cast<uint64_t>(m_impl->handle), m_buffer->Name());
}

AccelerationStructure::~AccelerationStructure() {
    AccelerationStructureImpl* a = m_impl.release();
    DeviceImpl* d = a->device;
    d->Retire([d, a] {
        d->fn.destroyAccelerationStructure(d->device, a->handle, nullptr);
        delete a;
    });
}

AccelerationStructurePrebuildInfo Device::GetRaytracingAccelerationStructurePrebuildInfo(const AccelerationStructureInputs& inputs) const {
    const DeviceImpl& d = *m_impl;
    RequireRaytracing(d);
    std::vector<VkAccelerationStructureGeometryKHR> geometries;
    std::vector<uint32_t> counts;
    const VkAccelerationStructureBuildGeometryInfoKHR info = BuildInfo(inputs, geometries, counts);
    VkAccelerationStructureBuildSizesInfoKHR sizes{VK_STRUCTURE_TYPE_ACCELERATION_STRUCTURE_BUILD_SIZES_INFO_KHR};
    d.fn.getAccelerationStructureBuildSizes(d.device, VK_ACCELERATION_STRUCTURE_BUILD_TYPE_DEVICE_KHR, &info, counts.data(), &sizes);
    return {sizes.accelerationStructureSize, sizes.buildScratchSize, sizes.updateScratchSize};
}

std::shared_ptr<AccelerationStructure> Device::CreateAccelerationStructure(AccelerationStructureType type,
                                                                           std::shared_ptr<Resource> buffer, uint64_t offset,
                                                                           uint64_t size) {
    return std::make_shared<AccelerationStructure>(shared_from_this(), type, std::move(buffer), offset, size);
}

std::shared_ptr<PipelineState> Device::CreateRaytracingPipelineState(const RaytracingPipelineDesc& desc) {
    return std::make_shared<PipelineState>(shared_from_this(), desc);
}

void Device::CreateAccelerationStructureView(AccelerationStructure& tlas, CpuDescriptor dest) {
    DeviceImpl& d = *m_impl;
    RequireRaytracing(d);
    if (!dest.heap || dest.index >= dest.heap->Capacity() || !dest.heap->Impl().set)
        throw HrException(static_cast<int32_t>(VK_ERROR_OUT_OF_POOL_MEMORY));
    VkWriteDescriptorSetAccelerationStructureKHR asWrite{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET_ACCELERATION_STRUCTURE_KHR};
    asWrite.accelerationStructureCount = 1;
    asWrite.pAccelerationStructures = &tlas.Impl().handle;
    VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET, &asWrite};
    write.dstSet = dest.heap->Impl().set;
    write.dstBinding = kBindingAccelerationStructures;
    write.dstArrayElement = dest.index;
    write.descriptorCount = 1;
    write.descriptorType = VK_DESCRIPTOR_TYPE_ACCELERATION_STRUCTURE_KHR;
    vkUpdateDescriptorSets(d.device, 1, &write, 0, nullptr);
}

PipelineState::PipelineState(std::shared_ptr<Device> device, const RaytracingPipelineDesc& desc)
    : m_device(std::move(device)), m_compute(false), m_impl(std::make_unique<PipelineStateImpl>()) {
    DeviceImpl& d = m_device->Impl();
    RequireRaytracing(d);
    m_impl->device = &d;
    m_impl->rootSignature = desc.globalRootSignature;
    m_impl->bindPoint = VK_PIPELINE_BIND_POINT_RAY_TRACING_KHR;
    if (!desc.globalRootSignature) throw HrException(static_cast<int32_t>(VK_ERROR_INITIALIZATION_FAILED));

    std::vector<VkPipelineShaderStageCreateInfo> stages;
    std::vector<VkShaderModule> modules;
    auto destroyModules = [&] {
        for (VkShaderModule m : modules) vkDestroyShaderModule(d.device, m, nullptr);
    };
    auto stageIndex = [&](const std::string& name) -> uint32_t {
        if (name.empty()) return VK_SHADER_UNUSED_KHR;
        for (size_t i = 0; i < desc.shaders.size(); ++i)
            if (desc.shaders[i].name == name) return static_cast<uint32_t>(i);
        destroyModules();
        throw HrException(static_cast<int32_t>(VK_ERROR_INITIALIZATION_FAILED));
    };
    for (const RaytracingShader& shader : desc.shaders) {
        VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
        info.codeSize = shader.code.code.size_bytes();
        info.pCode = shader.code.code.data();
        VkShaderModule module = VK_NULL_HANDLE;
        const VkResult result = vkCreateShaderModule(d.device, &info, nullptr, &module);
        if (result != VK_SUCCESS) destroyModules();
        VkCheck(result, "vkCreateShaderModule");
        modules.push_back(module);
        stages.push_back({VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, ToVk(shader.stage), module, "main", nullptr});
    }

    std::vector<VkRayTracingShaderGroupCreateInfoKHR> groups;
    std::vector<std::string> groupNames;
    for (size_t i = 0; i < desc.shaders.size(); ++i) {
        const RaytracingShaderStage stage = desc.shaders[i].stage;
        if (stage != RaytracingShaderStage::RayGeneration && stage != RaytracingShaderStage::Miss &&
            stage != RaytracingShaderStage::Callable)
            continue;
        VkRayTracingShaderGroupCreateInfoKHR g{VK_STRUCTURE_TYPE_RAY_TRACING_SHADER_GROUP_CREATE_INFO_KHR};
        g.type = VK_RAY_TRACING_SHADER_GROUP_TYPE_GENERAL_KHR;
        g.generalShader = static_cast<uint32_t>(i);
        g.closestHitShader = g.anyHitShader = g.intersectionShader = VK_SHADER_UNUSED_KHR;
        groups.push_back(g);
        groupNames.push_back(desc.shaders[i].name);
    }
    for (const HitGroupDesc& hit : desc.hitGroups) {
        VkRayTracingShaderGroupCreateInfoKHR g{VK_STRUCTURE_TYPE_RAY_TRACING_SHADER_GROUP_CREATE_INFO_KHR};
        g.type = hit.intersection.empty() ? VK_RAY_TRACING_SHADER_GROUP_TYPE_TRIANGLES_HIT_GROUP_KHR
                                          : VK_RAY_TRACING_SHADER_GROUP_TYPE_PROCEDURAL_HIT_GROUP_KHR;
        g.generalShader = VK_SHADER_UNUSED_KHR;
        g.closestHitShader = stageIndex(hit.closestHit);
        g.anyHitShader = stageIndex(hit.anyHit);
        g.intersectionShader = stageIndex(hit.intersection);
        groups.push_back(g);
        groupNames.push_back(hit.name);
    }

    VkRayTracingPipelineCreateInfoKHR info{VK_STRUCTURE_TYPE_RAY_TRACING_PIPELINE_CREATE_INFO_KHR};
    info.stageCount = static_cast<uint32_t>(stages.size());
    info.pStages = stages.data();
    info.groupCount = static_cast<uint32_t>(groups.size());
    info.pGroups = groups.data();
    info.maxPipelineRayRecursionDepth = std::clamp<uint32_t>(desc.maxRecursionDepth, 1, std::max(1u, d.limits.maxRayRecursionDepth));
    info.layout = desc.globalRootSignature->Impl().layout;
    const VkResult result = d.fn.createRayTracingPipelines(d.device, VK_NULL_HANDLE, VK_NULL_HANDLE, 1, &info, nullptr, &m_impl->pipeline);
    destroyModules();
    VkCheck(result, "vkCreateRayTracingPipelinesKHR");

    const uint32_t handleSize = d.limits.shaderGroupHandleSize;
    std::vector<uint8_t> handles(size_t(handleSize) * groups.size());
    VkCheck(d.fn.getRayTracingShaderGroupHandles(d.device, m_impl->pipeline, 0, static_cast<uint32_t>(groups.size()), handles.size(),
                                                 handles.data()),
            "vkGetRayTracingShaderGroupHandlesKHR");
    for (size_t i = 0; i < groups.size(); ++i)
        m_impl->shaderIdentifiers.emplace_back(groupNames[i], std::vector<uint8_t>(handles.begin() + i * handleSize,
                                                                                   handles.begin() + (i + 1) * handleSize));
}

const void* PipelineState::GetShaderIdentifier(std::string_view name) const {
    for (const auto& [groupName, identifier] : m_impl->shaderIdentifiers)
        if (groupName == name) return identifier.data();
    return nullptr;
}

void CommandList::BuildRaytracingAccelerationStructure(const AccelerationStructureInputs& inputs, AccelerationStructure& dest,
                                                       uint64_t scratchAddress, AccelerationStructure* source) {
    CommandListImpl& c = *m_impl;
    RequireRaytracing(*c.device);
    c.EndRendering();
    std::vector<VkAccelerationStructureGeometryKHR> geometries;
    std::vector<uint32_t> counts;
    VkAccelerationStructureBuildGeometryInfoKHR info = BuildInfo(inputs, geometries, counts);
    info.dstAccelerationStructure = dest.Impl().handle;
    info.srcAccelerationStructure = source ? source->Impl().handle : VK_NULL_HANDLE;
    if (!source) info.mode = VK_BUILD_ACCELERATION_STRUCTURE_MODE_BUILD_KHR;
    info.scratchData.deviceAddress = scratchAddress;
    std::vector<VkAccelerationStructureBuildRangeInfoKHR> ranges;
    for (uint32_t count : counts) ranges.push_back({count, 0, 0, 0});
    const VkAccelerationStructureBuildRangeInfoKHR* rangePointer = ranges.data();
    c.device->fn.cmdBuildAccelerationStructures(c.cmd, 1, &info, &rangePointer);
}

void CommandList::DispatchRays(const DispatchRaysDesc& desc) {
    CommandListImpl& c = *m_impl;
    RequireRaytracing(*c.device);
    c.EndRendering();
    c.FlushRoot(VK_PIPELINE_BIND_POINT_RAY_TRACING_KHR);
    const VkStridedDeviceAddressRegionKHR raygen = ToVk(desc.rayGeneration, true);
    const VkStridedDeviceAddressRegionKHR miss = ToVk(desc.missShaderTable, false);
    const VkStridedDeviceAddressRegionKHR hit = ToVk(desc.hitGroupTable, false);
    const VkStridedDeviceAddressRegionKHR callable = ToVk(desc.callableShaderTable, false);
    c.device->fn.cmdTraceRays(c.cmd, &raygen, &miss, &hit, &callable, desc.width, desc.height, desc.depth);
}

}  // namespace Engine::Platform
