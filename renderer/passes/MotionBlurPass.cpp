#include "renderer/passes/MotionBlurPass.h"

#include <algorithm>

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

float MotionBlurShaderLength(float length, double frameSeconds) {
    const double milliseconds = std::max(frameSeconds * 1000.0, 1.0);
    return float(double(length) / milliseconds);
}

MotionBlurPass::MotionBlurPass(Device& device)
    : m_pass(device, Engine::Shaders::MotionBlur_comp(), Engine::ShaderLayouts::MotionBlur(), "MotionBlur") {}

void MotionBlurPass::Record(CommandList& list, Engine::ColorBuffer& scene, Engine::ColorBuffer& velocity, float length,
                            double frameSeconds) {
    if (!(length > 0.0f)) return;
    m_copy.CopyFrom(scene, list);
    m_copy.TransitionTo(list, ResourceState::NonPixelShaderResource);
    velocity.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::MotionBlurConstants c{};
    c.blurLength = MotionBlurShaderLength(length, frameSeconds);
    c.width = scene.Width();
    c.height = scene.Height();
    c.color = m_copy.srvHandle.Gpu();
    c.velocity = velocity.srvHandle.Gpu();
    c.dest = scene.uavHandle.Gpu();
    m_pass.Bind(list, c);
    list.Dispatch(GroupCount(scene.Width(), 16), GroupCount(scene.Height(), 16), 1);
}

}  // namespace ProjectTavrin
