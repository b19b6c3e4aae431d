#pragma once
// Temporal anti-aliasing: the resolved depth linearised into this frame's buffer of a pair, the
// jittered scene blended into a history that follows the motion (rejecting history of another
// surface by the two frames' linear depths), then written back into the scene, sharpened or as
// is.
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
    /// The next Record starts from an empty history, as the first one does: nothing of the
    /// frames before reaches it.
    void ResetHistory() { m_clearPending = true; }
    /// True when the last Record wrote back through the sharpening filter.
    bool LastUsedSharpen() const { return m_lastSharpen; }
    /// "LinearDepth 0" and "LinearDepth 1": view distance over the far plane, unorm 16-bit.
    Engine::ColorBuffer& LinearDepth(uint32_t index) { return m_linearDepth[index & 1]; }

private:
    void CreateBuffers(Engine::Platform::CommandList& list, PixelSize size);
    void ClearHistory(Engine::Platform::CommandList& list);
    void LineariseDepth(Engine::Platform::CommandList& list, Engine::DepthBuffer& depth, Engine::ColorBuffer& linear);
    void Blend(Engine::Platform::CommandList& list, SceneTargets& targets, const JitterStep& jitter,
               const PostParams& params);
    void WriteBack(Engine::Platform::CommandList& list, Engine::ColorBuffer& history, Engine::ColorBuffer& scene,
                   const PostParams& params);

    ComputePass m_linearise;
    ComputePass m_blend;
    ComputePass m_sharpen;
    ComputePass m_resolve;
    std::array<Engine::ColorBuffer, 2> m_history;  // "Temporal Color 0", "Temporal Color 1"
    std::array<Engine::ColorBuffer, 2> m_linearDepth;
    PixelSize m_size;
    bool m_lastSharpen = false;
    bool m_clearPending = false;
};

}  // namespace ProjectTavrin
