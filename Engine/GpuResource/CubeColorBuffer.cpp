#include "Engine/GpuResource/CubeColorBuffer.h"

#include <algorithm>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/FormatTables.h"

namespace Engine {

using namespace Platform;

void CubeColorBuffer::Create(std::u16string_view name, uint32_t size, uint32_t mipCount, Platform::Format format) {
    Device& device = *EngineCore::GetInstance()->GetDevice();
    m_name = std::u16string(name);
    m_size = size;
    m_mipCount = std::clamp<uint32_t>(mipCount, 1, kMaxMips);
    m_format = format;
    m_resource.reset();
    m_resource = device.CreateCommittedResource(
        HeapType::Default,
        ResourceDesc::Tex2D(TypelessFormat(format), size, size, 6, static_cast<uint16_t>(m_mipCount), 1,
                            ResourceFlags::AllowUnorderedAccess),
        ResourceState::Common);
    m_resource->SetName(m_name);
    m_state = ResourceState::Common;

    SrvDesc srv;
    srv.format = format;
    srv.dimension = ViewDimension::TextureCube;
    srv.mipLevels = m_mipCount;
    if (srvHandle.IsNull()) srvHandle = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateShaderResourceView(m_resource.get(), &srv, srvHandle.Cpu());
    for (uint32_t mip = 0; mip < m_mipCount; ++mip) {
        UavDesc uav;
        uav.format = UavFormat(format);
        uav.dimension = ViewDimension::Texture2DArray;
        uav.mipSlice = mip;
        uav.firstArraySlice = 0;
        uav.arraySize = 6;
        CreateUavWithCpuCopy(m_resource.get(), uav, uavCpuHandles[mip], uavHandles[mip]);
    }
}

}  // namespace Engine
