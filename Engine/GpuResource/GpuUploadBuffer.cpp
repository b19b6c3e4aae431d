#include "Engine/GpuResource/GpuUploadBuffer.h"

namespace Engine {

using namespace Platform;

void GpuUploadBuffer::Allocate(Device& device, uint64_t bytes, std::u16string_view name) {
    m_resource = device.CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(static_cast<uint32_t>(bytes)),
                                                ResourceState::GenericRead);
    if (!name.empty()) m_resource->SetName(name);
}

uint8_t* GpuUploadBuffer::MapCpuWriteOnly() { return static_cast<uint8_t*>(m_resource->Map()); }

}  // namespace Engine
