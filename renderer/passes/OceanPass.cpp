#include "renderer/passes/OceanPass.h"

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "renderer/passes/SkyPass.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/SkyConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

OceanPass::OceanPass(Device& device, uint32_t sampleCount) {
    m_root = device.CreateRootSignature(Engine::ShaderLayouts::OceanDraw());
    m_root->SetName("Ocean");
    GraphicsPipelineDesc desc = SceneMeshPipelineDesc(m_root.get(), Engine::Shaders::Ocean_vert(),
                                                      Engine::Shaders::Ocean_frag(), sampleCount);
    // Front faces wind clockwise here (unlike the models'): culling them keeps the plane's upper
    // side, the one the camera sees from above.
    desc.cullMode = CullMode::Front;
    desc.frontCounterClockwise = false;
    m_pipeline = device.CreateGraphicsPipelineState(desc);
    m_pipeline->SetName("Ocean");

    std::vector<Engine::GeometryVertex> vertices;
    std::vector<uint32_t> indices;
    Engine::Geometry::MakePlane(vertices, indices, kPlaneSize, kPlaneSize);
    m_plane.Create(device, vertices, indices, u"Ocean plane");
}

void OceanPass::Record(CommandList& list, uint64_t cameraAddress, uint64_t oceanAddress, uint32_t skyMap) {
    list.SetGraphicsRootSignature(*m_root);
    list.SetPipelineState(*m_pipeline);
    list.SetGraphicsRootBufferAddress(0, cameraAddress);
    list.SetGraphicsRootBufferAddress(1, oceanAddress);
    list.SetGraphicsRootDescriptorTable(2, skyMap);
    const float maxRadiance = SkyPass::kMaxRadiance;
    list.SetGraphicsRoot32BitConstants(3, 1, &maxRadiance, 0);
    m_plane.Draw(list);
}

}  // namespace ProjectTavrin
