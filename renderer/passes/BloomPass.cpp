#include "renderer/passes/BloomPass.h"

#include <string>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/PostConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
enum BloomMode : uint32_t { kExtract = 0, kDownsample = 1, kBlur = 2, kUpsample = 3, kApply = 4, kToneMap = 5, kExtractHdr = 6 };
enum ExposureMode : uint32_t { kInitialise = 0, kHistogram = 1, kAdapt = 2, kClearHistogram = 3 };
constexpr float kInitialMinLog = -12.0f, kInitialMaxLog = 4.0f;
}  // namespace

PixelSize BloomBaseSize(PixelSize scene) {
    return {scene.width < 2561 ? 640u : 1280u, scene.height < 1441 ? 384u : 768u};
}

BloomPass::BloomPass(Device& device)
    : m_pass(device, Engine::Shaders::Bloom_comp(), Engine::ShaderLayouts::Bloom(), "Bloom"),
      m_exposurePass(device, Engine::Shaders::Exposure_comp(), Engine::ShaderLayouts::Exposure(), "Exposure") {
    m_exposure.Create(u"Exposure", 8);
    m_histogram.Create(u"Histogram", 256);
}

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

void BloomPass::Run(CommandList& list, uint32_t mode, Engine::ColorBuffer& dest, Engine::ColorBuffer* a,
                    Engine::ColorBuffer* b, float threshold, float strength, const PostParams& params) {
    if (a) a->TransitionTo(list, ResourceState::NonPixelShaderResource);
    if (b) b->TransitionTo(list, ResourceState::NonPixelShaderResource);
    dest.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::BloomConstants c{};
    c.inverseOutputSize = {1.0f / float(dest.Width()), 1.0f / float(dest.Height())};
    c.threshold = threshold;
    c.strength = strength;
    c.sourceA = a ? a->srvHandle.Gpu() : 0;
    c.sourceB = b ? b->srvHandle.Gpu() : 0;
    c.dest = dest.uavHandle.Gpu();
    c.mode = mode;
    c.enableTonemap = params.ToneMapEnable ? 1u : 0u;
    c.exposure = m_exposure.uavHandle.Gpu();
    c.luma = m_luma.uavHandle.Gpu();
    if (mode == kExtractHdr) m_luma.TransitionTo(list, ResourceState::UnorderedAccess);
    if (mode == kExtractHdr || mode == kToneMap) m_exposure.TransitionTo(list, ResourceState::UnorderedAccess);
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(dest.Width(), 8), GroupCount(dest.Height(), 8), 1);
}

void BloomPass::RunExposure(CommandList& list, uint32_t mode, uint32_t groupsX, uint32_t groupsY, const PostParams& params) {
    m_exposure.TransitionTo(list, ResourceState::UnorderedAccess);
    m_histogram.TransitionTo(list, ResourceState::UnorderedAccess);
    if (mode == kHistogram) m_luma.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::ExposureConstants c{};
    c.mode = mode;
    c.exposure = m_exposure.uavHandle.Gpu();
    c.histogram = m_histogram.uavHandle.Gpu();
    c.luma = m_luma.uavHandle.Gpu();
    c.exposureValue = params.Exposure > 0.0f ? params.Exposure : 1.0f;
    c.initialMinLog = kInitialMinLog;
    c.initialMaxLog = kInitialMaxLog;
    c.targetLuminance = params.TargetLuminance;
    c.adaptationRate = params.AdaptationRate;
    c.minExposure = params.MinExposure;
    c.maxExposure = params.MaxExposure;
    c.pixelCount = float(m_luma.Width()) * float(m_luma.Height());
    m_exposurePass.Bind(list, c);
    list.Dispatch(groupsX, groupsY, 1);
}

void BloomPass::Record(CommandList& list, Engine::ColorBuffer& scene, const PostParams& params) {
    EnsureBuffers({scene.Width(), scene.Height()});
    if (!m_initialised) {
        RunExposure(list, kInitialise, 1, 1, params);
        m_initialised = true;
    }
    const bool hdrPath = params.ToneMapEnable || params.AdaptationEnable;
    Run(list, hdrPath ? kExtractHdr : kExtract, m_a[0], &scene, nullptr, params.BloomThreshold, 0.0f, params);
    for (int level = 1; level < kLevels; ++level) Run(list, kDownsample, m_a[level], &m_a[level - 1], nullptr, 0, 0, params);
    Run(list, kBlur, m_b[kLevels - 1], &m_a[kLevels - 1], nullptr, 0, 0, params);
    for (int level = kLevels - 2; level >= 0; --level)
        Run(list, kUpsample, m_b[level], &m_a[level], &m_b[level + 1], params.BloomUpsampleBlend, 0, params);
    Run(list, hdrPath ? kToneMap : kApply, scene, &m_b[0], nullptr, 0, params.BloomStrength, params);
    m_lastAdapted = false;
    if (!hdrPath) return;
    if (params.AdaptationEnable) {
        RunExposure(list, kClearHistogram, 1, 1, params);
        RunExposure(list, kHistogram, GroupCount(m_luma.Width(), 16), GroupCount(m_luma.Height(), 384), params);
        RunExposure(list, kAdapt, 1, 1, params);
        m_lastAdapted = true;
    } else {
        RunExposure(list, kInitialise, 1, 1, params);
    }
}

}  // namespace ProjectTavrin
