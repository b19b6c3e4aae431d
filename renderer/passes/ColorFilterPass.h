#pragma once
// Colour grading through the process-wide 3-D table; nothing without a table or at strength 0.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class ColorFilterPass {
public:
    static constexpr std::string_view kName = "ColorFilter";

    explicit ColorFilterPass(Engine::Platform::Device& device);
    /// True when a table is loaded and `strength` > 0, i.e. Record would grade.
    static bool WillRun(float strength);
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, float strength);

private:
    ComputePass m_pass;
};

}  // namespace ProjectTavrin
