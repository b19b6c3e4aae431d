#include "renderer/passes/ComputePass.h"

#include "Engine/Platform/CommandList.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

ComputePass::ComputePass(Device& device, std::span<const uint32_t> spirv, const RootSignatureDesc& rootDesc,
                         std::string_view name) {
    m_root = device.CreateRootSignature(rootDesc);
    m_root->SetName(name);
    ComputePipelineDesc desc;
    desc.rootSignature = m_root.get();
    desc.cs.code = spirv;
    m_pipeline = device.CreateComputePipelineState(desc);
    m_pipeline->SetName(name);
}

void ComputePass::BindRaw(CommandList& list, const void* constants, uint32_t bytes) const {
    BindPipeline(list);
    list.SetComputeRoot32BitConstants(0, bytes / 4, constants, 0);
}

void ComputePass::BindPipeline(CommandList& list) const {
    list.SetComputeRootSignature(*m_root);
    list.SetPipelineState(*m_pipeline);
}

}  // namespace ProjectTavrin
