#include "renderer/passes/OutlinePass.h"

#include <algorithm>
#include <cmath>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "renderer/passes/StaticMesh.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
// Root parameters: camera, material, the width scale.
constexpr uint32_t kParamCamera = 0, kParamMaterial = 1, kParamWidth = 2;
}  // namespace

bool HasOutline(const MaterialBuffer& material, Vesma::MaterialStyle settingsStyle) {
    return material.edgeFlag != 0 && material.shadingModel != 0 && material.vertexCount > 0 &&
           ResolveMaterialStyle(material, settingsStyle) == Vesma::MaterialStyle::Classic;
}

bool OutlinePass::HasWork(const FrameInputs& frame, Vesma::MaterialStyle settingsStyle) {
    for (const PMXModelGpu* model : frame.models) {
        if (!model || !model->HasGpuResources()) continue;
        for (const MaterialBuffer& m : model->GetRenderMaterials())
            if (HasOutline(m, settingsStyle)) return true;
    }
    return false;
}

OutlinePass::OutlinePass(Device& device, uint32_t sampleCount) {
    m_root = device.CreateRootSignature(Engine::ShaderLayouts::Outline());
    m_root->SetName("Outline");

    GraphicsPipelineDesc desc;
    desc.rootSignature = m_root.get();
    desc.vs.code = Engine::Shaders::Outline_vert();
    desc.ps.code = Engine::Shaders::Outline_frag();
    desc.inputLayout = {
        InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false},   // position
        InputElement{1, Format::R32G32B32_FLOAT, 0, 12, false},  // last position
        InputElement{2, Format::R32G32B32_FLOAT, 0, 24, false},  // normal
        InputElement{4, Format::R32_FLOAT, 1, 0, false},         // edge scale, its own stream
    };
    desc.inputStrides = {44, 4};
    desc.frontCounterClockwise = true;
    desc.cullMode = CullMode::Front;
    SetSceneTargetState(desc, sampleCount);
    RenderTargetBlend colour;
    colour.blendEnable = true;
    colour.srcBlend = Blend::SrcAlpha;
    colour.destBlend = Blend::InvSrcAlpha;
    colour.srcBlendAlpha = Blend::One;
    colour.destBlendAlpha = Blend::Zero;
    desc.blend = {colour, RenderTargetBlend{}};
    m_pipeline = device.CreateGraphicsPipelineState(desc);
    m_pipeline->SetName("Outline");
}

void OutlinePass::Record(CommandList& list, const FrameInputs& frame, Vesma::MaterialStyle settingsStyle, float width,
                         uint32_t renderHeight) {
    m_draws = 0;
    const float pixelsPerUnit = std::isfinite(width) ? std::max(width, 0.0f) * float(renderHeight) / kOutlineReferenceHeight : 0.0f;
    if (!(pixelsPerUnit > 0.0f)) return;
    const uint32_t frameIndex = frame.frameIndex % Engine::kFrameCount;
    bool bound = false;
    for (PMXModelGpu* model : frame.models) {
        if (!model || !model->HasGpuResources() || !model->GetVertexBuffer().GetResource() ||
            !model->GetIndexBuffer().GetResource() || !model->GetEdgeScaleBuffer().GetResource())
            continue;
        const std::vector<MaterialBuffer>& materials = model->GetRenderMaterials();
        if (std::none_of(materials.begin(), materials.end(),
                         [&](const MaterialBuffer& m) { return HasOutline(m, settingsStyle); }))
            continue;
        if (!bound) {
            list.SetGraphicsRootSignature(*m_root);
            list.SetPipelineState(*m_pipeline);
            list.SetGraphicsRootBufferAddress(kParamCamera, frame.cameraAddress);
            const float constants[2] = {pixelsPerUnit, 0.0f};
            list.SetGraphicsRoot32BitConstants(kParamWidth, 2, constants, 0);
            bound = true;
        }
        auto& vertices = model->GetVertexBuffer();
        auto& indices = model->GetIndexBuffer();
        auto& edgeScales = model->GetEdgeScaleBuffer();
        const VertexBufferView views[] = {
            {vertices.GetResource(), vertices.CopyOffset(frameIndex), static_cast<uint32_t>(vertices.CopySize()),
             sizeof(Vesma::ModelVertex)},
            {edgeScales.GetResource(), 0, static_cast<uint32_t>(edgeScales.CopySize()), sizeof(float)},
        };
        list.IASetVertexBuffers(0, views);
        list.IASetIndexBuffer(IndexBufferView{indices.GetResource(), indices.CopyOffset(frameIndex),
                                              static_cast<uint32_t>(indices.CopySize()), Format::R32_UINT});
        const uint32_t indexCount = indices.NumElementsPerCopy();
        for (std::size_t i = 0; i < materials.size(); ++i) {
            const MaterialBuffer& m = materials[i];
            if (!HasOutline(m, settingsStyle)) continue;
            const uint32_t begin = static_cast<uint32_t>(std::max(m.beginIndex, 0));
            if (begin >= indexCount) continue;
            const uint32_t count = std::min(static_cast<uint32_t>(m.vertexCount), indexCount - begin);
            list.SetGraphicsRootBufferAddress(kParamMaterial, model->MaterialAddress(i, frameIndex));
            list.DrawIndexedInstanced(count, 1, begin, 0, 0);
            ++m_draws;
        }
    }
}

}  // namespace ProjectTavrin
