#pragma once
// A compute pipeline whose root signature is one block of root constants and a few static
// samplers: the shape every full-screen pass of the frame has. The description comes from the
// shader's registered layout (shaders/RendererShaderLayouts.h), which the build checks the
// compiled shader against.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"

namespace ProjectTavrin {

class ComputePass {
public:
    ComputePass(Engine::Platform::Device& device, std::span<const uint32_t> spirv,
                const Engine::Platform::RootSignatureDesc& rootDesc, std::string_view name);

    /// Binds the pipeline and its constants on `list`.
    template <typename Constants>
    void Bind(Engine::Platform::CommandList& list, const Constants& constants) const {
        static_assert(sizeof(Constants) % 4 == 0);
        BindRaw(list, &constants, sizeof(Constants));
    }
    void BindRaw(Engine::Platform::CommandList& list, const void* constants, uint32_t bytes) const;
    /// Binds only the root signature and the pipeline, for layouts with more than one parameter.
    void BindPipeline(Engine::Platform::CommandList& list) const;

    Engine::Platform::RootSignature& Root() const { return *m_root; }

private:
    std::shared_ptr<Engine::Platform::RootSignature> m_root;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
};

/// Groups of `groupSize` threads covering `extent` items.
inline uint32_t GroupCount(uint32_t extent, uint32_t groupSize) { return (extent + groupSize - 1) / groupSize; }

}  // namespace ProjectTavrin
