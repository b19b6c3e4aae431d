#include "tools/render/RenderCommand.h"

#include <algorithm>
#include <charconv>

namespace TavrinRender {
namespace {

bool ParseUint(std::string_view text, uint32_t& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

const char* const kUsage =
    "usage: tavrin-render [options] [MODEL.pmx|MODEL.pmd|<Sample> [MOTION.vmd|POSE.vpd]] ...\n"
    "Renders the scene (the built-in sample without models) at the given frames and writes one\n"
    "PNG per frame (frame_NNNNN.png). Frames in between are played, so physics and the temporal\n"
    "history are what playback gives.\n"
    "options:\n"
    "  --camera CAMERA.vmd   camera motion (with light keys it drives the sun; SunFromMotion)\n"
    "  --frames LIST         frames to write, e.g. 0,30,60-65 (default 0)\n"
    "  --size WxH            image size (default 1280x720)\n"
    "  --out DIR             output directory (default .)\n"
    "  --set NAME=VALUE      set a render setting or post parameter (repeatable; --list-settings)\n"
    "  --environment FILE    sky image (.hdr, or <Sample>): --set EnvironmentFile=FILE --set IBL_Enable=1\n"
    "  --lut FILE            colour table (.cube, or <Sample>): --set ColorFilterLutFile=FILE\n"
    "  --list-settings       print the names --set accepts\n"
    "  --passes              print the passes of the last frame\n"
    "  --profile             print the scene load's phases, frame times and each pass's GPU time\n"
    "  --json                print everything (GPU times included) as one JSON document\n"
    "  --help                this text\n";

std::optional<std::vector<uint32_t>> ParseFrameList(const std::string& text, std::size_t limit) {
    std::vector<uint32_t> frames;
    std::string_view rest = text;
    if (rest.empty()) return std::nullopt;
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const std::size_t dash = item.find('-');
        uint32_t first = 0, last = 0;
        if (dash == std::string_view::npos) {
            if (!ParseUint(item, first)) return std::nullopt;
            last = first;
        } else if (!ParseUint(item.substr(0, dash), first) || !ParseUint(item.substr(dash + 1), last) || last < first) {
            return std::nullopt;
        }
        if (uint64_t(last) - first + frames.size() >= limit) return std::nullopt;
        for (uint32_t f = first;; ++f) {
            frames.push_back(f);
            if (f == last) break;
        }
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

bool ParseSize(const std::string& text, uint32_t& width, uint32_t& height) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    uint32_t w = 0, h = 0;
    if (!ParseUint(std::string_view(text).substr(0, x), w) || !ParseUint(std::string_view(text).substr(x + 1), h)) return false;
    if (w < 32 || h < 32 || w > 16384 || h > 16384) return false;
    width = w;
    height = h;
    return true;
}

std::optional<RenderCommand> ParseRenderCommand(const std::vector<std::string>& args, std::string& error) {
    RenderCommand command;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> const std::string* {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return nullptr;
            }
            return &args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            command.help = true;
        } else if (arg == "--list-settings") {
            command.listSettings = true;
        } else if (arg == "--passes") {
            command.passes = true;
        } else if (arg == "--profile") {
            command.profile = true;
        } else if (arg == "--json") {
            command.json = true;
        } else if (arg == "--frames") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            auto frames = ParseFrameList(*v);
            if (!frames) {
                error = "bad frame list '" + *v + "' (expected e.g. 0,30,60-65)";
                return std::nullopt;
            }
            command.frames = std::move(*frames);
        } else if (arg == "--size") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            if (!ParseSize(*v, command.width, command.height)) {
                error = "bad size '" + *v + "' (expected WxH, each side 32 to 16384)";
                return std::nullopt;
            }
        } else if (arg == "--out") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            command.outDir = *v;
        } else {
            switch (ProjectTavrin::TakeSceneArgument(args, i, command.scene, error)) {
                case ProjectTavrin::SceneArgumentResult::Taken:
                    break;
                case ProjectTavrin::SceneArgumentResult::Bad:
                    return std::nullopt;
                case ProjectTavrin::SceneArgumentResult::NotScene:
                    error = "unknown option '" + arg + "'";
                    return std::nullopt;
            }
        }
    }
    return command;
}

}  // namespace TavrinRender
