#include "renderer/passes/VignettePass.h"

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

VignettePass::VignettePass(Device& device)
    : m_pass(device, Engine::Shaders::Vignette_comp(), Engine::ShaderLayouts::Vignette(), "Vignette") {}

void VignettePass::Record(CommandList& list, Engine::ColorBuffer& scene, float amount) {
    if (!(amount > 0.0f)) return;
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    const float w = float(scene.Width()), h = float(scene.Height());
    Engine::Shared::VignetteConstants c{};
    c.aspect = w / h;
    c.falloff = amount;
    c.texelSize = {w, h};
    c.scene = scene.uavHandle.Gpu();
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(scene.Width(), 16), GroupCount(scene.Height(), 16), 1);
}

}  // namespace ProjectTavrin
