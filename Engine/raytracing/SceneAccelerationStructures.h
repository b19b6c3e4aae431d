#pragma once
// The ray-traced scene: the geometry sets by name (the scene has one, "All": every drawable
// material range of every model) and the top-level structure with one instance of each set's
// bottom level. Made at scene load from the models' per-frame buffers; BuildAll rebuilds both
// levels each frame a ray-traced effect runs.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/raytracing/AccelerationStructure.h"
#include "Engine/raytracing/GeometryInstance.h"

namespace Engine {

inline constexpr uint32_t kMaxSceneInstances = 1000;
inline constexpr const char* kAllGeometryNameText = "All";

class SceneAccelerationStructures {
public:
    /// Creates one bottom level per non-empty geometry set (name order), one identity instance
    /// of each and the top level. Needs a device with ray tracing.
    SceneAccelerationStructures(Platform::Device& device, std::map<std::string, BottomLevelGeometry> geometries);

    void BuildAll(Platform::CommandList& list, uint32_t frame) { m_topLevel->BuildAll(list, frame); }

    const std::map<std::string, BottomLevelGeometry>& Geometries() const { return m_geometries; }
    /// Every geometry record of every set, in set-name order (the hit-group tables' order).
    uint32_t TotalGeometryCount() const;
    TopLevelAccelerationStructure& TopLevel() { return *m_topLevel; }
    const TopLevelAccelerationStructure& TopLevel() const { return *m_topLevel; }
    /// Bindless index of the top level (ray-generation shaders trace against g_Scenes[index]).
    uint32_t TopLevelDescriptor() const { return m_tlasView.Gpu(); }

private:
    std::map<std::string, BottomLevelGeometry> m_geometries;
    std::unique_ptr<TopLevelAccelerationStructure> m_topLevel;
    DescriptorHandle m_tlasView;
};

}  // namespace Engine
