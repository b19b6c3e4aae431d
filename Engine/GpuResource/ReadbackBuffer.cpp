#include "Engine/GpuResource/ReadbackBuffer.h"

#include <cstring>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ResourceUploadBatch.h"

namespace Engine {

using namespace Platform;

const uint8_t* ReadbackBuffer::ReadBack(GpuResource& texture) {
    ResourceState state = texture.GetState();
    const uint8_t* bytes = ReadBack(*texture.GetResource(), state);
    texture.SetState(state);
    return bytes;
}

const uint8_t* ReadbackBuffer::ReadBack(Resource& texture, ResourceState& state) {
    EngineCore& core = *EngineCore::GetInstance();
    Device& device = *core.GetDevice();
    const ResourceDesc& desc = texture.Desc();
    const SubresourceFootprint fp = device.GetCopyableFootprint(desc, 0);
    const uint64_t elements = desc.width * desc.height;
    if (!m_buffer || elements != m_elementCount || desc.format != m_format) {
        m_buffer = device.CreateCommittedResource(HeapType::Readback, ResourceDesc::Buffer(fp.totalBytes), ResourceState::CopyDest);
        m_buffer->SetName("ReadbackFactory");
        m_elementCount = elements;
        m_format = desc.format;
        m_size = fp.totalBytes;
        m_bytes.resize(m_size);
    }
    m_rowPitch = fp.rowPitch;
    m_rows = fp.numRows;

    ResourceUploadBatch batch(core.GetDeviceShared());
    batch.Begin();
    if (state != ResourceState::CopySource) {
        batch.Transition(&texture, state, ResourceState::CopySource);
        state = ResourceState::CopySource;
    }
    batch.GetCommandList()->CopyTextureToBuffer(*m_buffer, fp, texture, 0);
    batch.End(device).wait();

    std::memcpy(m_bytes.data(), m_buffer->Map(), m_size);
    return m_bytes.data();
}

}  // namespace Engine
