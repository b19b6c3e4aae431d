#include "renderer/SettingNames.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <variant>

namespace ProjectTavrin {
namespace {

using FieldRef = std::variant<float*, int32_t*, uint32_t*, bool*, Math::vec3*, std::string*, Vesma::MaterialStyle*>;

/// Which values a field takes beyond its kind: any, a closed range, or one of the voxel
/// resolutions. The passes size GPU work from these, so out-of-range text is refused here.
struct Limit {
    double min = -std::numeric_limits<double>::infinity();
    double max = std::numeric_limits<double>::infinity();
    bool voxelResolution = false;
    bool Allows(double v) const {
        if (voxelResolution) return std::find(std::begin(kVoxelResolutions), std::end(kVoxelResolutions), v) != std::end(kVoxelResolutions);
        return v >= min && v <= max;
    }
};

constexpr Limit kAny{};
constexpr Limit kOneToFour{1.0, 4.0};
constexpr Limit kAtLeastOne{1.0, std::numeric_limits<double>::infinity()};
constexpr Limit kVoxelSizes{0.0, 0.0, true};
// The mode lists: GI off, probes, voxels; AO off, screen-space, traced; reflections off, traced.
constexpr Limit kGiModes{0.0, 2.0};
constexpr Limit kAoModes{0.0, 2.0};
constexpr Limit kSrModes{0.0, 1.0};
constexpr Limit kNonNegative{0.0, std::numeric_limits<double>::infinity()};

struct Field {
    const char* name;
    FieldRef ref;
    Limit limit = kAny;
};

std::vector<Field> Fields(FrameSettings& s) {
    RenderConfigBuffer& c = s.render.config;
    OceanParam& o = s.render.ocean;
    PostParams& p = s.post;
    ShadowParams& sh = p.shadow;
    VoxelGiParams& vx = p.voxel;
    ProbeVolumeParams& pv = p.probes;
    SsaoParams& ss = p.ssao;
    RtaoParams& ao = p.rtao;
    ReflectionParams& sr = p.reflection;
    VolumetricParams& vl = p.volumetric;
    return {
        {"SunDirection", &c.SunDirection}, {"SunLightEnable", &c.SunLightEnable}, {"SunColor", &c.SunColor},
        {"SunIntensity", &c.SunIntensity}, {"AmbientColor", &c.AmbientColor}, {"AmbientIntensity", &c.AmbientIntensity},
        {"GI_Diffuse_Strength", &c.GI_Diffuse_Strength},
        {"GI_Specular_Strength", &c.GI_Specular_Strength}, {"GI_AO_Strength", &c.GI_AO_Strength},
        {"IBL_Enable", &c.IBL_Enable}, {"AO_Mode", &c.AO_Mode, kAoModes}, {"SR_Mode", &c.SR_Mode, kSrModes},
        {"GI_Mode", &c.GI_Mode, kGiModes},
        {"SSS_Enable", &c.SSS_Enable}, {"SkyLightUpperLimit", &c.SkyLightUpperLimit},
        {"ExportWidth", &s.render.ExportWidth}, {"ExportHeight", &s.render.ExportHeight},
        {"forceFreeCamera", &s.render.forceFreeCamera}, {"SunFromMotion", &s.render.SunFromMotion},
        {"MotionBlurLength", &s.render.MotionBlurLength},
        {"FxaaEnable", &s.render.FxaaEnable}, {"TaaEnable", &s.render.TaaEnable}, {"DofEnable", &s.render.DofEnable},
        {"VolumetricLightEnable", &s.render.VolumetricLightEnable}, {"LensFlareEnable", &s.render.LensFlareEnable},
        {"OceanEnable", &s.render.OceanEnable},
        {"MaterialStyle", &s.render.MaterialStyle}, {"OutlineEnable", &s.render.OutlineEnable},
        {"OutlineWidth", &s.render.OutlineWidth, kNonNegative},
        {"ocean.SEA_HEIGHT", &o.SEA_HEIGHT}, {"ocean.SEA_CHOPPY", &o.SEA_CHOPPY}, {"ocean.SEA_SPEED", &o.SEA_SPEED},
        {"ocean.SEA_FREQ", &o.SEA_FREQ}, {"ocean.SEA_BASE", &o.SEA_BASE}, {"ocean.SEA_WATER_COLOR", &o.SEA_WATER_COLOR},
        {"ocean.SEA_SURFACE_HEIGHT", &o.SEA_SURFACE_HEIGHT},
        {"ToneMapEnable", &p.ToneMapEnable}, {"AdaptationEnable", &p.AdaptationEnable}, {"Exposure", &p.Exposure},
        {"TargetLuminance", &p.TargetLuminance}, {"AdaptationRate", &p.AdaptationRate}, {"MinExposure", &p.MinExposure},
        {"MaxExposure", &p.MaxExposure}, {"BloomThreshold", &p.BloomThreshold}, {"BloomStrength", &p.BloomStrength},
        {"BloomUpsampleBlend", &p.BloomUpsampleBlend}, {"TaaSpeedExponent", &p.TaaSpeedExponent},
        {"TaaSharpness", &p.TaaSharpness}, {"ColorFilterStrength", &p.ColorFilterStrength},
        {"SoftenStrength", &p.SoftenStrength}, {"SharpenAmount", &p.SharpenAmount}, {"VignetteAmount", &p.VignetteAmount},
        {"DofFocusDistance", &p.DofFocusDistance}, {"DofFNumber", &p.DofFNumber}, {"DofFocalLength", &p.DofFocalLength},
        {"DofAutoFocus", &p.DofAutoFocus},
        {"LensFlareBrightness", &p.LensFlareBrightness}, {"GhostSizeFactor", &p.GhostSizeFactor},
        {"FlareSizeFactor", &p.FlareSizeFactor}, {"ChromaticAberration", &p.ChromaticAberration},
        {"shadow.Distance", &sh.Distance}, {"shadow.CascadeCount", &sh.CascadeCount, kOneToFour},
        {"shadow.FilterSize", &sh.FilterSize}, {"shadow.VSMBias", &sh.VSMBias},
        {"shadow.PositiveExponent", &sh.PositiveExponent}, {"shadow.NegativeExponent", &sh.NegativeExponent},
        {"shadow.OffsetScale", &sh.OffsetScale}, {"shadow.LightBleedingReduction", &sh.LightBleedingReduction},
        {"voxel.Resolution", &vx.Resolution, kVoxelSizes}, {"voxel.RegionSize", &vx.RegionSize},
        {"voxel.Ambient", &vx.Ambient}, {"voxel.ConeTracing1", &vx.ConeTracing1}, {"voxel.ConeTracing2", &vx.ConeTracing2},
        {"voxel.ConeTracing3", &vx.ConeTracing3}, {"voxel.ConeTracing4", &vx.ConeTracing4},
        {"probes.Origin", &pv.Origin}, {"probes.Size", &pv.Size}, {"probes.Count", &pv.Count, kOneToFour},
        {"probes.DistanceExponent", &pv.DistanceExponent},
        {"ssao.HierarchyDepth", &ss.HierarchyDepth, kOneToFour}, {"ssao.RejectionFalloff", &ss.RejectionFalloff},
        {"ssao.Accentuation", &ss.Accentuation}, {"ssao.NoiseFilterTolerance", &ss.NoiseFilterTolerance},
        {"ssao.BlurTolerance", &ss.BlurTolerance}, {"ssao.UpsampleTolerance", &ss.UpsampleTolerance},
        {"ssao.ScreenSpaceDiameter", &ss.ScreenSpaceDiameter},
        {"rtao.Distance", &ao.Distance}, {"rtao.Falloff", &ao.Falloff}, {"rtao.Accentuation", &ao.Accentuation},
        {"rtao.NumSamples", &ao.NumSamples, kAtLeastOne}, {"rtao.TemporalSpeedExponent", &ao.TemporalSpeedExponent},
        {"rtao.DenoiseDepthThreshold", &ao.DenoiseDepthThreshold}, {"rtao.Temporal", &ao.Temporal},
        {"rtao.Denoise", &ao.Denoise},
        {"reflection.NumSamples", &sr.NumSamples, kAtLeastOne}, {"reflection.MaxDistance", &sr.MaxDistance},
        {"reflection.TemporalSpeedExponent", &sr.TemporalSpeedExponent}, {"reflection.Temporal", &sr.Temporal},
        {"volumetric.SampleCount", &vl.SampleCount, kAtLeastOne}, {"volumetric.Scattering", &vl.Scattering},
        {"volumetric.Extinction", &vl.Extinction}, {"volumetric.SkyboxExtinction", &vl.SkyboxExtinction},
        {"volumetric.MieG", &vl.MieG}, {"volumetric.ApplyHeightFog", &vl.ApplyHeightFog},
        {"volumetric.HeightFog0", &vl.HeightFog[0]}, {"volumetric.HeightFog1", &vl.HeightFog[1]},
        {"volumetric.UseNoise", &vl.UseNoise}, {"volumetric.NoiseScale", &vl.NoiseScale},
        {"volumetric.NoiseIntensity", &vl.NoiseIntensity}, {"volumetric.NoiseIntensityOffset", &vl.NoiseIntensityOffset},
        {"volumetric.NoiseVelocityX", &vl.NoiseVelocityX}, {"volumetric.NoiseVelocityZ", &vl.NoiseVelocityZ},
        {"volumetric.MaxRayLength", &vl.MaxRayLength}, {"volumetric.LightColor", &vl.LightColor},
        {"EnvironmentFile", &p.EnvironmentFile}, {"ColorFilterLutFile", &p.ColorFilterLutFile},
    };
}

bool ParseFloat(std::string_view text, float& out) {
    if (text.empty()) return false;
    float v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

template <typename Int>
bool ParseInt(std::string_view text, Int& out) {
    if (text.empty()) return false;
    Int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    out = v;
    return true;
}

// The shortest text that reads back as the same float.
std::string FormatFloat(float v) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

bool ParseBool(std::string_view text, bool& out) {
    if (text == "1" || text == "true" || text == "on") out = true;
    else if (text == "0" || text == "false" || text == "off") out = false;
    else return false;
    return true;
}

bool ParseVec3(std::string_view text, Math::vec3& out) {
    Math::vec3 v;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',');
        if ((i < 2) != (comma != std::string_view::npos)) return false;
        if (!ParseFloat(text.substr(0, comma), v[i])) return false;
        text = i < 2 ? text.substr(comma + 1) : std::string_view();
    }
    out = v;
    return true;
}

}  // namespace

bool ApplySetting(FrameSettings& settings, std::string_view name, std::string_view value, std::string& error) {
    if (name == "GI_Enable") {
        // Not a switch of its own: it follows GI_Mode, so setting it alone would change nothing.
        error = "GI_Enable follows GI_Mode; set GI_Mode=2 for voxel GI";
        return false;
    }
    for (const Field& field : Fields(settings)) {
        if (name != field.name) continue;
        const bool ok = std::visit(
            [&](auto* target) {
                using T = std::remove_pointer_t<decltype(target)>;
                if constexpr (std::is_same_v<T, bool>) {
                    return ParseBool(value, *target);
                } else if constexpr (std::is_same_v<T, Math::vec3>) {
                    return ParseVec3(value, *target);
                } else if constexpr (std::is_same_v<T, std::string>) {
                    *target = std::string(value);
                    return true;
                } else if constexpr (std::is_same_v<T, Vesma::MaterialStyle>) {
                    const auto style = Vesma::MaterialStyleFromName(value);
                    if (style) *target = *style;
                    return style.has_value();
                } else {
                    T parsed{};
                    bool good = false;
                    if constexpr (std::is_same_v<T, float>) good = ParseFloat(value, parsed);
                    else good = ParseInt(value, parsed);
                    if (!good || !field.limit.Allows(double(parsed))) return false;
                    *target = parsed;
                    return true;
                }
            },
            field.ref);
        if (!ok) error = "bad value for " + std::string(name) + ": '" + std::string(value) + "'";
        // The passes' copies of the sun follow at once, not only when the settings reach the renderer.
        if (ok && (name == "SunDirection" || name == "SunColor" || name == "SunLightEnable"))
            DeriveSunCopies(nullptr, settings);
        return ok;
    }
    for (const char* derived : kDerivedSunSettings)
        if (name == derived) {
            error = std::string(name) +
                    " follows the sun's own setting (SunDirection, SunColor or SunLightEnable); set that instead";
            return false;
        }
    error = "unknown setting '" + std::string(name) + "'";
    return false;
}

bool ApplySettingAssignment(FrameSettings& settings, std::string_view assignment, std::string& error) {
    const std::size_t eq = assignment.find('=');
    if (eq == std::string_view::npos || eq == 0) {
        error = "expected NAME=VALUE, got '" + std::string(assignment) + "'";
        return false;
    }
    return ApplySetting(settings, assignment.substr(0, eq), assignment.substr(eq + 1), error);
}

std::optional<std::string> SettingValue(const FrameSettings& settings, std::string_view name) {
    // Fields() hands out pointers for writing; reading goes through a copy, so `settings` stays const.
    FrameSettings copy = settings;
    for (const Field& field : Fields(copy)) {
        if (name != field.name) continue;
        return std::visit(
            [](auto* source) {
                using T = std::remove_pointer_t<decltype(source)>;
                if constexpr (std::is_same_v<T, bool>) return std::string(*source ? "true" : "false");
                else if constexpr (std::is_same_v<T, Math::vec3>)
                    return FormatFloat(source->x) + "," + FormatFloat(source->y) + "," + FormatFloat(source->z);
                else if constexpr (std::is_same_v<T, std::string>) return *source;
                else if constexpr (std::is_same_v<T, Vesma::MaterialStyle>) return std::string(Vesma::MaterialStyleName(*source));
                else if constexpr (std::is_same_v<T, float>) return FormatFloat(*source);
                else return std::to_string(*source);
            },
            field.ref);
    }
    return std::nullopt;
}

std::vector<std::string> SettingNames() {
    FrameSettings scratch;
    std::vector<std::string> names;
    for (const Field& field : Fields(scratch)) names.emplace_back(field.name);
    return names;
}

}  // namespace ProjectTavrin
