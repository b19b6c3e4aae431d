#include "Engine/raytracing/SceneAccelerationStructures.h"

#include "Engine/Platform/Device.h"

namespace Engine {

namespace {
// One slot serves every scene: descriptor slots are never given back, and each scene's top level
// takes the slot over when it is made.
DescriptorHandle& TopLevelSlot() {
    static DescriptorHandle slot = AllocateDescriptor(Platform::DescriptorHeapType::CbvSrvUav);
    return slot;
}
}  // namespace

SceneAccelerationStructures::SceneAccelerationStructures(Platform::Device& device, std::map<std::string, BottomLevelGeometry> geometries)
    : m_geometries(std::move(geometries)) {
    m_topLevel = std::make_unique<TopLevelAccelerationStructure>(device, kMaxSceneInstances, kFrameCount);
    for (const auto& [name, set] : m_geometries)
        if (!set.instances.empty()) m_topLevel->AddBottomLevelAS(set);
    for (const auto& [name, set] : m_geometries)
        if (!set.instances.empty()) m_topLevel->AddInstance(name, 0, Math::mat4::Identity());
    m_topLevel->InitializeTopLevelAS();
    m_tlasView = TopLevelSlot();
    device.CreateAccelerationStructureView(*m_topLevel->Handle(), m_tlasView.Cpu());
}

uint32_t SceneAccelerationStructures::TotalGeometryCount() const {
    uint32_t count = 0;
    for (const auto& [name, set] : m_geometries) count += static_cast<uint32_t>(set.instances.size());
    return count;
}

}  // namespace Engine
