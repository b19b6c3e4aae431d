#pragma once
// A 3D texture of one mip with a 3D shader-resource view and an unordered-access view of all
// depth slices.
#include <cstdint>
#include <string>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuResource.h"
#include "Engine/Platform/Format.h"

namespace Engine {

class VolumeBuffer : public GpuResource {
public:
    void Create(std::u16string_view name, uint32_t width, uint32_t height, uint32_t depth, Platform::Format format);

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t Depth() const { return m_depth; }
    Platform::Format Format() const { return m_format; }

    DescriptorHandle srvHandle;
    DescriptorHandle uavHandle;
    DescriptorHandle uavCpuHandle;

private:
    uint32_t m_width = 0, m_height = 0, m_depth = 0;
    Platform::Format m_format = Platform::Format::Unknown;
    std::u16string m_name;
};

}  // namespace Engine
