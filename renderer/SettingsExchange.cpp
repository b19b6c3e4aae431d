#include "renderer/SettingsExchange.h"

namespace ProjectTavrin {

void DeriveSunCopies(const FrameSettings* before, FrameSettings& after) {
    const RenderConfigBuffer& c = after.render.config;
    PostParams& p = after.post;
    auto changed = [](const Math::vec3& a, const Math::vec3& b) { return !(a.x == b.x && a.y == b.y && a.z == b.z); };
    if (!before || changed(before->render.config.SunDirection, c.SunDirection)) {
        const Math::vec3 d = Math::Normalize(c.SunDirection);
        p.shadow.SunDirection = d;
        p.voxel.SunDir = d;
        p.volumetric.LightDir = -d;
        p.LensFlareSunPosition = d * 10000.0f;
    }
    if (!before || changed(before->render.config.SunColor, c.SunColor)) p.voxel.SunColor = c.SunColor;
    if (!before || before->render.config.SunLightEnable != c.SunLightEnable) {
        p.voxel.EnableShadow = c.SunLightEnable != 0 ? 1 : 0;
        p.volumetric.UseShadow = c.SunLightEnable != 0;
    }
}

uint64_t SettingsExchange::Edit(const std::function<void(FrameSettings&)>& edit) {
    std::lock_guard<std::mutex> guard(m_lock);
    const FrameSettings before = m_settings;
    edit(m_settings);
    DeriveSunCopies(&before, m_settings);
    FollowGiMode(m_settings.render.config);
    return ++m_revision;
}

FrameSettings SettingsExchange::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_settings;
}

uint64_t SettingsExchange::Revision() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_revision;
}

}  // namespace ProjectTavrin
