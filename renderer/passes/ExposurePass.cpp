#include "renderer/passes/ExposurePass.h"

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/ExposureConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
constexpr float kInitialMinLog = -12.0f, kInitialMaxLog = 4.0f;
constexpr uint32_t kHistogramBins = 256;
// A histogram group counts 16 columns by 384 rows of the luma buffer.
constexpr uint32_t kHistogramGroupWidth = 16, kHistogramGroupHeight = 384;
}  // namespace

ExposurePass::ExposurePass(Device& device)
    : m_initialise(device, Engine::Shaders::ExposureInitialise_comp(), Engine::ShaderLayouts::ExposureInitialise(),
                   "ExposureInitialise"),
      m_clearHistogram(device, Engine::Shaders::ExposureClearHistogram_comp(),
                       Engine::ShaderLayouts::ExposureClearHistogram(), "ExposureClearHistogram"),
      m_countHistogram(device, Engine::Shaders::ExposureHistogram_comp(), Engine::ShaderLayouts::ExposureHistogram(),
                       "ExposureHistogram"),
      m_adapt(device, Engine::Shaders::ExposureAdapt_comp(), Engine::ShaderLayouts::ExposureAdapt(), "ExposureAdapt") {
    m_block.Create(u"Exposure", 8);
    m_histogram.Create(u"Histogram", kHistogramBins);
}

void ExposurePass::Initialise(CommandList& list, const PostParams& params) {
    m_block.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::ExposureInitialiseConstants c{};
    c.exposure = m_block.uavHandle.Gpu();
    c.exposureValue = params.Exposure > 0.0f ? params.Exposure : 1.0f;
    c.minLog = kInitialMinLog;
    c.maxLog = kInitialMaxLog;
    m_initialise.Bind(list, c);
    list.Dispatch(1, 1, 1);
}

void ExposurePass::Adapt(CommandList& list, Engine::ColorBuffer& luma, const PostParams& params) {
    m_histogram.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::ExposureClearConstants clear{};
    clear.histogram = m_histogram.uavHandle.Gpu();
    m_clearHistogram.Bind(list, clear);
    list.Dispatch(1, 1, 1);

    m_histogram.TransitionTo(list, ResourceState::UnorderedAccess);
    luma.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::ExposureHistogramConstants count{};
    count.luma = luma.uavHandle.Gpu();
    count.histogram = m_histogram.uavHandle.Gpu();
    m_countHistogram.Bind(list, count);
    list.Dispatch(GroupCount(luma.Width(), kHistogramGroupWidth), GroupCount(luma.Height(), kHistogramGroupHeight), 1);

    m_block.TransitionTo(list, ResourceState::UnorderedAccess);
    m_histogram.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::ExposureAdaptConstants adapt{};
    adapt.exposure = m_block.uavHandle.Gpu();
    adapt.histogram = m_histogram.uavHandle.Gpu();
    adapt.targetLuminance = params.TargetLuminance;
    adapt.adaptationRate = params.AdaptationRate;
    adapt.minExposure = params.MinExposure;
    adapt.maxExposure = params.MaxExposure;
    adapt.pixelCount = float(luma.Width()) * float(luma.Height());
    m_adapt.Bind(list, adapt);
    list.Dispatch(1, 1, 1);
}

}  // namespace ProjectTavrin
