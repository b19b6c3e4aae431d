#pragma once
// Every field of RenderSettings and PostParams by its name, so that tools (and later the
// configuration page's scripting) can set any of them from text: "SunIntensity=3",
// "SunColor=1,0.5,0.2", "TaaEnable=false", "ocean.SEA_HEIGHT=0.4", "shadow.CascadeCount=3",
// "ColorFilterLutFile=<Sample>", "MaterialStyle=Classic".
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "renderer/SettingsExchange.h"

namespace ProjectTavrin {

/// Sets field `name` of `settings` from `value`. False (with `error` set and nothing changed)
/// for an unknown name, a value that is not of the field's kind, or a count the passes cannot
/// size their work by (cascades, probe volumes and SSAO levels 1 to 4, sample counts at least
/// 1, voxel resolutions 96, 128 or 160, the modes of their lists, outline widths not negative).
/// File names take any text; an empty one names no file. The material style is "PhysicallyBased"
/// or "Classic". GI_Enable is no setting of its own: it follows GI_Mode (see FollowGiMode), so
/// naming it is refused with a hint.
bool ApplySetting(FrameSettings& settings, std::string_view name, std::string_view value, std::string& error);

/// Parses "NAME=VALUE" and applies it as above.
bool ApplySettingAssignment(FrameSettings& settings, std::string_view assignment, std::string& error);

/// The value of field `name` as text ApplySetting would read back to the same value; nothing for
/// an unknown name.
std::optional<std::string> SettingValue(const FrameSettings& settings, std::string_view name);

/// Every name ApplySetting accepts, in declaration order.
std::vector<std::string> SettingNames();

}  // namespace ProjectTavrin
