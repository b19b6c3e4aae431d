#pragma once
// Hands the render settings and post parameters from the UI thread to the render thread. The UI
// edits through Edit (a function that changes any number of fields under the lock); the render
// thread takes one Snapshot per frame. A setting spanning several fields (a colour, a direction)
// is therefore seen either wholly old or wholly new, never half-written.
#include <cstdint>
#include <functional>
#include <mutex>

#include "renderer/PostParams.h"
#include "renderer/RenderSettings.h"

namespace ProjectTavrin {

struct FrameSettings {
    RenderSettings render;
    PostParams post;
};

/// The sun lives in RenderConfig (SunDirection, SunColor, SunLightEnable); the passes keep their
/// own copies where their shaders read them: the shadow parameters' direction, the voxel
/// parameters' direction, colour and shadow switch, the volumetric light's direction (the way
/// the light travels: away from the sun) and shadow switch, and the lens flare's sun position
/// (10000 units towards the sun). This rewrites every copy of each of the three that differs
/// between `before` and `after` (all of them when `before` is null); directions are normalised
/// (a zero direction stays zero).
void DeriveSunCopies(const FrameSettings* before, FrameSettings& after);

/// Names of the copies above, which follow their source and are not set on their own.
inline constexpr const char* kDerivedSunSettings[] = {"shadow.SunDirection", "voxel.SunDir",       "voxel.SunColor",
                                                      "voxel.EnableShadow",  "volumetric.LightDir", "volumetric.UseShadow",
                                                      "LensFlareSunPosition"};

class SettingsExchange {
public:
    /// Applies `edit` to the shared copy under the lock, then brings the sun's copies in line
    /// with whatever it changed of the sun (DeriveSunCopies) and GI_Enable with GI_Mode
    /// (FollowGiMode); returns the new revision.
    uint64_t Edit(const std::function<void(FrameSettings&)>& edit);
    FrameSettings Snapshot() const;
    /// Counts the edits made so far (renderers rebuild size-dependent targets when it moves).
    uint64_t Revision() const;

private:
    mutable std::mutex m_lock;
    FrameSettings m_settings;
    uint64_t m_revision = 0;
};

}  // namespace ProjectTavrin
