#pragma once
// Bloom and tone mapping: the scene's bright parts extracted into a five-level pyramid at a
// fixed small size, blurred back up and added to the scene; with tone mapping on, the exposure
// and a filmic curve are applied too.
#include <array>
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
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

private:
    void EnsureBuffers(PixelSize scene);
    void Run(Engine::Platform::CommandList& list, uint32_t mode, Engine::ColorBuffer& dest, Engine::ColorBuffer* a,
             Engine::ColorBuffer* b, float threshold, float strength, const PostParams& params);

    ComputePass m_pass;
    std::array<Engine::ColorBuffer, kLevels> m_a, m_b;
    PixelSize m_base;
};

}  // namespace ProjectTavrin
