#include "renderer/passes/FxaaPass.h"

#include "CompiledShaders.h"
#include "renderer/SceneTargets.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

FxaaPass::FxaaPass(Device& device) : m_pass(device, Engine::Shaders::Fxaa_comp(), Engine::ShaderLayouts::Fxaa(), "FXAA") {
    // Made at a small size first; the first copy gives it the scene's size and format.
    m_copy.Create(u"BlurTexture", 128, 128, kSceneColorFormat);
}

void FxaaPass::Record(CommandList& list, Engine::ColorBuffer& scene) {
    m_copy.CopyFrom(scene, list);
    m_copy.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    const float w = float(scene.Width()), h = float(scene.Height());
    Engine::Shared::FxaaConstants c{};
    c.rcpFrame = {1.0f / w, 1.0f / h, w, h};
    c.source = m_copy.srvHandle.Gpu();
    c.dest = scene.uavHandle.Gpu();
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(scene.Width(), 16), GroupCount(scene.Height(), 16), 1);
}

}  // namespace ProjectTavrin
