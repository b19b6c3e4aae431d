#include "Engine/GpuResource/DepthBuffer.h"

#include <stdexcept>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/FormatTables.h"

namespace Engine {

using namespace Platform;

void DepthBuffer::Create(std::u16string_view name, uint32_t width, uint32_t height, Platform::Format format, bool multisampled,
                         float clearDepth) {
    Device& device = *EngineCore::GetInstance()->GetDevice();
    const DepthFormats formats = DepthFormatsFor(format);
    m_name = std::u16string(name);
    m_width = width;
    m_height = height;
    m_format = formats.dsv;
    m_multisampled = multisampled;
    m_clearDepth = clearDepth;
    const uint32_t samples = multisampled ? device.MsaaSampleCount() : 1;

    ClearValue clear;
    clear.format = formats.dsv;
    clear.depth = clearDepth;
    m_resource.reset();
    m_resource = device.CreateCommittedResource(
        HeapType::Default, ResourceDesc::Tex2D(formats.resource, width, height, 1, 1, samples, ResourceFlags::AllowDepthStencil),
        ResourceState::Common, &clear);
    m_resource->SetName(m_name);
    m_state = ResourceState::Common;

    DsvDesc dsv;
    dsv.format = formats.dsv;
    dsv.dimension = multisampled ? ViewDimension::Texture2DMS : ViewDimension::Texture2D;
    if (dsvHandle.IsNull()) dsvHandle = AllocateDescriptor(DescriptorHeapType::Dsv);
    device.CreateDepthStencilView(m_resource.get(), &dsv, dsvHandle.Cpu());
    dsv.readOnlyDepth = true;
    if (dsvReadOnlyHandle.IsNull()) dsvReadOnlyHandle = AllocateDescriptor(DescriptorHeapType::Dsv);
    device.CreateDepthStencilView(m_resource.get(), &dsv, dsvReadOnlyHandle.Cpu());

    SrvDesc srv;
    srv.format = formats.srv;
    srv.dimension = multisampled ? ViewDimension::Texture2DMS : ViewDimension::Texture2D;
    srv.mipLevels = 1;
    if (srvHandle.IsNull()) srvHandle = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateShaderResourceView(m_resource.get(), &srv, srvHandle.Cpu());
}

void DepthBuffer::ResolveFrom(DepthBuffer& source, CommandList& list, DepthResolveMode mode) {
    if (!source.m_multisampled || m_multisampled)
        throw std::invalid_argument("DepthBuffer::ResolveFrom resolves a multisampled buffer into a single-sampled one");
    source.TransitionTo(list, ResourceState::ResolveSource);
    TransitionTo(list, ResourceState::ResolveDest);
    list.ResolveDepth(dsvHandle.Cpu(), source.dsvHandle.Cpu(), mode);
}

}  // namespace Engine
