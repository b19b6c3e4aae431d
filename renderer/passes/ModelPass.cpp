#include "renderer/passes/ModelPass.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "Engine/Platform/CommandList.h"
#include "model/ExtendedMaterial.h"
#include "renderer/passes/StaticMesh.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr uint32_t kTransparentShadingModel = static_cast<uint32_t>(Vesma::ShadingModel::ThinTranslucent);

// Root parameter numbers: the frame block, the material and the texture slots it binds, the clip.
constexpr uint32_t kParamFrame = 0, kParamMaterial = 1, kParamDiffuse = 2, kParamSphere = 3, kParamToon = 4,
                   kParamNormal = 5, kParamCurvature = 6, kParamThickness = 7, kParamOcclusion = 8, kParamAlphaClip = 9,
                   kParamMaterialStyle = 10;

// Every binding of the frame block starts unbound (an address of 0, a table of "none") so that
// a slot the shader tests is never read uninitialised.
Engine::Shared::ModelFrameConstants UnboundFrameConstants() {
    Engine::Shared::ModelFrameConstants f{};
    for (uint32_t* table : {&f.occlusionMap, &f.specularReflectionMap, &f.ambientCubemap, &f.voxelWrite0, &f.voxelWrite1,
                            &f.varianceShadowMap, &f.shadowInput2, &f.voxelRadiance, &f.reservedTable0, &f.reservedTable1,
                            &f.brdfIbl, &f.brdfSkin, &f.ddgiTable})
        *table = kNoDescriptor;
    return f;
}

}  // namespace

MaterialPass PassForMaterial(const MaterialBuffer& material, bool softAlphaTexture) {
    if (material.shadingModel == 0) return MaterialPass::None;
    if (material.shadingModel == kTransparentShadingModel) return MaterialPass::Transparent;
    if (material.diffuse.w < 1.0f || softAlphaTexture) return MaterialPass::Transparent;
    return MaterialPass::Opaque;
}

ModelPass::ModelPass(Device& device, uint32_t sampleCount) {
    m_root = device.CreateRootSignature(Engine::ShaderLayouts::ModelDraw());
    m_root->SetName("Model");
    m_frameBlock.Create(device, 1, Engine::kFrameCount, u"ModelFrameConstants");

    GraphicsPipelineDesc desc;
    desc.rootSignature = m_root.get();
    desc.vs.code = Engine::Shaders::Model_vert();
    desc.ps.code = Engine::Shaders::Model_frag();
    desc.inputLayout = {
        InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false},   // POSITION
        InputElement{1, Format::R32G32B32_FLOAT, 0, 12, false},  // LASTPOSITION
        InputElement{2, Format::R32G32B32_FLOAT, 0, 24, false},  // NORMAL
        InputElement{3, Format::R32G32_FLOAT, 0, 36, false},     // TEXCOORD
    };
    desc.inputStrides = {44};
    desc.frontCounterClockwise = true;
    SetSceneTargetState(desc, sampleCount);

    auto make = [&](CullMode cull, bool blend, const char* name) {
        GraphicsPipelineDesc d = desc;
        d.cullMode = cull;
        if (blend) {
            RenderTargetBlend b;
            b.blendEnable = true;
            b.srcBlend = Blend::SrcAlpha;
            b.destBlend = Blend::InvSrcAlpha;
            b.srcBlendAlpha = Blend::One;
            b.destBlendAlpha = Blend::Zero;
            d.blend = {b, b};
        }
        auto pipeline = device.CreateGraphicsPipelineState(d);
        pipeline->SetName(name);
        return pipeline;
    };
    m_transparentCulled = make(CullMode::Back, true, "Model transparent, culled");
    m_transparentDoubleSided = make(CullMode::None, true, "Model transparent, double-sided");
    m_opaqueCulled = make(CullMode::Back, false, "Model opaque, culled");
    m_opaqueDoubleSided = make(CullMode::None, false, "Model opaque, double-sided");
}

void ModelPass::Record(CommandList& list, const FrameInputs& frame, uint64_t renderConfigAddress, const PassResults& results) {
    m_opaqueDraws = m_transparentDraws = 0;
    const uint32_t slot = frame.frameIndex % Engine::kFrameCount;
    Engine::Shared::ModelFrameConstants& block = m_frameBlock[0].constants;
    block = UnboundFrameConstants();
    block.camera = frame.cameraAddress;
    block.renderConfig = renderConfigAddress;
    if (frame.brdfIbl && !frame.brdfIbl->srv.IsNull()) block.brdfIbl = frame.brdfIbl->srv.Gpu();
    if (frame.brdfSkin && !frame.brdfSkin->srv.IsNull()) block.brdfSkin = frame.brdfSkin->srv.Gpu();
    block.varianceShadowMap = results.varianceShadowMap;
    block.shadowData = results.shadowData;
    block.ambientCubemap = results.ambientCubemap;
    block.occlusionMap = results.occlusionMap;
    block.specularReflectionMap = results.specularReflectionMap;
    block.ddgiVolumes = results.probeVolumes;
    block.volumeSelect = results.probeVolumeCount;
    block.ddgiTable = results.probeTable;
    block.voxelRadiance = results.voxelRadiance;
    block.voxelConstants = results.voxelConstants;
    block.voxelWrite0 = results.voxelWrite0;
    block.voxelWrite1 = results.voxelWrite1;
    m_frameBlock.CopyStagingToGpu(slot);

    list.SetGraphicsRootSignature(*m_root);
    // Every parameter starts unbound (a buffer address of 0, a table of "none") so that a slot
    // the shader tests is never read uninitialised.
    for (uint32_t i = 0; i < kModelRootParameterCount; ++i) {
        const RootParameter& p = m_root->Desc().parameters[i];
        if (p.type == RootParameterType::DescriptorTable) list.SetGraphicsRootDescriptorTable(i, kNoDescriptor);
        else if (p.type == RootParameterType::BufferAddress) list.SetGraphicsRootBufferAddress(i, 0);
        else list.SetGraphicsRoot32BitConstant(i, 0, 0);
    }
    list.SetGraphicsRootBufferAddress(kParamFrame, m_frameBlock.GpuVirtualAddress(slot));

    DrawList(list, frame, true);
    DrawList(list, frame, false);
}

void ModelPass::DrawList(CommandList& list, const FrameInputs& frame, bool opaquePass) {
    const uint32_t frameIndex = frame.frameIndex % Engine::kFrameCount;
    for (PMXModelGpu* model : frame.models) {
        if (!model || !model->BindFrameGeometry(list, frameIndex)) continue;

        const std::vector<MaterialBuffer>& materials = model->GetRenderMaterials();
        const std::vector<ModelTexture>& textures = model->GetTextures();
        const uint32_t indexCount = model->GetIndexBuffer().NumElementsPerCopy();
        PipelineState* bound = nullptr;
        for (std::size_t i = 0; i < materials.size(); ++i) {
            const MaterialBuffer& m = materials[i];
            const MaterialPass pass = PassForMaterial(m, model->HasSoftAlphaTexture(i));
            if (pass != (opaquePass ? MaterialPass::Opaque : MaterialPass::Transparent)) continue;
            PipelineState* pipeline = opaquePass ? (m.bothFace ? m_opaqueDoubleSided.get() : m_opaqueCulled.get())
                                                 : (m.bothFace ? m_transparentDoubleSided.get() : m_transparentCulled.get());
            if (pipeline != bound) {
                list.SetPipelineState(*pipeline);
                bound = pipeline;
            }
            const float clip = opaquePass ? kOpaqueAlphaClip : kTransparentAlphaClip;
            list.SetGraphicsRoot32BitConstants(kParamAlphaClip, 1, &clip, 0);
            list.SetGraphicsRootBufferAddress(kParamMaterial, model->MaterialAddress(i, frameIndex));
            const uint32_t style[2] = {static_cast<uint32_t>(ResolveMaterialStyle(m, m_settingsStyle)), 0};
            list.SetGraphicsRoot32BitConstants(kParamMaterialStyle, 2, style, 0);
            const std::pair<int32_t, uint32_t> slots[] = {
                {m.textureIndex, kParamDiffuse},         {m.spTextureIndex, kParamSphere},
                {m.toonTextureIndex, kParamToon},
                {m.normalTextureIndex, kParamNormal},    {m.curvatureTextureIndex, kParamCurvature},
                {m.thicknessTextureIndex, kParamThickness}, {m.occlusionTextureIndex, kParamOcclusion},
            };
            for (const auto& [index, parameter] : slots)
                if (index >= 0 && static_cast<std::size_t>(index) < textures.size() && !textures[index].texture.srv.IsNull())
                    list.SetGraphicsRootDescriptorTable(parameter, textures[index].texture.srv.Gpu());
            // A range past the index buffer (a damaged file) draws what lies inside it.
            const uint32_t begin = static_cast<uint32_t>(std::max(m.beginIndex, 0));
            uint32_t count = static_cast<uint32_t>(std::max(m.vertexCount, 0));
            if (begin >= indexCount) count = 0;
            else if (count > indexCount - begin) count = indexCount - begin;
            list.DrawIndexedInstanced(count, 1, begin, 0, 0);
            ++(opaquePass ? m_opaqueDraws : m_transparentDraws);
        }
    }
}

}  // namespace ProjectTavrin
