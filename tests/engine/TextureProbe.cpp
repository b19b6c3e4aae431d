#include "TextureProbe.h"

#include <cstring>

#include "Engine/EngineCore.h"
#include "TestShaders.h"
#include "shaders/tests/SampleLodConstants.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace TavrinTest {

using namespace Engine::Platform;

void TextureProbe::Record(Device& device, CommandList& list, uint32_t textureHeapIndex, const SamplerDesc& sampler, float u,
                          float v, float lod) {
    RootSignatureDesc layout = ShaderLayouts::SampleLod();
    layout.staticSamplers[0].desc = sampler;
    m_root = device.CreateRootSignature(layout);
    ComputePipelineDesc pso;
    pso.rootSignature = m_root.get();
    pso.cs.code = Shaders::SampleLod_comp();
    m_pipeline = device.CreateComputePipelineState(pso);
    m_output.Create(u"ProbeOutput", 4);
    m_readback = device.CreateCommittedResource(HeapType::Readback, ResourceDesc::Buffer(16), ResourceState::CopyDest);

    Engine::Shared::SampleLodConstants constants{};
    constants.uv = {u, v};
    constants.lod = lod;
    list.SetDescriptorHeaps(Engine::EngineCore::GetInstance()->GetHeap(DescriptorHeapType::CbvSrvUav));
    list.SetComputeRootSignature(*m_root);
    list.SetPipelineState(*m_pipeline);
    list.SetComputeRoot32BitConstants(0, 3, &constants, 0);
    list.SetComputeRootDescriptorTable(1, textureHeapIndex);
    list.SetComputeRootDescriptorTable(2, m_output.uavHandle.Gpu());
    list.Dispatch(1, 1, 1);
    m_output.TransitionTo(list, ResourceState::CopySource);
    list.CopyBufferRegion(*m_readback, 0, *m_output.GetResource(), 0, 16);
}

std::array<float, 4> TextureProbe::Result() const {
    std::array<float, 4> values{};
    std::memcpy(values.data(), m_readback->Map(), sizeof(values));
    return values;
}

}  // namespace TavrinTest
