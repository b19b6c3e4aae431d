#pragma once
// Builds the mip chain of an rgba16f VolumeBuffer on the GPU: mip k from mip k - 1 by a
// 2 x 2 x 2 mean, one compute dispatch per mip, the whole volume kept in unordered access.
#include <memory>

#include "Engine/GpuResource/VolumeBuffer.h"
#include "Engine/Platform/Device.h"

namespace Engine {

class VolumeMipGenerator {
public:
    explicit VolumeMipGenerator(Platform::Device& device);

    /// Records the chain on `list` (the shader-visible heap bound) and leaves the volume in
    /// unordered access. Throws std::invalid_argument for a volume that is not rgba16f.
    void Record(Platform::CommandList& list, VolumeBuffer& volume);

private:
    std::shared_ptr<Platform::RootSignature> m_root;
    std::shared_ptr<Platform::PipelineState> m_pipeline;
};

}  // namespace Engine
