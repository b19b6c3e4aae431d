#pragma once
// A depth buffer of one mip with a writable and a read-only depth-stencil view and a shader
// resource view of its depth (formats from the depth table).
#include <cstdint>
#include <string>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuResource.h"
#include "Engine/Platform/CommandList.h"
#include "Engine/Platform/Format.h"

namespace Engine {

class DepthBuffer : public GpuResource {
public:
    void Create(std::u16string_view name, uint32_t width, uint32_t height, Platform::Format format, bool multisampled = false,
                float clearDepth = 1.0f);

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    Platform::Format Format() const { return m_format; }
    bool IsMultisampled() const { return m_multisampled; }
    float ClearDepth() const { return m_clearDepth; }

    /// Resolves the multisampled `source` (same size and format) into this single-sampled
    /// buffer, leaving both in their resolve states.
    void ResolveFrom(DepthBuffer& source, Platform::CommandList& list, Platform::DepthResolveMode mode);

    DescriptorHandle dsvHandle;
    DescriptorHandle dsvReadOnlyHandle;
    DescriptorHandle srvHandle;

private:
    uint32_t m_width = 0, m_height = 0;
    Platform::Format m_format = Platform::Format::Unknown;
    bool m_multisampled = false;
    float m_clearDepth = 1.0f;
    std::u16string m_name;
};

}  // namespace Engine
