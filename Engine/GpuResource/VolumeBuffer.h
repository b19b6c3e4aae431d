#pragma once
// A 3D texture with a 3D shader-resource view of all its mips and an unordered-access view of
// each mip (all depth slices). Mip k is max(1, side >> k) on each side; VolumeMipGenerator
// builds mips 1.. from mip 0.
#include <cstdint>
#include <string>
#include <vector>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuResource.h"
#include "Engine/Platform/Format.h"

namespace Engine {

class VolumeBuffer : public GpuResource {
public:
    /// `mipLevels` 0 means the full chain down to 1 x 1 x 1. Re-creating keeps the descriptor
    /// slots of the mips both sizes have.
    void Create(std::u16string_view name, uint32_t width, uint32_t height, uint32_t depth, Platform::Format format,
                uint32_t mipLevels = 1);

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t Depth() const { return m_depth; }
    uint32_t MipLevels() const { return m_mipLevels; }
    Platform::Format Format() const { return m_format; }
    /// Shader-visible unordered-access view of mip `mip` (uavHandle for mip 0).
    const DescriptorHandle& MipUav(uint32_t mip) const { return mip == 0 ? uavHandle : m_mipUavs.at(mip - 1); }

    DescriptorHandle srvHandle;
    DescriptorHandle uavHandle;
    DescriptorHandle uavCpuHandle;

private:
    uint32_t m_width = 0, m_height = 0, m_depth = 0, m_mipLevels = 1;
    Platform::Format m_format = Platform::Format::Unknown;
    std::u16string m_name;
    std::vector<DescriptorHandle> m_mipUavs, m_mipUavCpus;
};

/// The number of mips of a full chain for a volume of these sides.
uint32_t FullMipChain(uint32_t width, uint32_t height, uint32_t depth);

}  // namespace Engine
