#include "renderer/passes/DepthOfFieldPass.h"

#include <algorithm>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
constexpr float kNearZ = 1.0f, kFarZ = 16384.0f;
// The film's height in metres, doubled: the lens coefficient's denominator.
constexpr float kFilmHeight = 0.024f;
constexpr float kMinFocusGap = 1e-5f;
constexpr auto kDofFormat = Format::R16G16B16A16_FLOAT;
}  // namespace

Engine::Shared::DofConstants DofLensParameters(const PostParams& params, uint32_t width, uint32_t height) {
    const float f = params.DofFocalLength;
    const float s = std::max(std::max(params.DofFocusDistance, f), f + kMinFocusGap);
    Engine::Shared::DofConstants c{};
    c.nearZ = kNearZ;
    c.farZ = kFarZ;
    c.distance = s;
    c.lensCoeff = f * f / ((s - f) * params.DofFNumber * kFilmHeight * 2.0f);
    c.maxCoC = std::min(0.05f, 18.0f / float(height));
    c.rcpMaxCoC = 1.0f / c.maxCoC;
    c.rcpAspect = float(height) / float(width);
    c.autoFocus = params.DofAutoFocus;
    return c;
}

DepthOfFieldPass::DepthOfFieldPass(Device& device)
    : m_focusPass(device, Engine::Shaders::DofFocus_comp(), Engine::ShaderLayouts::DofFocus(), "DofFocus"),
      m_cocPass(device, Engine::Shaders::DofCoc_comp(), Engine::ShaderLayouts::DofStep(), "DofCoc"),
      m_bokehPass(device, Engine::Shaders::DofBokeh_comp(), Engine::ShaderLayouts::DofStep(), "DofBokeh"),
      m_compositePass(device, Engine::Shaders::DofComposite_comp(), Engine::ShaderLayouts::DofStep(), "DofComposite") {
    // The focus distance is named as the block it shares its shape with.
    m_focus.Create(u"Exposure", 1);
}

void DepthOfFieldPass::Record(CommandList& list, Engine::ColorBuffer& scene, Engine::DepthBuffer& depth,
                              const PostParams& params) {
    const uint32_t w = depth.Width(), h = depth.Height();
    const uint32_t halfW = std::max(w / 2, 1u), halfH = std::max(h / 2, 1u);
    if (m_coc.Width() != halfW || m_coc.Height() != halfH) {
        m_coc.Create(u"DofCoc", halfW, halfH, kDofFormat);
        m_blur.Create(u"DofBlur", halfW, halfH, kDofFormat);
    }
    Engine::Shared::DofConstants c = DofLensParameters(params, w, h);
    c.depth = depth.srvHandle.Gpu();
    c.focus = m_focus.uavHandle.Gpu();
    depth.TransitionTo(list, ResourceState::NonPixelShaderResource);
    m_focus.TransitionTo(list, ResourceState::UnorderedAccess);
    if (c.autoFocus != 0) {
        m_focusPass.Bind(list, c);
        list.Dispatch(1, 1, 1);
        // The next steps read what the focus step wrote (a barrier between the two uses).
        m_focus.TransitionTo(list, ResourceState::UnorderedAccess);
    }

    const float sceneW = float(scene.Width()), sceneH = float(scene.Height());
    scene.TransitionTo(list, ResourceState::NonPixelShaderResource);
    m_coc.TransitionTo(list, ResourceState::UnorderedAccess);
    c.texelSize = {1.0f / sceneW, 1.0f / sceneH, float(halfW), float(halfH)};
    c.scene = scene.srvHandle.Gpu();
    c.dest = m_coc.uavHandle.Gpu();
    m_cocPass.Bind(list, c);
    list.Dispatch(GroupCount(halfW, 8), GroupCount(halfH, 8), 1);

    m_coc.TransitionTo(list, ResourceState::NonPixelShaderResource);
    m_blur.TransitionTo(list, ResourceState::UnorderedAccess);
    c.texelSize = {1.0f / float(halfW), 1.0f / float(halfH), float(halfW), float(halfH)};
    c.source = m_coc.srvHandle.Gpu();
    c.dest = m_blur.uavHandle.Gpu();
    m_bokehPass.Bind(list, c);
    list.Dispatch(GroupCount(halfW, 8), GroupCount(halfH, 8), 1);

    m_blur.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    c.texelSize = {1.0f / sceneW, 1.0f / sceneH, sceneW, sceneH};
    c.scene = scene.uavHandle.Gpu();
    c.source = m_blur.srvHandle.Gpu();
    c.dest = 0;
    m_compositePass.Bind(list, c);
    list.Dispatch(GroupCount(scene.Width(), 8), GroupCount(scene.Height(), 8), 1);
}

}  // namespace ProjectTavrin
