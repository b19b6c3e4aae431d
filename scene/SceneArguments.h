#pragma once
// The scene part of the headless commands' command lines (tavrin-render, tavrin-export): models,
// each optionally followed by its motion, a camera motion, and render settings.
//
//   MODEL.pmx | MODEL.pmd | <Sample>   a model; models load in the order given
//   MOTION.vmd | POSE.vpd  the motion (or pose) of the model right before it (one per model)
//   --camera CAMERA.vmd    the camera motion (its light and self-shadow keys drive the sun)
//   --set NAME=VALUE       a render setting or post parameter by its name (SettingNames)
//   --environment FILE     the sky's Radiance image or <Sample>: short for
//                          --set EnvironmentFile=FILE --set IBL_Enable=1
//   --lut FILE             the colour filter's .cube table or <Sample>: short for
//                          --set ColorFilterLutFile=FILE
//
// Each command reads its own options first and hands everything else to TakeSceneArgument.
#include <cstddef>
#include <string>
#include <vector>

#include "renderer/SettingsExchange.h"
#include "scene/ModelConfig.h"

namespace ProjectTavrin {

struct SceneArguments {
    /// Models with their motions, and the camera entry, in the order given.
    std::vector<SceneEntry> entries;
    /// --set NAME=VALUE, in order, as written.
    std::vector<std::string> settings;
};

enum class SceneArgumentResult {
    NotScene,  ///< not a scene argument: the command's own option, or an unknown one
    Taken,     ///< read (with its value, if it has one)
    Bad        ///< a scene argument that is wrong; `error` says why
};

/// Reads args[i] (and its value for --camera and --set, moving `i` onto it) into `scene`.
SceneArgumentResult TakeSceneArgument(const std::vector<std::string>& args, std::size_t& i, SceneArguments& scene,
                                      std::string& error);

/// Applies every NAME=VALUE of `assignments` to `settings` in order. False at the first one that
/// names no setting or has a value of the wrong kind (`error` says which).
bool ApplySettingAssignments(FrameSettings& settings, const std::vector<std::string>& assignments, std::string& error);

/// The entries to load: `entries`, or the built-in sample model when they hold no model.
std::vector<SceneEntry> EntriesOrSample(const std::vector<SceneEntry>& entries);

}  // namespace ProjectTavrin
