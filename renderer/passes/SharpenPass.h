#pragma once
// Sharpen: an unsharp mask from a copy of the scene back into the scene.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class SharpenPass {
public:
    static constexpr std::string_view kName = "Sharpen";

    explicit SharpenPass(Engine::Platform::Device& device);
    /// Does nothing for an amount that is not above 0; the mask's weight is amount / 50.
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, float amount);

private:
    ComputePass m_pass;
    Engine::ColorBuffer m_copy;
};

}  // namespace ProjectTavrin
