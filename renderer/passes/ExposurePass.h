#pragma once
// Automatic exposure on the GPU. The exposure block ("Exposure", 8 floats) is what the HDR bloom
// extract and the tone map multiply by; it is set from the exposure parameter, or adapted from a
// histogram of the luma buffer the HDR extract wrote, which moves the exposure used from the
// next frame on. Nothing is read back.
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/UintBuffer.h"
#include "renderer/PostParams.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class ExposurePass {
public:
    explicit ExposurePass(Engine::Platform::Device& device);
    /// Sets the block from the exposure parameter (1 when not positive) and the luma encoding's
    /// starting range of log2 luminance.
    void Initialise(Engine::Platform::CommandList& list, const PostParams& params);
    /// Counts the codes of `luma` into the histogram and moves the exposure towards the one that
    /// maps their mean to the target luminance.
    void Adapt(Engine::Platform::CommandList& list, Engine::ColorBuffer& luma, const PostParams& params);

    Engine::UintBuffer& Block() { return m_block; }
    Engine::UintBuffer& Histogram() { return m_histogram; }

private:
    ComputePass m_initialise;
    ComputePass m_clearHistogram;
    ComputePass m_countHistogram;
    ComputePass m_adapt;
    Engine::UintBuffer m_block;
    Engine::UintBuffer m_histogram;
};

}  // namespace ProjectTavrin
