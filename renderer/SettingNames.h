#pragma once
// Every field of RenderSettings and PostParams by its name, so that tools (and later the
// configuration page's scripting) can set any of them from text: "SunIntensity=3",
// "SunColor=1,0.5,0.2", "TaaEnable=false", "ocean.SEA_HEIGHT=0.4", "BloomStrength=0.5".
#include <string>
#include <string_view>
#include <vector>

#include "renderer/SettingsExchange.h"

namespace ProjectTavrin {

/// Sets field `name` of `settings` from `value`. False (with `error` set and nothing changed)
/// for an unknown name or a value that is not of the field's kind.
bool ApplySetting(FrameSettings& settings, std::string_view name, std::string_view value, std::string& error);

/// Parses "NAME=VALUE" and applies it as above.
bool ApplySettingAssignment(FrameSettings& settings, std::string_view assignment, std::string& error);

/// Every name ApplySetting accepts, in declaration order.
std::vector<std::string> SettingNames();

}  // namespace ProjectTavrin
