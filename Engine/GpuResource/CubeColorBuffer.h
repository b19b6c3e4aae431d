#pragma once
// A cube texture (six square slices) with up to 16 mips: a cube shader-resource view of all mips
// and one unordered-access view (2D array of the six faces) per mip.
#include <array>
#include <cstdint>
#include <string>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuResource.h"
#include "Engine/Platform/Format.h"

namespace Engine {

class CubeColorBuffer : public GpuResource {
public:
    static constexpr uint32_t kMaxMips = 16;
    /// `mipCount` is clamped to 1..16.
    void Create(std::u16string_view name, uint32_t size, uint32_t mipCount, Platform::Format format);

    uint32_t Size() const { return m_size; }
    uint32_t MipCount() const { return m_mipCount; }
    Platform::Format Format() const { return m_format; }

    DescriptorHandle srvHandle;
    std::array<DescriptorHandle, kMaxMips> uavHandles;
    std::array<DescriptorHandle, kMaxMips> uavCpuHandles;

private:
    uint32_t m_size = 0, m_mipCount = 0;
    Platform::Format m_format = Platform::Format::Unknown;
    std::u16string m_name;
};

}  // namespace Engine
