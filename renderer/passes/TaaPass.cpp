#include "renderer/passes/TaaPass.h"

#include <cmath>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/PostConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
enum TaaMode : uint32_t { kLinearise = 0, kBlend = 1, kSharpen = 2, kResolve = 3 };
constexpr float kMinSharpness = 0.001f;
constexpr float kNearZ = 1.0f, kFarZ = 16384.0f;
constexpr auto kLinearDepthFormat = Format::R16_UNORM;
}  // namespace

TaaPass::TaaPass(Device& device)
    : m_pass(device, Engine::Shaders::Taa_comp(), Engine::ShaderLayouts::Taa(), "TAA") {}

void TaaPass::CreateBuffers(CommandList& list, PixelSize size) {
    m_linearDepth[0].Create(u"LinearDepth 0", size.width, size.height, kLinearDepthFormat);
    m_linearDepth[1].Create(u"LinearDepth 1", size.width, size.height, kLinearDepthFormat);
    m_history[0].Create(u"Temporal Color 0", size.width, size.height, kSceneColorFormat);
    m_history[1].Create(u"Temporal Color 1", size.width, size.height, kSceneColorFormat);
    // A cleared history (alpha 0) tells the blend to take the current image as it is. The linear
    // depths start at the far plane (nothing drawn), so the first frame's previous depth holds a
    // defined value too.
    const float zero[4] = {0, 0, 0, 0}, far[4] = {1, 1, 1, 1};
    for (Engine::ColorBuffer& h : m_history) {
        h.TransitionTo(list, ResourceState::UnorderedAccess);
        list.ClearUnorderedAccessViewFloat(*h.GetResource(), zero);
    }
    for (Engine::ColorBuffer& d : m_linearDepth) {
        d.TransitionTo(list, ResourceState::UnorderedAccess);
        list.ClearUnorderedAccessViewFloat(*d.GetResource(), far);
    }
    m_size = size;
}

void TaaPass::Record(CommandList& list, SceneTargets& targets, const JitterStep& jitter, const PostParams& params) {
    Engine::ColorBuffer& scene = targets.color;
    const PixelSize size{scene.Width(), scene.Height()};
    if (!(size == m_size)) CreateBuffers(list, size);
    Engine::ColorBuffer& depthNow = m_linearDepth[jitter.historyIndex];
    Engine::ColorBuffer& depthBefore = m_linearDepth[1 - jitter.historyIndex];

    Engine::Shared::TaaConstants c{};
    c.nearZ = kNearZ;
    c.farZ = kFarZ;
    targets.depth.TransitionTo(list, ResourceState::NonPixelShaderResource);
    depthNow.TransitionTo(list, ResourceState::UnorderedAccess);
    c.curDepth = targets.depth.srvHandle.Gpu();
    c.dest = depthNow.uavHandle.Gpu();
    c.mode = kLinearise;
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(targets.depth.Width(), 16), GroupCount(targets.depth.Height(), 16), 1);

    Engine::ColorBuffer& historyIn = m_history[jitter.historyIndex];
    Engine::ColorBuffer& historyOut = m_history[1 - jitter.historyIndex];

    c.rcpBufferDim = {1.0f / float(size.width), 1.0f / float(size.height)};
    c.rcpSpeedLimiter = 1.0f / std::exp2(params.TaaSpeedExponent);
    c.viewportJitter = jitter.delta;
    depthNow.TransitionTo(list, ResourceState::NonPixelShaderResource);
    depthBefore.TransitionTo(list, ResourceState::NonPixelShaderResource);
    c.curDepth = depthNow.srvHandle.Gpu();
    c.preDepth = depthBefore.srvHandle.Gpu();
    scene.TransitionTo(list, ResourceState::NonPixelShaderResource);
    targets.velocity.TransitionTo(list, ResourceState::NonPixelShaderResource);
    historyIn.TransitionTo(list, ResourceState::NonPixelShaderResource);
    historyOut.TransitionTo(list, ResourceState::UnorderedAccess);
    c.velocity = targets.velocity.srvHandle.Gpu();
    c.color = scene.srvHandle.Gpu();
    c.historyIn = historyIn.srvHandle.Gpu();
    c.dest = historyOut.uavHandle.Gpu();
    c.mode = kBlend;
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(size.width, 16), GroupCount(size.height, 8), 1);

    historyOut.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    m_lastSharpen = params.TaaSharpness >= kMinSharpness;
    c.historyIn = historyOut.srvHandle.Gpu();
    c.dest = scene.uavHandle.Gpu();
    c.mode = m_lastSharpen ? kSharpen : kResolve;
    c.sharpenWA = params.TaaSharpness + 1.0f;
    c.sharpenWB = params.TaaSharpness * 0.25f;
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(size.width, 8), GroupCount(size.height, 8), 1);
}

}  // namespace ProjectTavrin
