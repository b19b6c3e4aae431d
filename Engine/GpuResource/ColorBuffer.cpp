#include "Engine/GpuResource/ColorBuffer.h"

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/FormatTables.h"

namespace Engine {

using namespace Platform;

void CreateUavWithCpuCopy(Resource* resource, const UavDesc& uav, DescriptorHandle& cpu, DescriptorHandle& gpu) {
    Device& device = *EngineCore::GetInstance()->GetDevice();
    if (cpu.IsNull()) cpu = AllocateCpuDescriptor();
    if (gpu.IsNull()) gpu = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateUnorderedAccessView(resource, &uav, cpu.Cpu());
    device.CopyDescriptorsSimple(gpu.Cpu(), cpu.Cpu());
}

void ColorBuffer::Create(std::u16string_view name, uint32_t width, uint32_t height, Platform::Format format, bool multisampled) {
    EngineCore& core = *EngineCore::GetInstance();
    Device& device = *core.GetDevice();
    m_name = std::u16string(name);
    m_width = width;
    m_height = height;
    m_format = format;
    m_multisampled = multisampled;
    m_sampleCount = multisampled ? device.MsaaSampleCount() : 1;

    const ResourceFlags flags = multisampled ? ResourceFlags::AllowRenderTarget
                                             : ResourceFlags::AllowRenderTarget | ResourceFlags::AllowUnorderedAccess |
                                                   ResourceFlags::AllowSimultaneousAccess;
    ClearValue clear;
    clear.format = format;
    m_resource.reset();
    m_resource = device.CreateCommittedResource(
        HeapType::Default, ResourceDesc::Tex2D(TypelessFormat(format), width, height, 1, 1, m_sampleCount, flags),
        ResourceState::Common, &clear);
    m_resource->SetName(m_name);
    m_state = ResourceState::Common;

    if (srvHandle.IsNull()) srvHandle = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    SrvDesc srv;
    srv.format = format;
    srv.dimension = multisampled ? ViewDimension::Texture2DMS : ViewDimension::Texture2D;
    srv.mipLevels = 1;
    device.CreateShaderResourceView(m_resource.get(), &srv, srvHandle.Cpu());

    if (rtvHandle.IsNull()) rtvHandle = AllocateDescriptor(DescriptorHeapType::Rtv);
    RtvDesc rtv;
    rtv.format = format;
    rtv.dimension = multisampled ? ViewDimension::Texture2DMS : ViewDimension::Texture2D;
    device.CreateRenderTargetView(m_resource.get(), &rtv, rtvHandle.Cpu());

    if (!multisampled) {
        UavDesc uav;
        uav.format = UavFormat(format);
        uav.dimension = ViewDimension::Texture2D;
        CreateUavWithCpuCopy(m_resource.get(), uav, uavCpuHandle, uavHandle);
    }
}

void ColorBuffer::CopyFrom(ColorBuffer& source, CommandList& list) {
    if (source.m_format != m_format || source.m_width != m_width || source.m_height != m_height || !m_resource)
        Create(m_name, source.m_width, source.m_height, source.m_format, false);
    if (!source.m_multisampled) {
        source.TransitionTo(list, ResourceState::CopySource);
        TransitionTo(list, ResourceState::CopyDest);
        list.CopyResource(*m_resource, *source.m_resource);
    } else {
        source.TransitionTo(list, ResourceState::ResolveSource);
        TransitionTo(list, ResourceState::ResolveDest);
        list.ResolveSubresource(*m_resource, 0, *source.m_resource, 0, source.m_format);
    }
}

}  // namespace Engine
