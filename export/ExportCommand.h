#pragma once
// The command line of tavrin-export: the scene (models, their motions, a camera motion, an audio
// file), the output file and the video's size, rate, bitrate and length.
//
//   tavrin-export [options] -o OUT.mp4 [MODEL.pmx [MOTION.vmd]] ...
//
// The scene arguments (models, motions, --camera, --set) are read as tavrin-render reads them
// (scene/SceneArguments).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "export/ExportSettings.h"
#include "renderer/SettingsExchange.h"
#include "scene/ModelConfig.h"
#include "scene/Scene.h"

namespace ProjectTavrin {

/// Exit codes the command promises to scripts.
enum ExportExitCode : int {
    kExitDone = 0,         ///< the whole video was written
    kExitFailed = 1,       ///< no device, a scene that failed, an encoder or file problem, lost frames or sound
    kExitUsage = 2,        ///< the command line was wrong; nothing was done
    kExitInterrupted = 130 ///< Ctrl-C: the frames written so far were finished into a playable file
};

struct ExportCommand {
    bool help = false;
    std::vector<SceneEntry> entries;
    std::filesystem::path output;
    std::filesystem::path audio;
    FrameSize size{1280, 720};
    uint32_t fps = 30;
    int32_t bitrate = 8000;
    /// Empty: the longest motion of the scene.
    std::optional<double> seconds;
    /// --set NAME=VALUE, in order, as written.
    std::vector<std::string> settings;
    /// The default settings with every --set applied (the names and values were checked).
    FrameSettings renderSettings;
    /// Render and encode in turn instead of side by side (for comparison).
    bool serial = false;
    std::string preset = "veryfast";
};

struct ExportCommandParse {
    std::optional<ExportCommand> command;
    std::string error;  ///< why there is no command
};

/// Reads the arguments after the program name.
ExportCommandParse ParseExportCommand(const std::vector<std::string>& args);
/// The --help text.
std::string ExportUsage();
/// Frames for `seconds` at `fps` (rounded to the nearest frame).
uint32_t ExportFramesForSeconds(double seconds, uint32_t fps);
/// The length of the longest model or camera motion of `scene`, in seconds (30 frames a second);
/// 0 when it has none.
double LongestMotionSeconds(const Scene& scene);

}  // namespace ProjectTavrin
