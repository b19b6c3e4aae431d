#pragma once
// Samples one texel of a texture on the GPU (tests/SampleLod.comp) so tests can check what a
// shader sees through a descriptor and a sampler.
#include <array>
#include <memory>

#include "Engine/GpuResource/UintBuffer.h"
#include "Engine/Platform/CommandList.h"
#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"

namespace TavrinTest {

class TextureProbe {
public:
    /// Records on `list` a dispatch that samples the texture at `textureHeapIndex` (a 2D view in
    /// the shader-visible heap) at (u, v) and level of detail `lod` through a static sampler made
    /// from `sampler`, and the copy of the result for Result().
    void Record(Engine::Platform::Device& device, Engine::Platform::CommandList& list, uint32_t textureHeapIndex,
                const Engine::Platform::SamplerDesc& sampler, float u, float v, float lod);
    /// The sampled texel, once the recorded list has run.
    std::array<float, 4> Result() const;

private:
    std::shared_ptr<Engine::Platform::RootSignature> m_root;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
    Engine::UintBuffer m_output;
    std::shared_ptr<Engine::Platform::Resource> m_readback;
};

}  // namespace TavrinTest
