#include "Engine/GpuResource/UintBuffer.h"

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"

namespace Engine {

using namespace Platform;

void UintBuffer::Create(std::u16string_view name, uint32_t count) {
    Device& device = *EngineCore::GetInstance()->GetDevice();
    m_name = std::u16string(name);
    m_count = count;
    m_resource.reset();
    m_resource = device.CreateCommittedResource(HeapType::Default,
                                                ResourceDesc::Buffer(uint64_t(count) * 4, ResourceFlags::AllowUnorderedAccess),
                                                ResourceState::UnorderedAccess);
    m_resource->SetName(m_name);
    m_state = ResourceState::UnorderedAccess;

    UavDesc uav;
    uav.dimension = ViewDimension::Buffer;
    uav.numElements = count;
    uav.structureByteStride = 4;
    CreateUavWithCpuCopy(m_resource.get(), uav, uavCpuHandle, uavHandle);
    SrvDesc srv;
    srv.dimension = ViewDimension::Buffer;
    srv.numElements = count;
    srv.structureByteStride = 4;
    if (srvHandle.IsNull()) srvHandle = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateShaderResourceView(m_resource.get(), &srv, srvHandle.Cpu());
}

}  // namespace Engine
