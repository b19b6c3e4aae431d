#pragma once
// Temporal anti-aliasing: the jittered scene blended into a history that follows the motion,
// then written back into the scene, sharpened or as is.
#include <array>
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "renderer/PostParams.h"
#include "renderer/SceneTargets.h"
#include "renderer/TemporalJitter.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class TaaPass {
public:
    static constexpr std::string_view kName = "TAA";

    explicit TaaPass(Engine::Platform::Device& device);
    void Record(Engine::Platform::CommandList& list, SceneTargets& targets, const JitterStep& jitter,
                const PostParams& params);
    /// True when the last Record wrote back through the sharpening filter.
    bool LastUsedSharpen() const { return m_lastSharpen; }
    /// "LinearDepth 0" and "LinearDepth 1": view distance over the far plane, unorm 16-bit.
    Engine::ColorBuffer& LinearDepth(uint32_t index) { return m_linearDepth[index & 1]; }

private:
    void CreateBuffers(Engine::Platform::CommandList& list, PixelSize size);

    ComputePass m_pass;
    std::array<Engine::ColorBuffer, 2> m_history;  // "Temporal Color 0", "Temporal Color 1"
    std::array<Engine::ColorBuffer, 2> m_linearDepth;
    PixelSize m_size;
    bool m_lastSharpen = false;
};

}  // namespace ProjectTavrin
