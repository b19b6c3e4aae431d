#include "scene/SceneArguments.h"

#include <algorithm>
#include <cctype>

#include "core/TextConvert.h"
#include "renderer/SettingNames.h"

namespace ProjectTavrin {
namespace {

bool EndsWithNoCase(const std::string& text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

SceneArgumentResult TakeSceneArgument(const std::vector<std::string>& args, std::size_t& i, SceneArguments& scene,
                                      std::string& error) {
    const std::string& arg = args[i];
    const auto value = [&](const char* what) -> const std::string* {
        if (i + 1 >= args.size()) {
            error = arg + " needs " + what;
            return nullptr;
        }
        return &args[++i];
    };
    if (arg == "--camera") {
        const std::string* v = value("a .vmd or .vpd file");
        if (!v) return SceneArgumentResult::Bad;
        scene.entries.push_back({std::u16string(kCameraMarker), Utf8ToUtf16(*v)});
        return SceneArgumentResult::Taken;
    }
    if (arg == "--set") {
        const std::string* v = value("NAME=VALUE");
        if (!v) return SceneArgumentResult::Bad;
        const std::size_t eq = v->find('=');
        if (eq == 0 || eq == std::string::npos) {
            error = "--set " + *v + ": give NAME=VALUE";
            return SceneArgumentResult::Bad;
        }
        scene.settings.push_back(*v);
        return SceneArgumentResult::Taken;
    }
    if (arg == "--environment") {
        // As the configuration page's choice of an environment: the file, and the sky on.
        const std::string* v = value("a .hdr file or <Sample>");
        if (!v) return SceneArgumentResult::Bad;
        scene.settings.push_back("EnvironmentFile=" + *v);
        scene.settings.push_back("IBL_Enable=1");
        return SceneArgumentResult::Taken;
    }
    if (arg == "--lut") {
        const std::string* v = value("a .cube file or <Sample>");
        if (!v) return SceneArgumentResult::Bad;
        scene.settings.push_back("ColorFilterLutFile=" + *v);
        return SceneArgumentResult::Taken;
    }
    if (!arg.empty() && arg[0] == '-') return SceneArgumentResult::NotScene;
    if (Utf8ToUtf16(arg) == kSampleMarker || EndsWithNoCase(arg, ".pmx") || EndsWithNoCase(arg, ".pmd")) {
        scene.entries.push_back({Utf8ToUtf16(arg), std::u16string(kNoneMarker)});
        return SceneArgumentResult::Taken;
    }
    if (EndsWithNoCase(arg, ".vmd") || EndsWithNoCase(arg, ".vpd")) {
        if (scene.entries.empty() || scene.entries.back().IsCamera()) {
            error = "motion '" + arg + "' must follow a model";
            return SceneArgumentResult::Bad;
        }
        if (scene.entries.back().HasMotion()) {
            error = "motion '" + arg + "': a model takes one motion";
            return SceneArgumentResult::Bad;
        }
        scene.entries.back().Vmd = Utf8ToUtf16(arg);
        return SceneArgumentResult::Taken;
    }
    error = "'" + arg + "': expected a .pmx or .pmd model, <Sample> or a .vmd motion or .vpd pose";
    return SceneArgumentResult::Bad;
}

bool ApplySettingAssignments(FrameSettings& settings, const std::vector<std::string>& assignments, std::string& error) {
    for (const std::string& assignment : assignments)
        if (!ApplySettingAssignment(settings, assignment, error)) return false;
    return true;
}

std::vector<SceneEntry> EntriesOrSample(const std::vector<SceneEntry>& entries) {
    const bool hasModel = std::any_of(entries.begin(), entries.end(), [](const SceneEntry& e) { return !e.IsCamera(); });
    if (hasModel) return entries;
    std::vector<SceneEntry> withSample{{std::u16string(kSampleMarker), std::u16string(kNoneMarker)}};
    withSample.insert(withSample.end(), entries.begin(), entries.end());
    return withSample;
}

}  // namespace ProjectTavrin
