#pragma once
// The bottom- and top-level acceleration structures of the ray-traced scene. Both are rebuilt
// from scratch each frame a ray-traced effect runs (the models are skinned on the CPU, so their
// triangles move every frame): the bottom level from the frame's vertex copies by device
// address, the top level from the frame's copy of the instance records. One scratch buffer
// serves every build; a barrier on each result orders the builds.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/Platform/Raytracing.h"
#include "Engine/raytracing/GeometryInstance.h"
#include "core/Math.h"

namespace Engine {

class AccelerationStructure {
public:
    virtual ~AccelerationStructure() = default;

    uint64_t GpuAddress() const { return m_structure ? m_structure->GpuAddress() : 0; }
    Platform::AccelerationStructure* Handle() const { return m_structure.get(); }
    Platform::Resource* Resource() const { return m_resource.get(); }
    const Platform::AccelerationStructurePrebuildInfo& PrebuildInfo() const { return m_prebuild; }
    const std::string& Name() const { return m_name; }
    bool IsBuilt() const { return m_isBuilt; }
    bool IsDirty() const { return m_isDirty; }

protected:
    /// Creates the result buffer of the prebuild size; a size of zero throws HrException (E_FAIL).
    void Allocate(Platform::Device& device, Platform::AccelerationStructureType type);

    std::shared_ptr<Platform::Resource> m_resource;
    std::shared_ptr<Platform::AccelerationStructure> m_structure;
    Platform::BuildFlags m_buildFlags = Platform::BuildFlags::PreferFastTrace;
    Platform::AccelerationStructurePrebuildInfo m_prebuild;
    std::string m_name;
    bool m_isBuilt = false;
    bool m_isDirty = true;
    bool m_updateOnBuild = false;
    bool m_allowUpdate = false;
};

class BottomLevelAccelerationStructure : public AccelerationStructure {
public:
    /// Sizes the structure for `geometry` (its vertex addresses taken from frame 0) and creates
    /// its result buffer.
    BottomLevelAccelerationStructure(Platform::Device& device, const BottomLevelGeometry& geometry);

    /// Records the build from frame `frame`'s vertex copies. Throws HrException (E_FAIL) when
    /// the scratch buffer is smaller than this structure needs.
    void Build(Platform::CommandList& list, uint64_t scratchAddress, uint64_t scratchBytes, uint32_t frame);

    /// The build inputs for frame `frame` (the vertex and index addresses of its copies).
    Platform::AccelerationStructureInputs Inputs(uint32_t frame) const;
    const std::vector<GeometryInstance>& Instances() const { return m_instances; }
    uint32_t InstanceContributionToHitGroupIndex() const { return m_hitGroupIndex; }
    void SetInstanceContributionToHitGroupIndex(uint32_t index) { m_hitGroupIndex = index; }

private:
    std::vector<GeometryInstance> m_instances;
    uint32_t m_hitGroupIndex = 0;
};

class TopLevelAccelerationStructure : public AccelerationStructure {
public:
    TopLevelAccelerationStructure(Platform::Device& device, uint32_t maxInstances, uint32_t frameCount);

    /// Adds the bottom-level structure of `geometry`. Throws HrException (E_FAIL) when one of
    /// that name exists.
    BottomLevelAccelerationStructure& AddBottomLevelAS(const BottomLevelGeometry& geometry);
    /// Adds an instance of the named structure with `transform` (a model matrix, row vectors)
    /// and returns its position. Throws HrException (E_FAIL) when every record is in use.
    uint32_t AddInstance(const std::string& name, uint32_t hitGroupContribution, const Math::mat4& transform);
    /// Sizes the top level for every record and creates it and the shared scratch buffer.
    void InitializeTopLevelAS();
    /// Records the builds of every bottom level (in name order) and then of the top level from
    /// frame `frame`'s copies, each followed by a barrier on its result.
    void BuildAll(Platform::CommandList& list, uint32_t frame);

    const std::map<std::string, std::unique_ptr<BottomLevelAccelerationStructure>>& BottomLevels() const { return m_bottomLevels; }
    BottomLevelAccelerationStructure* FindBottomLevel(const std::string& name) const;
    uint32_t InstanceCount() const { return m_instanceCount; }
    const Platform::RaytracingInstanceDesc& InstanceRecord(uint32_t index) const { return m_instanceDescs[index]; }
    uint64_t ScratchBytes() const { return m_maxScratch; }

private:
    Platform::Device& m_device;
    uint32_t m_maxInstances;
    std::map<std::string, std::unique_ptr<BottomLevelAccelerationStructure>> m_bottomLevels;
    StructuredBuffer<Platform::RaytracingInstanceDesc> m_instanceDescs;
    uint32_t m_instanceCount = 0;
    std::shared_ptr<Platform::Resource> m_scratch;
    uint64_t m_scratchAddress = 0;
    uint64_t m_maxScratch = 0;
};

}  // namespace Engine
