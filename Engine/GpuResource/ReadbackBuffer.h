#pragma once
// Copies subresource 0 of a texture back to system memory. Rows keep the copy pitch, a multiple
// of 256 bytes (RowPitch()), so row y starts at y * RowPitch().
#include <cstdint>
#include <memory>
#include <vector>

#include "Engine/GpuResource/GpuResource.h"
#include "Engine/Platform/Format.h"

namespace Engine {

class ReadbackBuffer {
public:
    /// Records and runs the copy (waiting for it) and returns the bytes; the texture is left in
    /// the copy-source state.
    const uint8_t* ReadBack(GpuResource& texture);
    /// Same for a platform resource whose state the caller tracks (`state` is updated).
    const uint8_t* ReadBack(Platform::Resource& texture, Platform::ResourceState& state);

    uint64_t Size() const { return m_size; }
    uint32_t RowPitch() const { return m_rowPitch; }
    uint32_t Rows() const { return m_rows; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::shared_ptr<Platform::Resource> m_buffer;
    uint64_t m_elementCount = 0;
    Platform::Format m_format = Platform::Format::Unknown;
    uint64_t m_size = 0;
    uint32_t m_rowPitch = 0;
    uint32_t m_rows = 0;
    std::vector<uint8_t> m_bytes;
};

}  // namespace Engine
