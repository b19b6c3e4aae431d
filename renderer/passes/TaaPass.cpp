#include "renderer/passes/TaaPass.h"

#include <cmath>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/TaaConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
constexpr float kMinSharpness = 0.001f;
constexpr float kNearZ = 1.0f, kFarZ = 16384.0f;
constexpr auto kLinearDepthFormat = Format::R16_UNORM;
}  // namespace

TaaPass::TaaPass(Device& device)
    : m_linearise(device, Engine::Shaders::TaaLineariseDepth_comp(), Engine::ShaderLayouts::TaaLineariseDepth(),
                  "TaaLineariseDepth"),
      m_blend(device, Engine::Shaders::TaaBlend_comp(), Engine::ShaderLayouts::TaaBlend(), "TaaBlend"),
      m_sharpen(device, Engine::Shaders::TaaSharpen_comp(), Engine::ShaderLayouts::TaaSharpen(), "TaaSharpen"),
      m_resolve(device, Engine::Shaders::TaaResolve_comp(), Engine::ShaderLayouts::TaaResolve(), "TaaResolve") {}

void TaaPass::CreateBuffers(CommandList& list, PixelSize size) {
    m_linearDepth[0].Create(u"LinearDepth 0", size.width, size.height, kLinearDepthFormat);
    m_linearDepth[1].Create(u"LinearDepth 1", size.width, size.height, kLinearDepthFormat);
    m_history[0].Create(u"Temporal Color 0", size.width, size.height, kSceneColorFormat);
    m_history[1].Create(u"Temporal Color 1", size.width, size.height, kSceneColorFormat);
    m_size = size;
    ClearHistory(list);
}

void TaaPass::ClearHistory(CommandList& list) {
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
    m_clearPending = false;
}

void TaaPass::Record(CommandList& list, SceneTargets& targets, const JitterStep& jitter, const PostParams& params) {
    const PixelSize size{targets.color.Width(), targets.color.Height()};
    if (!(size == m_size)) CreateBuffers(list, size);
    else if (m_clearPending) ClearHistory(list);
    LineariseDepth(list, targets.depth, m_linearDepth[jitter.historyIndex]);
    Blend(list, targets, jitter, params);
    WriteBack(list, m_history[1 - jitter.historyIndex], targets.color, params);
}

void TaaPass::LineariseDepth(CommandList& list, Engine::DepthBuffer& depth, Engine::ColorBuffer& linear) {
    depth.TransitionTo(list, ResourceState::NonPixelShaderResource);
    linear.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::TaaLineariseConstants c{};
    c.nearZ = kNearZ;
    c.farZ = kFarZ;
    c.depth = depth.srvHandle.Gpu();
    c.dest = linear.uavHandle.Gpu();
    m_linearise.Bind(list, c);
    // Each thread of an 8 x 8 group linearises 2 x 2 pixels.
    list.Dispatch(GroupCount(depth.Width(), 16), GroupCount(depth.Height(), 16), 1);
}

void TaaPass::Blend(CommandList& list, SceneTargets& targets, const JitterStep& jitter, const PostParams& params) {
    Engine::ColorBuffer& scene = targets.color;
    Engine::ColorBuffer& depthNow = m_linearDepth[jitter.historyIndex];
    Engine::ColorBuffer& depthBefore = m_linearDepth[1 - jitter.historyIndex];
    Engine::ColorBuffer& historyIn = m_history[jitter.historyIndex];
    Engine::ColorBuffer& historyOut = m_history[1 - jitter.historyIndex];
    depthNow.TransitionTo(list, ResourceState::NonPixelShaderResource);
    depthBefore.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::NonPixelShaderResource);
    targets.velocity.TransitionTo(list, ResourceState::NonPixelShaderResource);
    historyIn.TransitionTo(list, ResourceState::NonPixelShaderResource);
    historyOut.TransitionTo(list, ResourceState::UnorderedAccess);

    Engine::Shared::TaaBlendConstants c{};
    c.rcpBufferDim = {1.0f / float(scene.Width()), 1.0f / float(scene.Height())};
    c.rcpSpeedLimiter = 1.0f / std::exp2(params.TaaSpeedExponent);
    c.viewportJitter = jitter.delta;
    c.velocity = targets.velocity.srvHandle.Gpu();
    c.color = scene.srvHandle.Gpu();
    c.historyIn = historyIn.srvHandle.Gpu();
    c.curDepth = depthNow.srvHandle.Gpu();
    c.preDepth = depthBefore.srvHandle.Gpu();
    c.dest = historyOut.uavHandle.Gpu();
    m_blend.Bind(list, c);
    // Each thread of an 8 x 8 group blends two pixels side by side.
    list.Dispatch(GroupCount(scene.Width(), 16), GroupCount(scene.Height(), 8), 1);
}

void TaaPass::WriteBack(CommandList& list, Engine::ColorBuffer& history, Engine::ColorBuffer& scene, const PostParams& params) {
    history.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    m_lastSharpen = params.TaaSharpness >= kMinSharpness;
    if (m_lastSharpen) {
        Engine::Shared::TaaSharpenConstants c{};
        c.sharpenWA = params.TaaSharpness + 1.0f;
        c.sharpenWB = params.TaaSharpness * 0.25f;
        c.history = history.srvHandle.Gpu();
        c.dest = scene.uavHandle.Gpu();
        m_sharpen.Bind(list, c);
    } else {
        Engine::Shared::TaaResolveConstants c{};
        c.history = history.srvHandle.Gpu();
        c.dest = scene.uavHandle.Gpu();
        m_resolve.Bind(list, c);
    }
    list.Dispatch(GroupCount(scene.Width(), 8), GroupCount(scene.Height(), 8), 1);
}

}  // namespace ProjectTavrin
