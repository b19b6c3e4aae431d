#include "Engine/GpuResource/ColorBufferArray.h"

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/FormatTables.h"

namespace Engine {

using namespace Platform;

void ColorBufferArray::Create(std::u16string_view name, uint32_t width, uint32_t height, uint32_t arraySize, Platform::Format format) {
    Device& device = *EngineCore::GetInstance()->GetDevice();
    m_name = std::u16string(name);
    m_width = width;
    m_height = height;
    m_arraySize = arraySize;
    m_format = format;
    m_resource.reset();
    m_resource = device.CreateCommittedResource(
        HeapType::Default,
        ResourceDesc::Tex2D(TypelessFormat(format), width, height, static_cast<uint16_t>(arraySize), 1, 1,
                            ResourceFlags::AllowUnorderedAccess),
        ResourceState::Common);
    m_resource->SetName(m_name);
    m_state = ResourceState::Common;

    SrvDesc srv;
    srv.format = format;
    srv.dimension = ViewDimension::Texture2DArray;
    srv.mipLevels = 1;
    srv.arraySize = arraySize;
    if (srvHandle.IsNull()) srvHandle = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateShaderResourceView(m_resource.get(), &srv, srvHandle.Cpu());
    UavDesc uav;
    uav.format = UavFormat(format);
    uav.dimension = ViewDimension::Texture2DArray;
    uav.arraySize = arraySize;
    CreateUavWithCpuCopy(m_resource.get(), uav, uavCpuHandle, uavHandle);
}

}  // namespace Engine
