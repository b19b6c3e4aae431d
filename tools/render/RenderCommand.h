#pragma once
// The command line of tavrin-render, parsed:
//   tavrin-render [options] [MODEL.pmx [MOTION.vmd]] ...
// Each model may be followed by one motion; models load in the order given ("<Sample>" when
// none is given).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace TavrinRender {

struct ModelArgument {
    std::string model;   // a .pmx path or "<Sample>"
    std::string motion;  // a .vmd path, or empty
};

struct RenderCommand {
    std::vector<ModelArgument> models;
    std::string camera;                 // --camera CAMERA.vmd
    std::vector<uint32_t> frames{0};    // --frames LIST, ascending, unique
    uint32_t width = 1280, height = 720;
    std::string outDir = ".";
    std::vector<std::string> settings;  // --set NAME=VALUE, in order
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
