#pragma once
// A 2D texture array of one mip with an array shader-resource view and an array
// unordered-access view.
#include <cstdint>
#include <string>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuResource.h"
#include "Engine/Platform/Format.h"

namespace Engine {

class ColorBufferArray : public GpuResource {
public:
    void Create(std::u16string_view name, uint32_t width, uint32_t height, uint32_t arraySize, Platform::Format format);

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t ArraySize() const { return m_arraySize; }
    Platform::Format Format() const { return m_format; }

    DescriptorHandle srvHandle;
    DescriptorHandle uavHandle;
    DescriptorHandle uavCpuHandle;

private:
    uint32_t m_width = 0, m_height = 0, m_arraySize = 0;
    Platform::Format m_format = Platform::Format::Unknown;
    std::u16string m_name;
};

}  // namespace Engine
