#include "renderer/passes/SharpenPass.h"

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

SharpenPass::SharpenPass(Device& device)
    : m_pass(device, Engine::Shaders::Sharpen_comp(), Engine::ShaderLayouts::Sharpen(), "Sharpen") {}

void SharpenPass::Record(CommandList& list, Engine::ColorBuffer& scene, float amount) {
    if (!(amount > 0.0f)) return;
    m_copy.CopyFrom(scene, list);
    m_copy.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    const float w = float(scene.Width()), h = float(scene.Height());
    Engine::Shared::SharpenConstants c{};
    c.texelSize = {1.0f / w, 1.0f / h, w, h};
    c.amount = amount / 50.0f;
    c.source = m_copy.srvHandle.Gpu();
    c.dest = scene.uavHandle.Gpu();
    m_pass.Bind(list, c);
    list.Dispatch(scene.Width() / 16 + 1, scene.Height() / 16 + 1, 1);
}

}  // namespace ProjectTavrin
