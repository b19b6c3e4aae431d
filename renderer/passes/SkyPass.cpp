#include "renderer/passes/SkyPass.h"

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/SkyConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

SkyPass::SkyPass(Device& device, uint32_t sampleCount) {
    m_root = device.CreateRootSignature(Engine::ShaderLayouts::SkyDraw());
    m_root->SetName("Sky");
    GraphicsPipelineDesc desc = SceneMeshPipelineDesc(m_root.get(), Engine::Shaders::Sky_vert(), Engine::Shaders::Sky_frag(),
                                                      sampleCount);
    desc.cullMode = CullMode::None;
    desc.frontCounterClockwise = true;
    m_pipeline = device.CreateGraphicsPipelineState(desc);
    m_pipeline->SetName("Sky");

    std::vector<Engine::GeometryVertex> vertices;
    std::vector<uint32_t> indices;
    Engine::Geometry::MakeSphere(vertices, indices, kSphereSize);
    m_sphere.Create(device, vertices, indices, u"Sky sphere");
}

void SkyPass::Record(CommandList& list, uint64_t cameraAddress, uint32_t skyMap) {
    list.SetGraphicsRootSignature(*m_root);
    list.SetPipelineState(*m_pipeline);
    list.SetGraphicsRootBufferAddress(0, cameraAddress);
    list.SetGraphicsRootDescriptorTable(1, skyMap);
    const float maxRadiance = kMaxRadiance;
    list.SetGraphicsRoot32BitConstants(2, 1, &maxRadiance, 0);
    m_sphere.Draw(list);
}

}  // namespace ProjectTavrin
