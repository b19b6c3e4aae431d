#pragma once
// Lens flare: the sun's visibility measured against the depth and faded over time ("LumAveMap",
// 1 x 1), then, while the sun lies ahead of the camera, its flare sprite at the sun and sixteen
// ghosts strung from the sun through the screen centre, added to the scene. The sprites are
// carried inside the program and loaded on first use.
#include <string_view>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/TextureLoader/TextureLoader.h"
#include "renderer/CameraBuffer.h"
#include "renderer/PostParams.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

/// Where the flare goes for one frame: the sun in pixels (from the top left) and how much it
/// faces the camera (the cosine between the view direction and the way to the sun).
struct LensFlarePlacement {
    int32_t x = 0, y = 0;
    float facing = 0;
    float distance = 0;  // camera to sun
};
LensFlarePlacement PlaceLensFlare(const CameraBuffer& camera, Math::vec3 sunPosition, uint32_t width, uint32_t height);

class LensFlarePass {
public:
    static constexpr std::string_view kName = "LensFlare";
    static constexpr uint32_t kGhostCount = 16;

    explicit LensFlarePass(Engine::Platform::Device& device);
    void Record(Engine::Platform::CommandList& list, Engine::ColorBuffer& scene, Engine::DepthBuffer& depth,
                const CameraBuffer& camera, const PostParams& params, double frameSeconds);
    /// The sun's visibility starts again from nothing (faded out) at the next Record.
    void ResetFade() { m_cleared = false; }
    /// Sprites drawn by the last Record (0 when the sun was behind the camera).
    uint32_t LastSpriteCount() const { return m_lastSprites; }

private:
    void LoadSprites();

    ComputePass m_visibility;
    ComputePass m_flare;
    ComputePass m_ghost;
    Engine::ColorBuffer m_lumAve;  // "LumAveMap"
    Engine::TextureResource m_ghostTexture;  // "Ghost"
    Engine::TextureResource m_flareTexture;  // "Lensflare"
    bool m_cleared = false;
    uint32_t m_lastSprites = 0;
};

}  // namespace ProjectTavrin
