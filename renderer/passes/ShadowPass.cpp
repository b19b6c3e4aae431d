#include "renderer/passes/ShadowPass.h"

#include <algorithm>
#include <cmath>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "model/ExtendedMaterial.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr uint32_t kTransparentShadingModel = static_cast<uint32_t>(Vesma::ShadingModel::ThinTranslucent);
constexpr ResourceState kShaderRead = ResourceState::NonPixelShaderResource | ResourceState::PixelShaderResource;
// Materials this faint are not drawn by the blended pass either (its alpha clip).
constexpr float kInvisibleAlpha = 0.005f;

}  // namespace

CascadeBlur BlurForCascade(const Math::vec4& scale, const Math::vec4& scale0, float filterSize) {
    auto width = [&](float s, float s0) {
        const float a0 = std::max(std::abs(s0), 1e-20f);
        const float w = std::min(9.0f / a0, filterSize) * std::abs(s);
        return std::isfinite(w) ? std::clamp(w, 1.0f, 9.0f) : 1.0f;
    };
    CascadeBlur b;
    b.widthX = width(scale.x, scale0.x);
    b.widthY = width(scale.y, scale0.y);
    b.radiusX = uint32_t(std::floor(b.widthX * 0.5f + 0.499f));
    b.radiusY = uint32_t(std::floor(b.widthY * 0.5f + 0.499f));
    return b;
}

ShadowPass::ShadowPass(Device& device)
    : m_convert(device, Engine::Shaders::ConvertToVsm_comp(), Engine::ShaderLayouts::ConvertToVsm(), "ConvertToVSM"),
      m_blurX(device, Engine::Shaders::BlurVsmX_comp(), Engine::ShaderLayouts::BlurVsm(), "BlurVSM_X"),
      m_blurY(device, Engine::Shaders::BlurVsmY_comp(), Engine::ShaderLayouts::BlurVsm(), "BlurVSM_Y") {
    m_atlas.Create(u"ShadowMap", kShadowMapSize * kMaxShadowCascades, kShadowMapSize, Format::D32_FLOAT, false, 1.0f);
    m_moments.Create(u"VarianceShadowMap", kShadowMapSize, kShadowMapSize, kMaxShadowCascades, Format::R32G32B32A32_FLOAT);
    m_blurTemp.Create(u"VarianceShadowTempMap", kShadowMapSize, kShadowMapSize, Format::R32G32B32A32_FLOAT);
    m_upload.Create(device, 1, Engine::kFrameCount, u"ShadowData");

    m_casterRoot = device.CreateRootSignature(Engine::ShaderLayouts::ShadowCaster());
    m_casterRoot->SetName("ShadowCaster");
    GraphicsPipelineDesc desc;
    desc.rootSignature = m_casterRoot.get();
    desc.vs.code = Engine::Shaders::ShadowCaster_vert();
    desc.ps.code = Engine::Shaders::ShadowCaster_frag();
    desc.inputLayout = {
        InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false},  // POSITION
        InputElement{1, Format::R32G32_FLOAT, 0, 36, false},    // TEXCOORD
    };
    desc.inputStrides = {sizeof(Vesma::ModelVertex)};
    desc.cullMode = CullMode::None;
    desc.frontCounterClockwise = true;
    desc.depthEnable = true;
    desc.depthWrite = true;
    desc.depthFunc = CompareFunc::LessEqual;
    desc.dsvFormat = Format::D32_FLOAT;
    m_casterPipeline = device.CreateGraphicsPipelineState(desc);
    m_casterPipeline->SetName("ShadowCaster");
}

bool ShadowPass::UpdateShadowCascades(const ShadowParams& params, const Math::mat4& viewProjection, uint32_t frameIndex) {
    if (!FitShadowCascades(params, params.SunDirection, viewProjection, m_fit)) return false;
    m_hasFit = true;
    m_upload[0].data = ShadowDataForShaders(m_fit.data);
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    for (uint32_t f = 0; f < Engine::kFrameCount; ++f)
        if (!m_uploadedOnce || f == slot) m_upload.CopyStagingToGpu(f);
    m_uploadedOnce = true;
    return true;
}

uint64_t ShadowPass::ShadowDataAddress(uint32_t frameIndex) const {
    return m_upload.GpuVirtualAddress(frameIndex % Engine::kFrameCount);
}

void ShadowPass::Record(CommandList& list, PassLog& log, const std::vector<PMXModelGpu*>& models, uint32_t frameIndex,
                        PassResults& results) {
    if (!m_hasFit) return;
    m_casterDraws = 0;
    m_lastBlurs = {};
    const uint32_t count = m_fit.cascadeCount;
    {
        ScopedPass casters(list, log, kCastersName);
        list.SetGraphicsRootSignature(*m_casterRoot);
        list.SetPipelineState(*m_casterPipeline);
        const Rect scissor{0, 0, int32_t(kShadowMapSize * count), int32_t(kShadowMapSize)};
        list.RSSetScissorRects(std::span(&scissor, 1));
        m_atlas.TransitionTo(list, ResourceState::DepthWrite);
        const CpuDescriptor dsv = m_atlas.dsvHandle.Cpu();
        list.OMSetRenderTargets({}, &dsv);
        for (uint32_t i = 0; i < count; ++i) {
            const int32_t left = int32_t(kShadowMapSize * i);
            const Rect tile{left, 0, left + int32_t(kShadowMapSize), int32_t(kShadowMapSize)};
            list.ClearDepthStencilView(dsv, 1.0f, 0, std::span(&tile, 1));
            const Viewport viewport{float(left), 0.0f, float(kShadowMapSize), float(kShadowMapSize), 0.0f, 1.0f};
            list.RSSetViewports(std::span(&viewport, 1));
            DrawCasters(list, models, frameIndex, m_fit.cascadeMatrices[i]);
        }
        list.OMSetRenderTargets({}, nullptr);
    }
    m_atlas.TransitionTo(list, ResourceState::NonPixelShaderResource);
    for (uint32_t i = 0; i < count; ++i) ConvertAndBlurCascade(list, log, i);
    m_moments.TransitionTo(list, kShaderRead);

    results.varianceShadowMap = m_moments.srvHandle.Gpu();
    results.shadowData = ShadowDataAddress(frameIndex);
}

void ShadowPass::DrawCasters(CommandList& list, const std::vector<PMXModelGpu*>& models, uint32_t frameIndex,
                             const Math::mat4& cascadeMatrix) {
    Engine::Shared::ShadowCasterConstants constants{};
    constants.ShadowMatrix = Math::Transpose(cascadeMatrix);
    constants.alphaClip = kShadowAlphaClip;
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    for (PMXModelGpu* model : models) {
        if (!model || !model->BindFrameGeometry(list, slot)) continue;
        const std::vector<MaterialBuffer>& materials = model->GetRenderMaterials();
        const std::vector<ModelTexture>& textures = model->GetTextures();
        const uint32_t indexCount = model->GetIndexBuffer().NumElementsPerCopy();
        for (const MaterialBuffer& m : materials) {
            // Materials that are never drawn (shading model 0) still cast, as their flag says.
            if (m.shadowCaster == 0 || m.shadingModel == kTransparentShadingModel) continue;
            if (!(m.diffuse.w >= kInvisibleAlpha)) continue;  // hidden by a morph: nothing to cast
            constants.texDiffuse = kNoDescriptor;
            // Only a texture with holes needs the alpha test.
            if (m.textureIndex >= 0 && std::size_t(m.textureIndex) < textures.size()) {
                const Engine::TextureResource& t = textures[std::size_t(m.textureIndex)].texture;
                if (!t.srv.IsNull() && t.alpha != Engine::AlphaContent::Opaque) constants.texDiffuse = t.srv.Gpu();
            }
            const uint32_t begin = static_cast<uint32_t>(std::max(m.beginIndex, 0));
            uint32_t n = static_cast<uint32_t>(std::max(m.vertexCount, 0));
            if (begin >= indexCount) n = 0;
            else if (n > indexCount - begin) n = indexCount - begin;
            if (n == 0) continue;
            list.SetGraphicsRoot32BitConstants(0, sizeof(constants) / 4, &constants, 0);
            list.DrawIndexedInstanced(n, 1, begin, 0, 0);
            ++m_casterDraws;
        }
    }
}

void ShadowPass::ConvertAndBlurCascade(CommandList& list, PassLog& log, uint32_t cascade) {
    const uint32_t groups = GroupCount(kShadowMapSize, 16);
    {
        ScopedPass convert(list, log, kConvertName);
        Engine::Shared::ConvertToVsmConstants c{};
        c._PositiveExponent = m_fit.data._PositiveExponent;
        c._NegativeExponent = m_fit.data._NegativeExponent;
        c._CascadeIdx = cascade;
        c._ShadowMapSize = kShadowMapSize;
        c.shadowMap = m_atlas.srvHandle.Gpu();
        c.vsm = m_moments.uavHandle.Gpu();
        // Already there (the last cascade's blur wrote it): a barrier between the writes.
        m_moments.TransitionTo(list, ResourceState::UnorderedAccess);
        m_convert.Bind(list, c);
        list.Dispatch(groups, groups, 1);
    }
    const Math::vec4 scale = m_fit.data._CascadeScales[cascade];
    const CascadeBlur blur = BlurForCascade(scale, m_fit.data._CascadeScales[0], m_fit.data._FilterSize);
    m_lastBlurs[cascade] = blur;
    if (blur.Skipped()) return;

    Engine::Shared::BlurVsmConstants b{};
    b._CascadeScale = scale;
    b._Cascade0Scale = m_fit.data._CascadeScales[0];
    b._CascadeIdx = cascade;
    b._FilterSize = m_fit.data._FilterSize;
    b._ShadowMapSize = kShadowMapSize;
    {
        ScopedPass across(list, log, kBlurXName);
        m_moments.TransitionTo(list, kShaderRead);
        m_blurTemp.TransitionTo(list, ResourceState::UnorderedAccess);
        b._SampleRadius = blur.radiusX;
        b.source = m_moments.srvHandle.Gpu();
        b.dest = m_blurTemp.uavHandle.Gpu();
        m_blurX.Bind(list, b);
        list.Dispatch(groups, groups, 1);
    }
    {
        ScopedPass down(list, log, kBlurYName);
        m_blurTemp.TransitionTo(list, ResourceState::NonPixelShaderResource);
        m_moments.TransitionTo(list, ResourceState::UnorderedAccess);
        b._SampleRadius = blur.radiusY;
        b.source = m_blurTemp.srvHandle.Gpu();
        b.dest = m_moments.uavHandle.Gpu();
        m_blurY.Bind(list, b);
        list.Dispatch(groups, groups, 1);
    }
}

}  // namespace ProjectTavrin
