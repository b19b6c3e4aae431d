#pragma once
// Motion blur: a copy of the scene gathered along each pixel's velocity back into the scene.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

/// The shader's length for a blur `length` (the setting) over a frame of `frameSeconds`: the
/// velocity holds one frame's motion, so this many frames' worth is gathered per millisecond of
/// the setting. A frame time that is not above a millisecond counts as one millisecond.
float MotionBlurShaderLength(float length, double frameSeconds);

class MotionBlurPass {
public:
    static constexpr std::string_view kName = "MotionBlur";

    explicit MotionBlurPass(Engine::Platform::Device& device);
    /// Does nothing for a length that is not above 0.
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, Engine::ColorBuffer& velocity,
                float length, double frameSeconds);

private:
    ComputePass m_pass;
    Engine::ColorBuffer m_copy;
};

}  // namespace ProjectTavrin
