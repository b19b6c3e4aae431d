#pragma once
// A 2D render texture of one mip: render target, shader resource and (when single-sampled)
// unordered-access view. Multisampled buffers use EngineCore's sample count (2 where the device
// has it) and are render targets only. Re-creating keeps the descriptor slots.
#include <cstdint>
#include <string>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuResource.h"
#include "Engine/Platform/Format.h"

namespace Engine {

class ColorBuffer : public GpuResource {
public:
    void Create(std::u16string_view name, uint32_t width, uint32_t height, Platform::Format format, bool multisampled = false);
    /// Makes this texture a copy of `source` (re-created single-sampled at the source's size and
    /// format when they differ), resolving when the source is multisampled. Transitions are
    /// recorded on `list`.
    void CopyFrom(ColorBuffer& source, Platform::CommandList& list);

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    Platform::Format Format() const { return m_format; }
    bool IsMultisampled() const { return m_multisampled; }
    uint32_t SampleCount() const { return m_sampleCount; }
    const std::u16string& Name() const { return m_name; }

    DescriptorHandle srvHandle;
    DescriptorHandle rtvHandle;
    DescriptorHandle uavHandle;     ///< shader-visible copy of the UAV
    DescriptorHandle uavCpuHandle;  ///< the UAV in the CPU-only heap

private:
    uint32_t m_width = 0, m_height = 0, m_sampleCount = 1;
    Platform::Format m_format = Platform::Format::Unknown;
    bool m_multisampled = false;
    std::u16string m_name;
};

/// Writes `uav` into the CPU-only slot `cpu` and copies it into the shader-visible slot `gpu`,
/// taking either slot first when it is still unallocated.
void CreateUavWithCpuCopy(Platform::Resource* resource, const Platform::UavDesc& uav, DescriptorHandle& cpu, DescriptorHandle& gpu);

}  // namespace Engine
