#include "renderer/passes/BloomPass.h"

#include <string>

#include "CompiledShaders.h"
#include "shaders/shared/PostConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
enum BloomMode : uint32_t { kExtract = 0, kDownsample = 1, kBlur = 2, kUpsample = 3, kApply = 4, kToneMap = 5 };
}

PixelSize BloomBaseSize(PixelSize scene) {
    return {scene.width < 2561 ? 640u : 1280u, scene.height < 1441 ? 384u : 768u};
}

BloomPass::BloomPass(Device& device)
    : m_pass(device, Engine::Shaders::Bloom_comp(), sizeof(Shared::BloomConstants), {{0, LinearClampSampler()}}, "Bloom") {}

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
    m_base = base;
}

void BloomPass::Run(CommandList& list, uint32_t mode, Engine::ColorBuffer& dest, Engine::ColorBuffer* a,
                    Engine::ColorBuffer* b, float threshold, float strength, const PostParams& params) {
    if (a) a->TransitionTo(list, ResourceState::NonPixelShaderResource);
    if (b) b->TransitionTo(list, ResourceState::NonPixelShaderResource);
    dest.TransitionTo(list, ResourceState::UnorderedAccess);
    Shared::BloomConstants c{};
    c.inverseOutputSize = {1.0f / float(dest.Width()), 1.0f / float(dest.Height())};
    c.threshold = threshold;
    c.strength = strength;
    c.sourceA = a ? a->srvHandle.Gpu() : 0;
    c.sourceB = b ? b->srvHandle.Gpu() : 0;
    c.dest = dest.uavHandle.Gpu();
    c.mode = mode;
    c.enableTonemap = params.ToneMapEnable ? 1u : 0u;
    c.exposureValue = params.Exposure;
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(dest.Width(), 8), GroupCount(dest.Height(), 8), 1);
}

void BloomPass::Record(CommandList& list, Engine::ColorBuffer& scene, const PostParams& params) {
    EnsureBuffers({scene.Width(), scene.Height()});
    Run(list, kExtract, m_a[0], &scene, nullptr, params.BloomThreshold, 0.0f, params);
    for (int level = 1; level < kLevels; ++level) Run(list, kDownsample, m_a[level], &m_a[level - 1], nullptr, 0, 0, params);
    Run(list, kBlur, m_b[kLevels - 1], &m_a[kLevels - 1], nullptr, 0, 0, params);
    for (int level = kLevels - 2; level >= 0; --level)
        Run(list, kUpsample, m_b[level], &m_a[level], &m_b[level + 1], params.BloomUpsampleBlend, 0, params);
    const bool hdrPath = params.ToneMapEnable || params.AdaptationEnable;
    Run(list, hdrPath ? kToneMap : kApply, scene, &m_b[0], nullptr, 0, params.BloomStrength, params);
}

}  // namespace ProjectTavrin
