#include "renderer/passes/SoftenPass.h"

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

SoftenPass::SoftenPass(Device& device)
    : m_pass(device, Engine::Shaders::Soften_comp(), Engine::ShaderLayouts::Soften(), "Soften") {}

void SoftenPass::Record(CommandList& list, Engine::ColorBuffer& scene, float strength) {
    if (!(strength > 0.0f)) return;
    const uint32_t w = scene.Width(), h = scene.Height();
    if (m_temp.Width() != w || m_temp.Height() != h) m_temp.Create(u"SoftenTexture", w, h, scene.Format());
    Engine::Shared::SoftenConstants c{};
    c.sampStep = (strength + 1.0f) / float(h);
    c.strength = strength;
    c.width = w;
    c.height = h;

    scene.TransitionTo(list, ResourceState::NonPixelShaderResource);
    m_temp.TransitionTo(list, ResourceState::UnorderedAccess);
    c.source = scene.srvHandle.Gpu();
    c.dest = m_temp.uavHandle.Gpu();
    c.rows = 0;
    m_pass.Bind(list, c);
    list.Dispatch(w / 16 + 1, h / 16 + 1, 1);

    m_temp.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    c.source = m_temp.srvHandle.Gpu();
    c.dest = scene.uavHandle.Gpu();
    c.rows = 1;
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(w, 16), GroupCount(h, 16), 1);
}

}  // namespace ProjectTavrin
