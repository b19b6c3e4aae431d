#pragma once
// Bloom, exposure and tone mapping: the scene's bright parts extracted into a five-level pyramid
// at a fixed small size, blurred back up and added to the scene. With tone mapping or exposure
// adaptation on (the HDR path) the exposure and, when enabled, a filmic curve are applied too;
// adaptation measures a log-luminance histogram of the exposed image on the GPU and moves the
// exposure used from the next frame on.
#include <array>
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/UintBuffer.h"
#include "renderer/PostParams.h"
#include "renderer/SceneTargets.h"
#include "renderer/passes/ComputePass.h"

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
    Engine::UintBuffer& ExposureBuffer() { return m_exposure; }
    Engine::UintBuffer& Histogram() { return m_histogram; }
    /// How the last Record ended: adaptation ran, or the exposure was (re)initialised.
    bool LastAdapted() const { return m_lastAdapted; }

private:
    void EnsureBuffers(PixelSize scene);
    void Run(Engine::Platform::CommandList& list, uint32_t mode, Engine::ColorBuffer& dest, Engine::ColorBuffer* a,
             Engine::ColorBuffer* b, float threshold, float strength, const PostParams& params);
    void RunExposure(Engine::Platform::CommandList& list, uint32_t mode, uint32_t groupsX, uint32_t groupsY,
                     const PostParams& params);

    ComputePass m_pass;
    ComputePass m_exposurePass;
    Engine::UintBuffer m_exposure;
    Engine::UintBuffer m_histogram;
    Engine::ColorBuffer m_luma;  // "Luma Buffer"
    bool m_initialised = false;
    bool m_lastAdapted = false;
    std::array<Engine::ColorBuffer, kLevels> m_a, m_b;
    PixelSize m_base;
};

}  // namespace ProjectTavrin
