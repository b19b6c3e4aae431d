#include "renderer/passes/StaticMesh.h"

#include <span>
#include <string>

#include "Engine/Platform/CommandList.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

void StaticMesh::Create(Device& device, const std::vector<Engine::GeometryVertex>& vertices, const std::vector<uint32_t>& indices,
                        std::u16string_view name) {
    m_vertices.Create(device, uint32_t(vertices.size()), 1, std::u16string(name) + u" vertices");
    m_indices.Create(device, uint32_t(indices.size()), 1, std::u16string(name) + u" indices");
    m_vertices.CopyToGpu(std::span<const Engine::GeometryVertex>(vertices), 0);
    m_indices.CopyToGpu(std::span<const uint32_t>(indices), 0);
    m_indexCount = uint32_t(indices.size());
}

void StaticMesh::Draw(CommandList& list) {
    const VertexBufferView vbv{m_vertices.GetResource(), 0, uint32_t(m_vertices.CopySize()), sizeof(Engine::GeometryVertex)};
    list.IASetVertexBuffers(0, std::span(&vbv, 1));
    list.IASetIndexBuffer(IndexBufferView{m_indices.GetResource(), 0, uint32_t(m_indices.CopySize()), Format::R32_UINT});
    list.DrawIndexedInstanced(m_indexCount, 1, 0, 0, 0);
}

void SetSceneTargetState(GraphicsPipelineDesc& desc, uint32_t sampleCount) {
    desc.depthEnable = true;
    desc.depthWrite = true;
    desc.depthFunc = CompareFunc::LessEqual;
    desc.rtvFormats = {Format::R16G16B16A16_FLOAT, Format::R16G16B16A16_FLOAT};
    desc.dsvFormat = Format::D32_FLOAT;
    desc.sampleCount = sampleCount;
}

void SetPositionOnlyLayout(GraphicsPipelineDesc& desc) {
    desc.inputLayout = {InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false}};  // POSITION
    desc.inputStrides = {sizeof(Engine::GeometryVertex)};
}

GraphicsPipelineDesc SceneMeshPipelineDesc(RootSignature* root, std::span<const uint32_t> vs, std::span<const uint32_t> ps,
                                           uint32_t sampleCount) {
    GraphicsPipelineDesc desc;
    desc.rootSignature = root;
    desc.vs.code = vs;
    desc.ps.code = ps;
    SetPositionOnlyLayout(desc);
    SetSceneTargetState(desc, sampleCount);
    return desc;
}

}  // namespace ProjectTavrin
