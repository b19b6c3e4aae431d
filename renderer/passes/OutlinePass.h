#pragma once
// The outline of the classic look: after the models, every material with the edge flag whose
// style is classic draws its back faces again, pushed out along the vertex normals by its edge
// size x each vertex's edge scale at a width constant on screen, in its edge colour (both as the
// frame's material morphs leave them). The model's depth hides the shell everywhere but around
// the silhouette. Blended by the edge colour's alpha; velocity as the model draw writes it.
#include <cstdint>
#include <memory>

#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "model/ExtendedMaterial.h"
#include "renderer/FrameInputs.h"
#include "renderer/MaterialBuffer.h"

namespace ProjectTavrin {

/// Pixels of outline per unit of edge size x edge scale are `width` at an image 720 pixels high.
inline constexpr float kOutlineReferenceHeight = 720.0f;

/// Whether `material` gets an outline when the settings' style is `settingsStyle`.
bool HasOutline(const MaterialBuffer& material, Vesma::MaterialStyle settingsStyle);

class OutlinePass {
public:
    static constexpr const char* kName = "Outline";

    OutlinePass(Engine::Platform::Device& device, uint32_t sampleCount);

    /// Whether any material of the frame's models gets an outline (the pass records nothing, and
    /// is not opened, otherwise).
    static bool HasWork(const FrameInputs& frame, Vesma::MaterialStyle settingsStyle);

    /// Records the outlines of every model into the bound scene targets (viewport and scissor set
    /// by the caller). `width` is the settings' outline width; `renderHeight` the targets' height.
    void Record(Engine::Platform::CommandList& list, const FrameInputs& frame, Vesma::MaterialStyle settingsStyle,
                float width, uint32_t renderHeight);

    /// Draw calls of the last Record (tests).
    uint32_t Draws() const { return m_draws; }

private:
    std::shared_ptr<Engine::Platform::RootSignature> m_root;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
    uint32_t m_draws = 0;
};

}  // namespace ProjectTavrin
