#include "renderer/passes/SsaoPass.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

constexpr uint32_t kSlices = 16;
// (far - near) / near for the camera's planes 1 and 16384.
constexpr float kZMagic = 16383.0f;
constexpr std::string_view kPrepare1 = "PrepareDepthBuffers1", kPrepare2 = "PrepareDepthBuffers2",
                           kCompute = "SSAOCompute";

// The half-depths of the sphere at the twelve sample positions (offsets in fifths of its radius).
std::array<float, 12> ThicknessTable() {
    const float at[12][2] = {{0.2f, 0}, {0.4f, 0}, {0.6f, 0}, {0.8f, 0}, {0.2f, 0.2f}, {0.2f, 0.4f},
                             {0.2f, 0.6f}, {0.2f, 0.8f}, {0.4f, 0.4f}, {0.4f, 0.6f}, {0.4f, 0.8f}, {0.6f, 0.6f}};
    std::array<float, 12> table{};
    for (int i = 0; i < 12; ++i) table[i] = std::sqrt(1.0f - at[i][0] * at[i][0] - at[i][1] * at[i][1]);
    return table;
}

uint32_t Divide(uint32_t x, uint32_t n) { return (x + n - 1) / n; }

std::u16string Numbered(std::u16string_view name, int number) {
    return std::u16string(name) + char16_t(u'0' + number);
}

void ToRead(CommandList& list, Engine::GpuResource& r) { r.TransitionTo(list, ResourceState::NonPixelShaderResource); }
void ToWrite(CommandList& list, Engine::GpuResource& r) { r.TransitionTo(list, ResourceState::UnorderedAccess); }

}  // namespace

PixelSize SsaoLevelSize(PixelSize depth, int level) {
    const uint32_t n = 1u << level;
    return {Divide(depth.width, n), Divide(depth.height, n)};
}

PixelSize SsaoAtlasSize(PixelSize depth, int level) {
    const uint32_t n = 1u << (level + 2);
    return {Divide(depth.width, n), Divide(depth.height, n)};
}

Engine::Shared::SsaoComputeConstants SsaoOcclusionConstants(const SsaoParams& params, float projectionXScale,
                                                            uint32_t width, uint32_t height, uint32_t slices) {
    static const std::array<float, 12> thickness = ThicknessTable();
    const float tanHalfFov = 1.0f / projectionXScale;
    float multiplier = 2.0f * tanHalfFov * params.ScreenSpaceDiameter / float(width);
    if (slices == 1) multiplier *= 2.0f;
    const float inverseRange = 1.0f / multiplier;
    Engine::Shared::SsaoComputeConstants c{};
    const float multiplicity[12] = {4, 4, 4, 4, 4, 8, 8, 8, 4, 8, 8, 4};
    float weights[12], total = 0;
    for (int i = 0; i < 12; ++i) {
        c.invThicknessTable[i / 4][i % 4] = inverseRange / thickness[i];
        weights[i] = multiplicity[i] * thickness[i];
        total += weights[i];
    }
    for (int i = 0; i < 12; ++i) c.sampleWeightTable[i / 4][i % 4] = weights[i] / total;
    c.invSliceDimension = {1.0f / float(width), 1.0f / float(height)};
    c.rejectFadeoff = 1.0f / -params.RejectionFalloff;
    c.rcpAccentuation = 1.0f / (params.Accentuation + 0.5f);
    return c;
}

Engine::Shared::SsaoBlurConstants SsaoBlurUpsampleConstants(const SsaoParams& params, PixelSize low, PixelSize high) {
    Engine::Shared::SsaoBlurConstants c{};
    c.invLowResolution = {1.0f / float(low.width), 1.0f / float(low.height)};
    c.invHighResolution = {1.0f / float(high.width), 1.0f / float(high.height)};
    c.upsampleTolerance = std::pow(10.0f, params.UpsampleTolerance);
    c.noiseFilterStrength = 1.0f / (std::pow(10.0f, params.NoiseFilterTolerance) + c.upsampleTolerance);
    c.stepSize = 1920.0f / float(low.width);
    const float blur = 1.0f - std::pow(10.0f, params.BlurTolerance) * 1920.0f / float(low.width);
    c.blurTolerance = blur * blur;
    return c;
}

SsaoPass::SsaoPass(Device& device)
    : m_prepare1(device, Engine::Shaders::SsaoPrepareDepth1_comp(), Engine::ShaderLayouts::SsaoPrepare(), kPrepare1),
      m_prepare2(device, Engine::Shaders::SsaoPrepareDepth2_comp(), Engine::ShaderLayouts::SsaoPrepare(), kPrepare2),
      m_compute1(device, Engine::Shaders::SsaoCompute1_comp(), Engine::ShaderLayouts::SsaoCompute(), "Compute1"),
      m_compute2(device, Engine::Shaders::SsaoCompute2_comp(), Engine::ShaderLayouts::SsaoCompute(), "Compute2"),
      m_blurUpsamplePreMin(device, Engine::Shaders::SsaoBlurUpsamplePreMin_comp(), Engine::ShaderLayouts::SsaoBlurUpsample(),
                           "BlurUpsamplePreMin"),
      m_blurUpsamplePreMinBlendOut(device, Engine::Shaders::SsaoBlurUpsamplePreMinBlendOut_comp(),
                                   Engine::ShaderLayouts::SsaoBlurUpsample(), "BlurUpsamplePreMinBlendOut") {}

void SsaoPass::CreateBuffers(PixelSize size) {
    m_occlusion.Create(u"Occlusion", size.width, size.height, Format::R8_UNORM);
    m_linearDepth.Create(u"LinearDepth", size.width, size.height, Format::R16_UNORM);
    for (int l = 1; l <= kLevels; ++l) {
        const PixelSize level = SsaoLevelSize(size, l), atlas = SsaoAtlasSize(size, l);
        m_downSized[l - 1].Create(Numbered(u"Depth Down-Sized ", l), level.width, level.height, Format::R32_FLOAT);
        m_deInterleaved[l - 1].Create(Numbered(u"Depth De-Interleaved ", l), atlas.width, atlas.height, kSlices,
                                      Format::R16_FLOAT);
        m_reInterleaved[l - 1].Create(Numbered(u"AO Re-Interleaved ", l), level.width, level.height, Format::R8_UNORM);
        m_highQuality[l - 1].Create(Numbered(u"AO High Quality ", l), level.width, level.height, Format::R8_UNORM);
        if (l < kLevels)
            m_smoothed[l - 1].Create(Numbered(u"AO Smoothed ", l), level.width, level.height, Format::R8_UNORM);
    }
    m_size = size;
    m_hasResult = false;
}

void SsaoPass::Record(CommandList& list, PassLog& log, Engine::DepthBuffer& depth, float projectionXScale,
                      const SsaoParams& params) {
    const PixelSize size{depth.Width(), depth.Height()};
    if (!(size == m_size)) CreateBuffers(size);
    const int levels = std::clamp(params.HierarchyDepth, 1, kLevels);
    m_lastLevels = levels;
    PrepareDepth(list, log, depth, levels);

    for (auto& b : m_downSized) ToRead(list, b);
    for (auto& b : m_deInterleaved) ToRead(list, b);
    ToRead(list, m_linearDepth);
    {
        ScopedPass label(list, log, kCompute);
        for (int l = levels; l >= 1; --l) ComputeLevel(list, l, projectionXScale, params);
    }

    Engine::ColorBuffer* coarse = &m_reInterleaved[levels - 1];
    for (int l = levels - 1; l >= 1; --l) {
        BlurUpsample(list, params, m_smoothed[l - 1], m_downSized[l], m_downSized[l - 1], *coarse, m_highQuality[l],
                     &m_reInterleaved[l - 1]);
        coarse = &m_smoothed[l - 1];
    }
    BlurUpsample(list, params, m_occlusion, m_downSized[0], m_linearDepth, *coarse, m_highQuality[0], nullptr);
    m_occlusion.TransitionTo(list, ResourceState::PixelShaderResource);
    m_hasResult = true;
}

void SsaoPass::PrepareDepth(CommandList& list, PassLog& log, Engine::DepthBuffer& depth, int levels) {
    {
        ScopedPass label(list, log, kPrepare1);
        depth.TransitionTo(list, ResourceState::NonPixelShaderResource);
        for (Engine::GpuResource* r : {static_cast<Engine::GpuResource*>(&m_linearDepth), static_cast<Engine::GpuResource*>(&m_downSized[0]),
                                       static_cast<Engine::GpuResource*>(&m_deInterleaved[0]),
                                       static_cast<Engine::GpuResource*>(&m_downSized[1]),
                                       static_cast<Engine::GpuResource*>(&m_deInterleaved[1])})
            ToWrite(list, *r);
        Engine::Shared::SsaoPrepareConstants c{};
        c.zMagic = kZMagic;
        c.source = depth.srvHandle.Gpu();
        c.linearZ = m_linearDepth.uavHandle.Gpu();
        c.downSized1 = m_downSized[0].uavHandle.Gpu();
        c.atlas1 = m_deInterleaved[0].uavHandle.Gpu();
        c.downSized2 = m_downSized[1].uavHandle.Gpu();
        c.atlas2 = m_deInterleaved[1].uavHandle.Gpu();
        m_prepare1.Bind(list, c);
        // One 8 x 8 group per texel of the second level's slices: 16 x 16 pixels.
        const PixelSize atlas = SsaoAtlasSize(m_size, 2);
        list.Dispatch(atlas.width, atlas.height, 1);
    }
    if (levels <= 2) return;
    ScopedPass label(list, log, kPrepare2);
    ToRead(list, m_downSized[1]);
    for (Engine::GpuResource* r : {static_cast<Engine::GpuResource*>(&m_downSized[2]), static_cast<Engine::GpuResource*>(&m_deInterleaved[2]),
                                   static_cast<Engine::GpuResource*>(&m_downSized[3]),
                                   static_cast<Engine::GpuResource*>(&m_deInterleaved[3])})
        ToWrite(list, *r);
    Engine::Shared::SsaoPrepareConstants c{};
    c.invSourceSize = {1.0f / float(m_downSized[1].Width()), 1.0f / float(m_downSized[1].Height())};
    c.source = m_downSized[1].srvHandle.Gpu();
    c.downSized1 = m_downSized[2].uavHandle.Gpu();
    c.atlas1 = m_deInterleaved[2].uavHandle.Gpu();
    c.downSized2 = m_downSized[3].uavHandle.Gpu();
    c.atlas2 = m_deInterleaved[3].uavHandle.Gpu();
    m_prepare2.Bind(list, c);
    const PixelSize atlas = SsaoAtlasSize(m_size, 4);
    list.Dispatch(atlas.width, atlas.height, 1);
}

void SsaoPass::ComputeLevel(CommandList& list, int level, float projectionXScale, const SsaoParams& params) {
    Engine::ColorBufferArray& slices = m_deInterleaved[level - 1];
    Engine::ColorBuffer& plain = m_downSized[level - 1];
    ToWrite(list, m_reInterleaved[level - 1]);
    Engine::Shared::SsaoComputeConstants c =
        SsaoOcclusionConstants(params, projectionXScale, slices.Width(), slices.Height(), kSlices);
    c.depth = slices.srvHandle.Gpu();
    c.dest = m_reInterleaved[level - 1].uavHandle.Gpu();
    m_compute1.Bind(list, c);
    list.Dispatch(GroupCount(slices.Width(), 8), GroupCount(slices.Height(), 8), kSlices);

    ToWrite(list, m_highQuality[level - 1]);
    c = SsaoOcclusionConstants(params, projectionXScale, plain.Width(), plain.Height(), 1);
    c.depth = plain.srvHandle.Gpu();
    c.dest = m_highQuality[level - 1].uavHandle.Gpu();
    m_compute2.Bind(list, c);
    list.Dispatch(GroupCount(plain.Width(), 16), GroupCount(plain.Height(), 16), 1);
}

void SsaoPass::BlurUpsample(CommandList& list, const SsaoParams& params, Engine::ColorBuffer& dest,
                            Engine::ColorBuffer& lowDepth, Engine::ColorBuffer& highDepth, Engine::ColorBuffer& lowAo1,
                            Engine::ColorBuffer& lowAo2, Engine::ColorBuffer* highAo) {
    for (Engine::ColorBuffer* r : {&lowDepth, &highDepth, &lowAo1, &lowAo2}) ToRead(list, *r);
    if (highAo) ToRead(list, *highAo);
    ToWrite(list, dest);
    const PixelSize low{lowDepth.Width(), lowDepth.Height()}, high{dest.Width(), dest.Height()};
    Engine::Shared::SsaoBlurConstants c = SsaoBlurUpsampleConstants(params, low, high);
    c.loResDepth = lowDepth.srvHandle.Gpu();
    c.hiResDepth = highDepth.srvHandle.Gpu();
    c.loResAO1 = lowAo1.srvHandle.Gpu();
    c.loResAO2 = lowAo2.srvHandle.Gpu();
    c.hiResAO = highAo ? highAo->srvHandle.Gpu() : 0;
    c.dest = dest.uavHandle.Gpu();
    (highAo ? m_blurUpsamplePreMinBlendOut : m_blurUpsamplePreMin).Bind(list, c);
    list.Dispatch(GroupCount(high.width + 2, 16), GroupCount(high.height + 2, 16), 1);
}

}  // namespace ProjectTavrin
