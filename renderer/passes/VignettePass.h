#pragma once
// Vignette: the scene darkened towards its corners, in place.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class VignettePass {
public:
    static constexpr std::string_view kName = "Vignette";

    explicit VignettePass(Engine::Platform::Device& device);
    /// Does nothing for an amount that is not above 0.
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, float amount);

private:
    ComputePass m_pass;
};

}  // namespace ProjectTavrin
