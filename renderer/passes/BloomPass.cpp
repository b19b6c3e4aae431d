#include "renderer/passes/BloomPass.h"

#include <string>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/BloomConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

Engine::Shared::float2 InverseSize(const Engine::ColorBuffer& image) {
    return {1.0f / float(image.Width()), 1.0f / float(image.Height())};
}

// Every bloom step runs one thread per texel of the image it writes, in groups of 8 x 8.
void DispatchOver(CommandList& list, const Engine::ColorBuffer& dest) {
    list.Dispatch(GroupCount(dest.Width(), 8), GroupCount(dest.Height(), 8), 1);
}

}  // namespace

PixelSize BloomBaseSize(PixelSize scene) {
    return {scene.width < 2561 ? 640u : 1280u, scene.height < 1441 ? 384u : 768u};
}

BloomPass::BloomPass(Device& device)
    : m_extract(device, Engine::Shaders::BloomExtract_comp(), Engine::ShaderLayouts::BloomExtract(), "BloomExtract"),
      m_extractHdr(device, Engine::Shaders::BloomExtractHdr_comp(), Engine::ShaderLayouts::BloomExtractHdr(),
                   "BloomExtractHdr"),
      m_downsample(device, Engine::Shaders::BloomDownsample_comp(), Engine::ShaderLayouts::BloomLevel(),
                   "BloomDownsample"),
      m_blur(device, Engine::Shaders::BloomBlur_comp(), Engine::ShaderLayouts::BloomLevel(), "BloomBlur"),
      m_upsample(device, Engine::Shaders::BloomUpsample_comp(), Engine::ShaderLayouts::BloomUpsample(), "BloomUpsample"),
      m_apply(device, Engine::Shaders::BloomApply_comp(), Engine::ShaderLayouts::BloomApply(), "BloomApply"),
      m_toneMap(device, Engine::Shaders::ToneMap_comp(), Engine::ShaderLayouts::ToneMap(), "ToneMap"),
      m_exposure(device) {}

void BloomPass::EnsureBuffers(PixelSize scene) {
    const PixelSize base = BloomBaseSize(scene);
    if (base == m_base) return;
    for (int level = 0; level < kLevels; ++level) {
        const uint32_t w = std::max(base.width >> level, 1u), h = std::max(base.height >> level, 1u);
        const std::string n = std::to_string(level + 1);
        const std::u16string number(n.begin(), n.end());
        m_a[level].Create(u"Bloom Buffer " + number + u"a", w, h, kSceneColorFormat);
        m_b[level].Create(u"Bloom Buffer " + number + u"b", w, h, kSceneColorFormat);
    }
    m_luma.Create(u"Luma Buffer", base.width, base.height, Format::R8_UINT);
    m_base = base;
}

void BloomPass::Prepare(CommandList& list, Engine::ColorBuffer& dest, std::initializer_list<Engine::ColorBuffer*> sources) {
    for (Engine::ColorBuffer* source : sources) source->TransitionTo(list, ResourceState::NonPixelShaderResource);
    dest.TransitionTo(list, ResourceState::UnorderedAccess);
}

void BloomPass::Extract(CommandList& list, Engine::ColorBuffer& scene, bool hdr, const PostParams& params) {
    Engine::ColorBuffer& dest = m_a[0];
    Prepare(list, dest, {&scene});
    if (!hdr) {
        Engine::Shared::BloomExtractConstants c{};
        c.inverseOutputSize = InverseSize(dest);
        c.threshold = params.BloomThreshold;
        c.source = scene.srvHandle.Gpu();
        c.dest = dest.uavHandle.Gpu();
        m_extract.Bind(list, c);
    } else {
        m_luma.TransitionTo(list, ResourceState::UnorderedAccess);
        m_exposure.Block().TransitionTo(list, ResourceState::UnorderedAccess);
        Engine::Shared::BloomExtractHdrConstants c{};
        c.inverseOutputSize = InverseSize(dest);
        c.threshold = params.BloomThreshold;
        c.source = scene.srvHandle.Gpu();
        c.dest = dest.uavHandle.Gpu();
        c.exposure = m_exposure.Block().uavHandle.Gpu();
        c.luma = m_luma.uavHandle.Gpu();
        m_extractHdr.Bind(list, c);
    }
    DispatchOver(list, dest);
}

void BloomPass::Downsample(CommandList& list) {
    for (int level = 1; level < kLevels; ++level) {
        Prepare(list, m_a[level], {&m_a[level - 1]});
        Engine::Shared::BloomLevelConstants c{};
        c.inverseOutputSize = InverseSize(m_a[level]);
        c.source = m_a[level - 1].srvHandle.Gpu();
        c.dest = m_a[level].uavHandle.Gpu();
        m_downsample.Bind(list, c);
        DispatchOver(list, m_a[level]);
    }
}

void BloomPass::Upsample(CommandList& list, const PostParams& params) {
    Engine::ColorBuffer& smallest = m_b[kLevels - 1];
    Prepare(list, smallest, {&m_a[kLevels - 1]});
    Engine::Shared::BloomLevelConstants blur{};
    blur.inverseOutputSize = InverseSize(smallest);
    blur.source = m_a[kLevels - 1].srvHandle.Gpu();
    blur.dest = smallest.uavHandle.Gpu();
    m_blur.Bind(list, blur);
    DispatchOver(list, smallest);

    for (int level = kLevels - 2; level >= 0; --level) {
        Prepare(list, m_b[level], {&m_a[level], &m_b[level + 1]});
        Engine::Shared::BloomUpsampleConstants c{};
        c.inverseOutputSize = InverseSize(m_b[level]);
        c.blend = params.BloomUpsampleBlend;
        c.higher = m_a[level].srvHandle.Gpu();
        c.lower = m_b[level + 1].srvHandle.Gpu();
        c.dest = m_b[level].uavHandle.Gpu();
        m_upsample.Bind(list, c);
        DispatchOver(list, m_b[level]);
    }
}

void BloomPass::Apply(CommandList& list, Engine::ColorBuffer& scene, bool hdr, const PostParams& params) {
    Engine::ColorBuffer& bloom = m_b[0];
    Prepare(list, scene, {&bloom});
    if (!hdr) {
        Engine::Shared::BloomApplyConstants c{};
        c.inverseOutputSize = InverseSize(scene);
        c.strength = params.BloomStrength;
        c.bloom = bloom.srvHandle.Gpu();
        c.scene = scene.uavHandle.Gpu();
        m_apply.Bind(list, c);
    } else {
        m_exposure.Block().TransitionTo(list, ResourceState::UnorderedAccess);
        Engine::Shared::ToneMapConstants c{};
        c.inverseOutputSize = InverseSize(scene);
        c.strength = params.BloomStrength;
        c.bloom = bloom.srvHandle.Gpu();
        c.scene = scene.uavHandle.Gpu();
        c.exposure = m_exposure.Block().uavHandle.Gpu();
        c.enableTonemap = params.ToneMapEnable ? 1u : 0u;
        m_toneMap.Bind(list, c);
    }
    DispatchOver(list, scene);
}

void BloomPass::Record(CommandList& list, Engine::ColorBuffer& scene, const PostParams& params) {
    EnsureBuffers({scene.Width(), scene.Height()});
    if (!m_initialised) {
        m_exposure.Initialise(list, params);
        m_initialised = true;
    }
    const bool hdrPath = params.ToneMapEnable || params.AdaptationEnable;
    Extract(list, scene, hdrPath, params);
    Downsample(list);
    Upsample(list, params);
    Apply(list, scene, hdrPath, params);
    m_lastAdapted = hdrPath && params.AdaptationEnable;
    if (!hdrPath) return;
    if (params.AdaptationEnable) m_exposure.Adapt(list, m_luma, params);
    else m_exposure.Initialise(list, params);
}

}  // namespace ProjectTavrin
