#include "Engine/GpuResource/VolumeMipGenerator.h"

#include <algorithm>
#include <stdexcept>

#include "CompiledShaders.h"
#include "shaders/ShaderLayouts.h"
#include "shaders/shared/VolumeMipConstants.h"

namespace Engine {

using namespace Platform;

VolumeMipGenerator::VolumeMipGenerator(Device& device) {
    m_root = device.CreateRootSignature(ShaderLayouts::GenerateVolumeMips());
    m_root->SetName("GenerateVolumeMips");
    ComputePipelineDesc desc;
    desc.rootSignature = m_root.get();
    desc.cs.code = Shaders::GenerateVolumeMips_comp();
    m_pipeline = device.CreateComputePipelineState(desc);
    m_pipeline->SetName("GenerateVolumeMips");
}

void VolumeMipGenerator::Record(CommandList& list, VolumeBuffer& volume) {
    if (volume.Format() != Format::R16G16B16A16_FLOAT)
        throw std::invalid_argument("VolumeMipGenerator builds mips of R16G16B16A16_FLOAT volumes only");
    volume.TransitionTo(list, ResourceState::UnorderedAccess);
    list.SetPipelineState(*m_pipeline);
    list.SetComputeRootSignature(*m_root);
    for (uint32_t mip = 1; mip < volume.MipLevels(); ++mip) {
        // The previous dispatch (or whatever filled mip 0) must be done before this one reads.
        const ResourceBarrier written = ResourceBarrier::UAV(volume.GetResource());
        list.ResourceBarrier(std::span(&written, 1));
        Shared::VolumeMipConstants c{volume.MipUav(mip - 1).Gpu(), volume.MipUav(mip).Gpu()};
        list.SetComputeRoot32BitConstants(0, 2, &c, 0);
        const uint32_t w = std::max(1u, volume.Width() >> mip), h = std::max(1u, volume.Height() >> mip),
                       d = std::max(1u, volume.Depth() >> mip);
        list.Dispatch((w + 3) / 4, (h + 3) / 4, (d + 3) / 4);
    }
    const ResourceBarrier done = ResourceBarrier::UAV(volume.GetResource());
    list.ResourceBarrier(std::span(&done, 1));
}

}  // namespace Engine
