#pragma once
// The model draw: the model root signature (10 per-material parameters, 11 static samplers), the
// per-frame block of the bindings every draw shares, the four pipelines (opaque or blended,
// culled or double-sided) and the two passes over every model's materials, opaque first, then
// the blended ones in material order.
#include <cstdint>
#include <memory>

#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "renderer/FrameInputs.h"
#include "renderer/MaterialBuffer.h"
#include "renderer/PassResults.h"
#include "shaders/shared/ModelDraw.h"

namespace ProjectTavrin {

inline constexpr float kOpaqueAlphaClip = 0.99f;
inline constexpr float kTransparentAlphaClip = 0.005f;
inline constexpr uint32_t kModelRootParameterCount = 11;

enum class MaterialPass { None, Opaque, Transparent };

/// The pass a material is drawn in: none for shading model 0; blended for shading model 11, for
/// a diffuse alpha below 1 and for a diffuse texture with soft alpha (`softAlphaTexture`);
/// opaque otherwise (cut-out textures included: the 0.99 clip discards their holes).
MaterialPass PassForMaterial(const MaterialBuffer& material, bool softAlphaTexture);

class ModelPass {
public:
    ModelPass(Engine::Platform::Device& device, uint32_t sampleCount);

    /// Records both passes. Render targets, viewport and scissor are bound by the caller.
    /// `renderConfigAddress` is this frame's RenderConfig slot; `results` what the passes before
    /// the draw made this frame (shadows, sky lighting, occlusion, ...). Writes this frame's slot
    /// of the per-frame block, so the frame the slot served last must have finished on the GPU.
    void Record(Engine::Platform::CommandList& list, const FrameInputs& frame, uint64_t renderConfigAddress,
                const PassResults& results);

    /// The style of materials without one of their own (the render settings'), from the next
    /// Record on.
    void SetSettingsMaterialStyle(Vesma::MaterialStyle style) { m_settingsStyle = style; }

    Engine::Platform::RootSignature& Root() const { return *m_root; }
    /// The per-frame bindings the last Record wrote (tests).
    const Engine::Shared::ModelFrameConstants& FrameConstants() const { return m_frameBlock[0].constants; }
    /// Draw calls of the last Record, per pass (tests).
    uint32_t OpaqueDraws() const { return m_opaqueDraws; }
    uint32_t TransparentDraws() const { return m_transparentDraws; }

private:
    void DrawList(Engine::Platform::CommandList& list, const FrameInputs& frame, bool opaquePass);

    /// One slot per frame in flight; constant-buffer slots sit 256 bytes apart.
    struct alignas(256) FrameSlot {
        Engine::Shared::ModelFrameConstants constants;
    };

    std::shared_ptr<Engine::Platform::RootSignature> m_root;
    Engine::StructuredBuffer<FrameSlot> m_frameBlock;
    std::shared_ptr<Engine::Platform::PipelineState> m_opaqueCulled, m_opaqueDoubleSided;
    std::shared_ptr<Engine::Platform::PipelineState> m_transparentCulled, m_transparentDoubleSided;
    uint32_t m_opaqueDraws = 0, m_transparentDraws = 0;
    Vesma::MaterialStyle m_settingsStyle = Vesma::MaterialStyle::PhysicallyBased;
};

}  // namespace ProjectTavrin
