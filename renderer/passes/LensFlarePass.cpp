#include "renderer/passes/LensFlarePass.h"

#include <algorithm>
#include <cmath>

#include "CompiledShaders.h"
#include "assets/LensFlareSprites.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/LensFlareConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
constexpr float kFadeIn = 5.0f, kFadeOut = 20.0f;
}  // namespace

LensFlarePlacement PlaceLensFlare(const CameraBuffer& camera, Math::vec3 sunPosition, uint32_t width, uint32_t height) {
    LensFlarePlacement out;
    const Math::vec4 clip = Math::Transform(Math::vec4(sunPosition, 1.0f), camera.view * camera.projection);
    const float w = float(width), h = float(height);
    if (clip.w != 0.0f) {
        const float ndcX = clip.x / clip.w, ndcY = clip.y / clip.w;
        const float sx = (ndcX * 0.5f + 0.5f) * w, sy = h - h * (ndcY * 0.5f + 0.5f);
        // Far off the image the position only needs to stay off it; keep it within int range.
        out.x = int32_t(std::clamp(sx, -1e6f, 1e6f));
        out.y = int32_t(std::clamp(sy, -1e6f, 1e6f));
    } else {
        out.x = out.y = -1000000;
    }
    const Math::vec3 eye{camera.cameraWorldPos.x, camera.cameraWorldPos.y, camera.cameraWorldPos.z};
    const Math::vec3 toSun = sunPosition - eye;
    out.distance = Math::Length(toSun);
    const Math::vec3 view{camera.cameraViewDir.x, camera.cameraViewDir.y, camera.cameraViewDir.z};
    out.facing = out.distance > 0.0f ? Math::Dot(toSun / out.distance, view) : -1.0f;
    return out;
}

LensFlarePass::LensFlarePass(Device& device)
    : m_visibility(device, Engine::Shaders::LensFlareVisibility_comp(), Engine::ShaderLayouts::LensFlareVisibility(),
                   "LensFlareVisibility"),
      m_flare(device, Engine::Shaders::LensFlareSprite_comp(), Engine::ShaderLayouts::LensFlareSprite(), "LensFlareSprite"),
      m_ghost(device, Engine::Shaders::LensFlareGhost_comp(), Engine::ShaderLayouts::LensFlareSprite(), "LensFlareGhost") {
    m_lumAve.Create(u"LumAveMap", 1, 1, Format::R16_FLOAT);
}

void LensFlarePass::LoadSprites() {
    Engine::EngineCore& core = *Engine::EngineCore::GetInstance();
    Engine::ResourceUploadBatch batch(core.GetDeviceShared());
    batch.Begin();
    const bool ghost = Engine::LoadTextureFromMemory(m_ghostTexture, u"Ghost", Assets::LensFlareGhostPng(),
                                                     Engine::TextureFileType::Other, batch);
    const bool flare = Engine::LoadTextureFromMemory(m_flareTexture, u"Lensflare", Assets::LensFlareSpritePng(),
                                                     Engine::TextureFileType::Other, batch);
    batch.End(*core.GetDevice()).wait();
    // Sprites that could not be made draw as the blank texture: no light at all.
    if (!ghost) m_ghostTexture = Engine::GetBlankTexture();
    if (!flare) m_flareTexture = Engine::GetBlankTexture();
}

void LensFlarePass::Record(CommandList& list, Engine::ColorBuffer& scene, Engine::DepthBuffer& depth,
                           const CameraBuffer& camera, const PostParams& params, double frameSeconds) {
    if (m_ghostTexture.srv.IsNull()) LoadSprites();
    m_lastSprites = 0;
    const uint32_t width = scene.Width(), height = scene.Height();
    const LensFlarePlacement sun = PlaceLensFlare(camera, params.LensFlareSunPosition, width, height);

    m_lumAve.TransitionTo(list, ResourceState::UnorderedAccess);
    if (!m_cleared) {
        const float zero[4] = {0, 0, 0, 0};
        list.ClearUnorderedAccessViewFloat(*m_lumAve.GetResource(), zero);
        m_lumAve.TransitionTo(list, ResourceState::UnorderedAccess);
        m_cleared = true;
    }
    depth.TransitionTo(list, ResourceState::NonPixelShaderResource);
    Engine::Shared::LensFlareVisibilityConstants v{};
    v.lightPosX = sun.x;
    v.lightPosY = sun.y;
    v.fadeSpeed = {kFadeIn, kFadeOut};
    v.maskDistance = sun.distance;
    v.elapsed = float(frameSeconds);
    v.depth = depth.srvHandle.Gpu();
    v.lumAve = m_lumAve.uavHandle.Gpu();
    m_visibility.Bind(list, v);
    list.Dispatch(1, 1, 1);
    if (!(sun.facing >= 0.0f)) return;

    m_lumAve.TransitionTo(list, ResourceState::NonPixelShaderResource);
    const float brightness = sun.facing * sun.facing * sun.facing * params.LensFlareBrightness;
    const Math::vec2 centre{float(width) * 0.5f, float(height) * 0.5f};
    const Math::vec2 toCentre = centre - Math::vec2{float(sun.x), float(sun.y)};
    const float span = std::sqrt(toCentre.x * toCentre.x + toCentre.y * toCentre.y);
    const Math::vec2 d = span > 0.0f ? toCentre * (1.0f / span) : Math::vec2{0, 0};

    Engine::Shared::LensFlareSpriteConstants c{};
    c.brightness = brightness;
    c.targetWidth = int32_t(width);
    c.targetHeight = int32_t(height);
    c.chromaticAberrationOffset = d * (params.ChromaticAberration / 50.0f);
    c.lumAve = m_lumAve.srvHandle.Gpu();
    c.dest = scene.uavHandle.Gpu();
    auto draw = [&](ComputePass& pass, int32_t size, Math::vec2 at) {
        if (size <= 0) return;
        c.drawSize = size;
        c.drawPosX = int32_t(std::floor(at.x)) - size / 2;
        c.drawPosY = int32_t(std::floor(at.y)) - size / 2;
        scene.TransitionTo(list, ResourceState::UnorderedAccess);
        pass.Bind(list, c);
        list.Dispatch(GroupCount(uint32_t(size), 8), GroupCount(uint32_t(size), 8), 1);
        ++m_lastSprites;
    };
    c.sprite = m_flareTexture.srv.Gpu();
    draw(m_flare, int32_t(std::floor(float(height) * 0.5f * params.FlareSizeFactor)), {float(sun.x), float(sun.y)});
    c.sprite = m_ghostTexture.srv.Gpu();
    const int32_t ghostSize = int32_t(std::floor(float(height) * 0.5f * params.GhostSizeFactor));
    for (uint32_t i = 0; i < kGhostCount; ++i) {
        c.index = i;
        const Math::vec2 at = Math::vec2{float(sun.x), float(sun.y)} + d * (float(i) * 2.0f * span / float(kGhostCount));
        draw(m_ghost, ghostSize, at);
    }
}

}  // namespace ProjectTavrin
