#pragma once
// The sun's shadows: the cascade fit of the frame (ShadowData, one 256-byte slot per frame in
// flight), the casters of every model drawn into one depth atlas ("ShadowMap", cascade i in the
// tile at x = 1048 i, one viewport per tile under one scissor), each tile converted to
// exponential moments in its slice of "VarianceShadowMap", and a separable blur through
// "VarianceShadowTempMap" whose width follows the cascade's scale. The model draw then reads the
// moment array with ShadowData (PassResults).
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/ColorBufferArray.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "renderer/PMXModelGpu.h"
#include "renderer/PassLog.h"
#include "renderer/PassResults.h"
#include "renderer/ShadowCascades.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

/// Texels of a caster's diffuse texture with alpha below this cast no shadow.
inline constexpr float kShadowAlphaClip = 0.5f;

/// The blur of one cascade: kernel widths in texels (1 to 9) and the tap radii they give.
struct CascadeBlur {
    float widthX = 1.0f, widthY = 1.0f;
    uint32_t radiusX = 0, radiusY = 0;
    bool Skipped() const { return widthX <= 1.0f && widthY <= 1.0f; }
};
CascadeBlur BlurForCascade(const Math::vec4& scale, const Math::vec4& scale0, float filterSize);

class ShadowPass {
public:
    static constexpr std::string_view kName = "ShadowMap";
    static constexpr std::string_view kCastersName = "ShadowCasters";
    static constexpr std::string_view kConvertName = "ConvertToVSM";
    static constexpr std::string_view kBlurXName = "BlurVSM_X";
    static constexpr std::string_view kBlurYName = "BlurVSM_Y";

    explicit ShadowPass(Engine::Platform::Device& device);

    /// Fits the cascades to the camera and the sun (the parameters' own copy of its direction)
    /// and uploads ShadowData into frame `frameIndex`'s slot (both slots the first time). False
    /// when nothing can be fitted: the last fit and its data stay.
    bool UpdateShadowCascades(const ShadowParams& params, const Math::mat4& viewProjection, uint32_t frameIndex);
    /// Whether a fit exists to draw with.
    bool HasCascades() const { return m_hasFit; }

    /// Draws the casters of `models`, converts and blurs every cascade, and hands the moment
    /// array and this frame's ShadowData to `results`. Sets its own root signatures, pipelines,
    /// viewport and scissor, and unbinds its depth target at the end.
    void Record(Engine::Platform::CommandList& list, PassLog& log, const std::vector<PMXModelGpu*>& models,
                uint32_t frameIndex, PassResults& results);

    const ShadowCascadeFit& Fit() const { return m_fit; }
    uint64_t ShadowDataAddress(uint32_t frameIndex) const;
    Engine::DepthBuffer& Atlas() { return m_atlas; }
    Engine::ColorBufferArray& Moments() { return m_moments; }
    /// The blur each cascade got in the last Record (tests).
    const std::array<CascadeBlur, kMaxShadowCascades>& LastBlurs() const { return m_lastBlurs; }
    /// Caster draws of the last Record, over all cascades (tests).
    uint32_t CasterDraws() const { return m_casterDraws; }

private:
    void DrawCasters(Engine::Platform::CommandList& list, const std::vector<PMXModelGpu*>& models, uint32_t frameIndex,
                     const Math::mat4& cascadeMatrix);
    void ConvertAndBlurCascade(Engine::Platform::CommandList& list, PassLog& log, uint32_t cascade);

    struct alignas(256) ShadowDataSlot {
        Engine::Shared::ShadowData data;
    };

    Engine::DepthBuffer m_atlas;
    Engine::ColorBufferArray m_moments;
    Engine::ColorBuffer m_blurTemp;
    Engine::StructuredBuffer<ShadowDataSlot> m_upload;
    bool m_uploadedOnce = false;
    ShadowCascadeFit m_fit;
    bool m_hasFit = false;

    std::shared_ptr<Engine::Platform::RootSignature> m_casterRoot;
    std::shared_ptr<Engine::Platform::PipelineState> m_casterPipeline;
    ComputePass m_convert, m_blurX, m_blurY;
    std::array<CascadeBlur, kMaxShadowCascades> m_lastBlurs{};
    uint32_t m_casterDraws = 0;
};

}  // namespace ProjectTavrin
