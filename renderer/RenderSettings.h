#pragma once
// The render settings the configuration page edits: the uploaded lighting block (RenderConfig),
// the export size, the pass switches and the ocean constants. Plain data; the UI thread and the
// render thread exchange whole copies through SettingsExchange.
#include <cstdint>

#include "model/ExtendedMaterial.h"
#include "shaders/shared/RenderConfig.h"

namespace ProjectTavrin {

using RenderConfigBuffer = Engine::Shared::RenderConfig;
using OceanParam = Engine::Shared::OceanConstants;

/// Byte size of the constant slot the 88-byte RenderConfig is uploaded into.
inline constexpr uint32_t kRenderConfigSlotBytes = 96;

RenderConfigBuffer DefaultRenderConfig();
OceanParam DefaultOceanParam();

/// The global-illumination list: GI_Mode is the one switch of which GI runs, whoever sets it
/// (the page, the command line, a stored setting).
enum GiMode : int32_t { kGiOff = 0, kGiProbes = 1, kGiVoxels = 2 };

inline bool ProbeGiSelected(const RenderConfigBuffer& c) { return c.GI_Mode == kGiProbes; }
inline bool VoxelGiSelected(const RenderConfigBuffer& c) { return c.GI_Mode == kGiVoxels; }

/// Writes GI_Enable from GI_Mode (1 with voxel GI, else 0), so the shaders' copy of the block
/// says the same as the mode. Every settings edit ends with it.
inline void FollowGiMode(RenderConfigBuffer& c) { c.GI_Enable = VoxelGiSelected(c) ? 1 : 0; }

/// Copies the sun, the ambient light and the sky's limit into the options block of a traced
/// effect (a struct with fields of the same names).
template <typename Options>
void CopySceneLighting(const RenderConfigBuffer& c, Options& o) {
    o.SunDirection = c.SunDirection;
    o.SunLightEnable = c.SunLightEnable;
    o.SunColor = c.SunColor;
    o.SunIntensity = c.SunIntensity;
    o.AmbientColor = c.AmbientColor;
    o.AmbientIntensity = c.AmbientIntensity;
    o.SkyLightUpperLimit = c.SkyLightUpperLimit;
}

struct RenderSettings {
    RenderConfigBuffer config = DefaultRenderConfig();
    /// Used for the render size only when both are at least 512 (the video export sets them).
    uint32_t ExportWidth = 0;
    uint32_t ExportHeight = 0;
    bool forceFreeCamera = false;
    /// While on, a scene whose motion files hold light or self-shadow keys drives the sun's colour
    /// and direction, the shadow switch and the shadow range from them every frame.
    bool SunFromMotion = true;
    float MotionBlurLength = 0.0f;
    bool FxaaEnable = false;
    bool TaaEnable = true;
    bool DofEnable = false;
    bool VolumetricLightEnable = false;
    bool LensFlareEnable = false;
    bool OceanEnable = false;
    OceanParam ocean = DefaultOceanParam();
    /// The style of every material that has none of its own (all materials of a model without
    /// an extended-material file).
    Vesma::MaterialStyle MaterialStyle = Vesma::MaterialStyle::PhysicallyBased;
    /// The outline around classic-style materials with the edge flag, and its width: pixels per
    /// unit of edge size x vertex edge scale, at an image 720 pixels high (scaled with the height,
    /// so a video export keeps the proportions of the view).
    bool OutlineEnable = true;
    float OutlineWidth = 2.0f;
};

}  // namespace ProjectTavrin
