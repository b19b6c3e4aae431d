#include "renderer/passes/ColorFilterPass.h"

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "Engine/TextureLoader/ColorFilterLut.h"
#include "shaders/shared/PostConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

ColorFilterPass::ColorFilterPass(Device& device)
    : m_pass(device, Engine::Shaders::ColorFilter_comp(), Engine::ShaderLayouts::ColorFilter(), "ColorFilter") {}

bool ColorFilterPass::WillRun(float strength) { return strength > 0.0f && !Engine::GetColorFilterLut().srv.IsNull(); }

void ColorFilterPass::Record(CommandList& list, Engine::ColorBuffer& scene, float strength) {
    if (!WillRun(strength)) return;
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::ColorFilterConstants c{};
    c.scene = scene.uavHandle.Gpu();
    c.lut = Engine::GetColorFilterLut().srv.Gpu();
    c.width = scene.Width();
    c.height = scene.Height();
    c.strength = strength;
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(scene.Width(), 16), GroupCount(scene.Height(), 16), 1);
}

}  // namespace ProjectTavrin
