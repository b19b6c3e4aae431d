#include "Engine/GpuResource/VolumeBuffer.h"

#include <algorithm>
#include <stdexcept>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/FormatTables.h"

namespace Engine {

using namespace Platform;

uint32_t FullMipChain(uint32_t width, uint32_t height, uint32_t depth) {
    uint32_t side = std::max({width, height, depth, 1u}), mips = 1;
    while (side > 1) side >>= 1, ++mips;
    return mips;
}

void VolumeBuffer::Create(std::u16string_view name, uint32_t width, uint32_t height, uint32_t depth, Platform::Format format,
                          uint32_t mipLevels) {
    const uint32_t fullChain = FullMipChain(width, height, depth);
    if (mipLevels == 0) mipLevels = fullChain;
    if (mipLevels > fullChain) throw std::invalid_argument("VolumeBuffer: more mips than the volume's sides allow");
    Device& device = *EngineCore::GetInstance()->GetDevice();
    m_name = std::u16string(name);
    m_width = width;
    m_height = height;
    m_depth = depth;
    m_format = format;
    m_mipLevels = mipLevels;
    m_resource.reset();
    m_resource = device.CreateCommittedResource(HeapType::Default,
                                                ResourceDesc::Tex3D(TypelessFormat(format), width, height, static_cast<uint16_t>(depth),
                                                                    static_cast<uint16_t>(mipLevels), ResourceFlags::AllowUnorderedAccess),
                                                ResourceState::Common);
    m_resource->SetName(m_name);
    m_state = ResourceState::Common;

    SrvDesc srv;
    srv.format = format;
    srv.dimension = ViewDimension::Texture3D;
    srv.mipLevels = mipLevels;
    if (srvHandle.IsNull()) srvHandle = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    device.CreateShaderResourceView(m_resource.get(), &srv, srvHandle.Cpu());
    UavDesc uav;
    uav.format = UavFormat(format);
    uav.dimension = ViewDimension::Texture3D;
    CreateUavWithCpuCopy(m_resource.get(), uav, uavCpuHandle, uavHandle);
    if (m_mipUavs.size() < mipLevels - 1) {
        m_mipUavs.resize(mipLevels - 1);
        m_mipUavCpus.resize(mipLevels - 1);
    }
    for (uint32_t mip = 1; mip < mipLevels; ++mip) {
        uav.mipSlice = mip;
        CreateUavWithCpuCopy(m_resource.get(), uav, m_mipUavCpus[mip - 1], m_mipUavs[mip - 1]);
    }
}

}  // namespace Engine
