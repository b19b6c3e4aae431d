#pragma once
// Soften: a separable blur through "SoftenTexture", mixed into the scene by the strength.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class SoftenPass {
public:
    static constexpr std::string_view kName = "Soften";

    explicit SoftenPass(Engine::Platform::Device& device);
    /// Does nothing for a strength that is not above 0.
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, float strength);

private:
    ComputePass m_pass;
    Engine::ColorBuffer m_temp;  // "SoftenTexture"
};

}  // namespace ProjectTavrin
