#pragma once
// Parameters of the passes, with their defaults. Edited by the configuration page, read by the
// passes when a frame is recorded (as a copy taken at the frame's start). The files named here
// are loaded by scene tasks, not per frame: a changed name alone loads nothing.
#include <string>

#include "core/Math.h"
#include "renderer/ProbeVolumeParams.h"
#include "renderer/ReflectionParams.h"
#include "renderer/RtaoParams.h"
#include "renderer/ShadowParams.h"
#include "renderer/SsaoParams.h"
#include "renderer/VolumetricParams.h"
#include "renderer/VoxelGiParams.h"

namespace ProjectTavrin {

struct PostParams {
    // Exposure, bloom and tone mapping.
    bool ToneMapEnable = false;
    bool AdaptationEnable = false;
    float Exposure = 1.0f;
    float TargetLuminance = 0.1f;
    float AdaptationRate = 0.05f;
    float MinExposure = 1.0f / 64.0f;
    float MaxExposure = 64.0f;
    float BloomThreshold = 1.0f;
    float BloomStrength = 0.2f;
    float BloomUpsampleBlend = 0.65f;
    // Temporal anti-aliasing.
    float TaaSpeedExponent = 3.0f;
    float TaaSharpness = 0.5f;
    // Image filters; a value of 0 leaves the pass out.
    float ColorFilterStrength = 1.0f;
    float SoftenStrength = 0.0f;
    float SharpenAmount = 0.0f;
    float VignetteAmount = 0.0f;
    // Depth of field.
    float DofFocusDistance = 10.0f;
    float DofFNumber = 1.4f;
    float DofFocalLength = 0.05f;
    int32_t DofAutoFocus = 1;
    // Lens flare.
    /// 10000 units towards the sun (derived from SunDirection by the settings exchange).
    Math::vec3 LensFlareSunPosition{7000.0f, 7000.0f, 7000.0f};
    float LensFlareBrightness = 1.0f;
    float GhostSizeFactor = 1.0f;
    float FlareSizeFactor = 1.0f;
    float ChromaticAberration = 0.5f;
    // The passes with parameter blocks of their own.
    ShadowParams shadow;
    VoxelGiParams voxel;
    ProbeVolumeParams probes;
    SsaoParams ssao;
    RtaoParams rtao;
    ReflectionParams reflection;
    VolumetricParams volumetric;
    /// The sky's environment image: empty for none, "<Sample>" for the built-in one, else a
    /// Radiance (.hdr) file. The sky is drawn only while RenderConfig::IBL_Enable is set.
    std::string EnvironmentFile;
    /// The colour filter's table: empty for none, "<Sample>" for the built-in one, else a .cube
    /// file. The filter runs only while ColorFilterStrength > 0.
    std::string ColorFilterLutFile;
};

}  // namespace ProjectTavrin
