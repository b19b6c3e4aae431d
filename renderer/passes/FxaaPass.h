#pragma once
// FXAA: the scene copied into "BlurTexture", whose edges are then filtered back into the scene.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class FxaaPass {
public:
    static constexpr std::string_view kName = "FXAA";

    explicit FxaaPass(Engine::Platform::Device& device);
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene);

private:
    ComputePass m_pass;
    Engine::ColorBuffer m_copy;  // "BlurTexture"
};

}  // namespace ProjectTavrin
