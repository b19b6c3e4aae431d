#pragma once
// Screen-space ambient occlusion over four resolution levels: the resolved depth linearised and
// down-sized by 2, 4, 8 and 16, each level also de-interleaved into a 16-slice array; occlusion
// estimated per level from the slices ("AO Re-Interleaved") and from the plain level ("AO High
// Quality"); then blurred and upsampled level by level from coarse to fine, each step aware of
// depth, into "Occlusion" at the full size, which the next frame's model draw reads.
#include <array>
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/ColorBufferArray.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "renderer/PassLog.h"
#include "renderer/SceneTargets.h"
#include "renderer/SsaoParams.h"
#include "renderer/passes/ComputePass.h"
#include "shaders/shared/SsaoConstants.h"

namespace ProjectTavrin {

/// The depth-hierarchy sizes for a depth of `depth`: level L (1 to 4) is ceil(size / 2^L), its
/// de-interleaved array ceil(size / 2^(L+2)) per slice.
PixelSize SsaoLevelSize(PixelSize depth, int level);
PixelSize SsaoAtlasSize(PixelSize depth, int level);

/// The estimator's constants for a source of `width` x `height` with `slices` slices (16 for a
/// de-interleaved array, 1 for a plain level) under a projection whose [0][0] is
/// `projectionXScale`.
Engine::Shared::SsaoComputeConstants SsaoOcclusionConstants(const SsaoParams& params, float projectionXScale,
                                                            uint32_t width, uint32_t height, uint32_t slices);
/// The blur-and-upsample constants from `low` to `high`.
Engine::Shared::SsaoBlurConstants SsaoBlurUpsampleConstants(const SsaoParams& params, PixelSize low, PixelSize high);

class SsaoPass {
public:
    static constexpr std::string_view kName = "SSAO";
    static constexpr int kLevels = 4;

    explicit SsaoPass(Engine::Platform::Device& device);
    /// `projectionXScale` is the camera projection's [0][0] (1 / tangent of half the horizontal
    /// field of view). The depth preparation and the estimate are logged as passes of their own
    /// ("PrepareDepthBuffers1", "PrepareDepthBuffers2", "SSAOCompute").
    void Record(Engine::Platform::CommandList& list, PassLog& log, Engine::DepthBuffer& depth, float projectionXScale,
                const SsaoParams& params);

    /// "Occlusion" (R8, the depth's size): valid once Record has run for that size.
    Engine::ColorBuffer& Occlusion() { return m_occlusion; }
    bool HasResult() const { return m_hasResult; }
    Engine::ColorBuffer& LinearDepth() { return m_linearDepth; }
    /// Levels written by the last Record (1 to 4).
    int LastLevels() const { return m_lastLevels; }

private:
    void CreateBuffers(PixelSize size);
    void PrepareDepth(Engine::Platform::CommandList& list, PassLog& log, Engine::DepthBuffer& depth, int levels);
    void ComputeLevel(Engine::Platform::CommandList& list, int level, float projectionXScale, const SsaoParams& params);
    void BlurUpsample(Engine::Platform::CommandList& list, const SsaoParams& params, Engine::ColorBuffer& dest,
                      Engine::ColorBuffer& lowDepth, Engine::ColorBuffer& highDepth, Engine::ColorBuffer& lowAo1,
                      Engine::ColorBuffer& lowAo2, Engine::ColorBuffer* highAo);

    ComputePass m_prepare1;
    ComputePass m_prepare2;
    ComputePass m_compute1;
    ComputePass m_compute2;
    ComputePass m_blurUpsamplePreMin;
    ComputePass m_blurUpsamplePreMinBlendOut;

    Engine::ColorBuffer m_occlusion;    // "Occlusion"
    Engine::ColorBuffer m_linearDepth;  // "LinearDepth"
    std::array<Engine::ColorBuffer, kLevels> m_downSized;          // "Depth Down-Sized 1" - "4"
    std::array<Engine::ColorBufferArray, kLevels> m_deInterleaved; // "Depth De-Interleaved 1" - "4"
    std::array<Engine::ColorBuffer, kLevels> m_reInterleaved;      // "AO Re-Interleaved 1" - "4"
    std::array<Engine::ColorBuffer, kLevels> m_highQuality;        // "AO High Quality 1" - "4"
    std::array<Engine::ColorBuffer, kLevels - 1> m_smoothed;       // "AO Smoothed 1" - "3"
    PixelSize m_size;
    bool m_hasResult = false;
    int m_lastLevels = 0;
};

}  // namespace ProjectTavrin
