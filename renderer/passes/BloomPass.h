#pragma once
// Bloom, exposure and tone mapping: the scene's bright parts extracted into a five-level pyramid
// at a fixed small size, blurred back up and added to the scene. With tone mapping or exposure
// adaptation on (the HDR path) the extract also writes the luma buffer, the scene is tone mapped
// with the exposure and, when enabled, a filmic curve, and then the exposure is adapted from the
// luma (ExposurePass) or set again from its parameter.
#include <array>
#include <initializer_list>
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/UintBuffer.h"
#include "renderer/PostParams.h"
#include "renderer/SceneTargets.h"
#include "renderer/passes/ComputePass.h"
#include "renderer/passes/ExposurePass.h"

namespace ProjectTavrin {

/// Size of the first bloom level for a scene of `scene` pixels (width and height classes apart).
PixelSize BloomBaseSize(PixelSize scene);

class BloomPass {
public:
    static constexpr std::string_view kName = "Bloom";
    static constexpr int kLevels = 5;

    explicit BloomPass(Engine::Platform::Device& device);
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, const PostParams& params);
    /// Level `level` (0 = "Bloom Buffer 1a"/"1b") of the pyramid, side a or b.
    const Engine::ColorBuffer& Level(int level, bool sideB) const { return sideB ? m_b[level] : m_a[level]; }
    /// The exposure block ("Exposure", 8 floats) and the histogram, for tests.
    Engine::UintBuffer& ExposureBuffer() { return m_exposure.Block(); }
    Engine::UintBuffer& Histogram() { return m_exposure.Histogram(); }
    /// How the last Record ended: adaptation ran, or the exposure was (re)initialised.
    bool LastAdapted() const { return m_lastAdapted; }

private:
    void EnsureBuffers(PixelSize scene);
    void Extract(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, bool hdr, const PostParams& params);
    void Downsample(Engine::Platform::CommandList& list);
    void Upsample(Engine::Platform::CommandList& list, const PostParams& params);
    void Apply(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, bool hdr, const PostParams& params);
    /// Moves `dest` to unordered access and its sampled inputs to shader resource.
    static void Prepare(Engine::Platform::CommandList& list, Engine::ColorBuffer& dest,
                        std::initializer_list<Engine::ColorBuffer*> sources);

    ComputePass m_extract;
    ComputePass m_extractHdr;
    ComputePass m_downsample;
    ComputePass m_blur;
    ComputePass m_upsample;
    ComputePass m_apply;
    ComputePass m_toneMap;
    ExposurePass m_exposure;
    Engine::ColorBuffer m_luma;  // "Luma Buffer"
    bool m_initialised = false;
    bool m_lastAdapted = false;
    std::array<Engine::ColorBuffer, kLevels> m_a, m_b;
    PixelSize m_base;
};

}  // namespace ProjectTavrin
