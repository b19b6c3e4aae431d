#pragma once
// The command line of tavrin-render, parsed:
//   tavrin-render [options] [MODEL.pmx|MODEL.pmd [MOTION.vmd|POSE.vpd]] ...
// Each model may be followed by one motion; models load in the order given ("<Sample>" when
// none is given).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/SceneArguments.h"

namespace TavrinRender {

struct RenderCommand {
    /// Models, motions, the camera motion (--camera) and --set NAME=VALUE, read as every
    /// headless command reads them.
    ProjectTavrin::SceneArguments scene;
    std::vector<uint32_t> frames{0};    // --frames LIST, ascending, unique
    uint32_t width = 1280, height = 720;
    std::string outDir = ".";
    bool passes = false;
    bool profile = false;
    bool json = false;
    bool help = false;
    bool listSettings = false;
};

/// Parses the arguments after the program name. Returns nothing and sets `error` for a bad
/// command line.
std::optional<RenderCommand> ParseRenderCommand(const std::vector<std::string>& args, std::string& error);

/// "0,10,20-25" -> 0, 10, 20, 21, ..., 25 (sorted, duplicates removed). At most `limit` frames.
std::optional<std::vector<uint32_t>> ParseFrameList(const std::string& text, std::size_t limit = 100000);

/// "1280x720" -> (1280, 720); each side 32 ... 16384.
bool ParseSize(const std::string& text, uint32_t& width, uint32_t& height);

extern const char* const kUsage;

}  // namespace TavrinRender
