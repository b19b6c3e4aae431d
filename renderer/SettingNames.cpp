#include "renderer/SettingNames.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <variant>

namespace ProjectTavrin {
namespace {

using FieldRef = std::variant<float*, int32_t*, uint32_t*, bool*, Math::vec3*>;

struct Field {
    const char* name;
    FieldRef ref;
};

std::vector<Field> Fields(FrameSettings& s) {
    RenderConfigBuffer& c = s.render.config;
    OceanParam& o = s.render.ocean;
    PostParams& p = s.post;
    return {
        {"SunDirection", &c.SunDirection}, {"SunLightEnable", &c.SunLightEnable}, {"SunColor", &c.SunColor},
        {"SunIntensity", &c.SunIntensity}, {"AmbientColor", &c.AmbientColor}, {"AmbientIntensity", &c.AmbientIntensity},
        {"GI_Enable", &c.GI_Enable}, {"GI_Diffuse_Strength", &c.GI_Diffuse_Strength},
        {"GI_Specular_Strength", &c.GI_Specular_Strength}, {"GI_AO_Strength", &c.GI_AO_Strength},
        {"IBL_Enable", &c.IBL_Enable}, {"AO_Mode", &c.AO_Mode}, {"SR_Mode", &c.SR_Mode}, {"GI_Mode", &c.GI_Mode},
        {"SSS_Enable", &c.SSS_Enable}, {"SkyLightUpperLimit", &c.SkyLightUpperLimit},
        {"ExportWidth", &s.render.ExportWidth}, {"ExportHeight", &s.render.ExportHeight},
        {"forceFreeCamera", &s.render.forceFreeCamera}, {"MotionBlurLength", &s.render.MotionBlurLength},
        {"FxaaEnable", &s.render.FxaaEnable}, {"TaaEnable", &s.render.TaaEnable}, {"DofEnable", &s.render.DofEnable},
        {"VolumetricLightEnable", &s.render.VolumetricLightEnable}, {"LensFlareEnable", &s.render.LensFlareEnable},
        {"OceanEnable", &s.render.OceanEnable},
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
        {"DofAutoFocus", &p.DofAutoFocus}, {"LensFlareSunPosition", &p.LensFlareSunPosition},
        {"LensFlareBrightness", &p.LensFlareBrightness}, {"GhostSizeFactor", &p.GhostSizeFactor},
        {"FlareSizeFactor", &p.FlareSizeFactor}, {"ChromaticAberration", &p.ChromaticAberration},
        {"RtaoTemporal", &p.RtaoTemporal}, {"RtaoDenoise", &p.RtaoDenoise}, {"ReflectionTemporal", &p.ReflectionTemporal},
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
    for (const Field& field : Fields(settings)) {
        if (name != field.name) continue;
        const bool ok = std::visit(
            [&](auto* target) {
                using T = std::remove_pointer_t<decltype(target)>;
                if constexpr (std::is_same_v<T, float>) return ParseFloat(value, *target);
                else if constexpr (std::is_same_v<T, bool>) return ParseBool(value, *target);
                else if constexpr (std::is_same_v<T, Math::vec3>) return ParseVec3(value, *target);
                else return ParseInt(value, *target);
            },
            field.ref);
        if (!ok) error = "bad value for " + std::string(name) + ": '" + std::string(value) + "'";
        return ok;
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

std::vector<std::string> SettingNames() {
    FrameSettings scratch;
    std::vector<std::string> names;
    for (const Field& field : Fields(scratch)) names.emplace_back(field.name);
    return names;
}

}  // namespace ProjectTavrin
