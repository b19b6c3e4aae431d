#pragma once
// Depth of field: the focus distance measured at the image centre (auto-focus) or given, a
// circle of confusion per half-size texel from a thin lens, a bokeh gather over it, and the
// blurred image blended back over the scene where it is out of focus.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/GpuResource/UintBuffer.h"
#include "renderer/PostParams.h"
#include "renderer/passes/ComputePass.h"
#include "shaders/shared/DofConstants.h"

namespace ProjectTavrin {

/// The lens parameters for a depth buffer of `width` x `height` (everything but the texel size
/// and the images). The focus distance is kept at least the focal length, and a focus distance
/// within a hundredth of a millimetre of it is taken that far away, so the lens coefficient
/// stays finite.
Engine::Shared::DofConstants DofLensParameters(const PostParams& params, uint32_t width, uint32_t height);

class DepthOfFieldPass {
public:
    static constexpr std::string_view kName = "DepthOfField";

    explicit DepthOfFieldPass(Engine::Platform::Device& device);
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, Engine::DepthBuffer& depth,
                const PostParams& params);
    /// The auto-focus distance buffer (one float), for tests.
    Engine::UintBuffer& FocusBuffer() { return m_focus; }

private:
    ComputePass m_focusPass;
    ComputePass m_cocPass;
    ComputePass m_bokehPass;
    ComputePass m_compositePass;
    Engine::ColorBuffer m_coc;   // "DofCoc"
    Engine::ColorBuffer m_blur;  // "DofBlur"
    Engine::UintBuffer m_focus;
};

}  // namespace ProjectTavrin
