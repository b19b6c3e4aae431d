#include "export/ExportCommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "scene/SceneArguments.h"

namespace ProjectTavrin {
namespace {

constexpr uint32_t kMaxFps = 240;
constexpr int32_t kMaxBitrate = 1'000'000;
constexpr double kMaxSeconds = 24.0 * 3600.0;

template <typename T>
bool ParseInteger(const std::string& text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

bool ParseSeconds(const std::string& text, double& value) {
    try {
        size_t used = 0;
        value = std::stod(text, &used);
        return used == text.size() && std::isfinite(value);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

std::string ExportUsage() {
    return "Usage: tavrin-export [options] -o OUT.mp4 [MODEL.pmx|MODEL.pmd [MOTION.vmd|POSE.vpd]] ...\n"
           "\n"
           "Renders the scene without a window and writes it as an H.264 MP4 video (with the\n"
           "audio file as AAC, cut to the video's length).\n"
           "\n"
           "Scene:\n"
           "  MODEL.pmx | MODEL.pmd | <Sample>   a model (<Sample> is the built-in one); models load in order\n"
           "  MOTION.vmd | POSE.vpd  the motion (or pose) of the model before it\n"
           "  --camera CAMERA.vmd    the camera motion (without one the default view is used)\n"
           "  --audio FILE           sound for the video (any format FFmpeg reads)\n"
           "\n"
           "Video:\n"
           "  -o, --output OUT.mp4   the file to write; an existing one is replaced when the new\n"
           "                         one is complete\n"
           "  --size WxH             1280x720 (default), 1920x1080, 2560x1080, 2560x1440, 3440x1440,\n"
           "                         3840x1600, 4096x2160, or any even size up to 8192x8192\n"
           "  --fps N                frames per second: 30 (default), 60, 120, or 1 to 240\n"
           "  --bitrate KBITS        encoder bitrate in units of 1024 bit/s (default 8000)\n"
           "  --seconds S            length (default: the longest motion)\n"
           "  --set NAME=VALUE       a render setting or post parameter, as tavrin-render takes it\n"
           "                         (tavrin-render --list-settings names them)\n"
           "  --environment FILE     sky image (.hdr, or <Sample>): --set EnvironmentFile=FILE --set IBL_Enable=1\n"
           "  --lut FILE             colour table (.cube, or <Sample>): --set ColorFilterLutFile=FILE\n"
           "  --preset NAME          x264 speed preset (default veryfast)\n"
           "  --serial               render and encode in turn instead of side by side\n"
           "  -h, --help             this text\n"
           "\n"
           "Progress goes to standard error. Ctrl-C stops after the current frame and finishes a\n"
           "playable file with the frames written so far.\n"
           "\n"
           "Exit codes: 0 done; 1 failed (no device, scene, encoder or file problem, frames that\n"
           "could not be written, an audio file that could not be read); 2 wrong command line;\n"
           "130 interrupted (the file is playable).\n";
}

ExportCommandParse ParseExportCommand(const std::vector<std::string>& args) {
    ExportCommand command;
    SceneArguments scene;
    auto fail = [](std::string text) { return ExportCommandParse{std::nullopt, std::move(text)}; };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "-h" || arg == "--help") {
            command.help = true;
            return {command, {}};
        } else if (arg == "-o" || arg == "--output") {
            if (!value(text) || text.empty()) return fail(arg + " needs a file name");
            command.output = text;
        } else if (arg == "--audio") {
            if (!value(text)) return fail("--audio needs a file");
            command.audio = text;
        } else if (arg == "--size") {
            if (!value(text)) return fail("--size needs WxH");
            const std::optional<FrameSize> size = ParseFrameSize(text);
            if (!size) return fail("--size " + text + ": give WxH with even sides from 2 to 8192");
            command.size = *size;
        } else if (arg == "--fps") {
            if (!value(text) || !ParseInteger(text, command.fps) || command.fps == 0 || command.fps > kMaxFps)
                return fail("--fps needs a whole number from 1 to 240");
        } else if (arg == "--bitrate") {
            if (!value(text) || !ParseInteger(text, command.bitrate) || command.bitrate <= 0 ||
                command.bitrate > kMaxBitrate)
                return fail("--bitrate needs a whole number from 1 to 1000000");
        } else if (arg == "--seconds") {
            double seconds = 0;
            if (!value(text) || !ParseSeconds(text, seconds) || seconds < 0 || seconds > kMaxSeconds)
                return fail("--seconds needs a number from 0 to 86400");
            command.seconds = seconds;
        } else if (arg == "--preset") {
            if (!value(text) || text.empty()) return fail("--preset needs a name");
            command.preset = text;
        } else if (arg == "--serial") {
            command.serial = true;
        } else {
            std::string error;
            switch (TakeSceneArgument(args, i, scene, error)) {
                case SceneArgumentResult::Taken:
                    break;
                case SceneArgumentResult::Bad:
                    return fail(error);
                case SceneArgumentResult::NotScene:
                    return fail("unknown option " + arg);
            }
        }
    }
    if (command.output.empty()) return fail("no output file: give -o OUT.mp4");
    std::string settingError;
    if (!ApplySettingAssignments(command.renderSettings, scene.settings, settingError)) return fail(settingError);
    command.entries = std::move(scene.entries);
    command.settings = std::move(scene.settings);
    return {command, {}};
}

uint32_t ExportFramesForSeconds(double seconds, uint32_t fps) {
    if (!(seconds > 0)) return 0;
    return static_cast<uint32_t>(std::llround(seconds * fps));
}

double LongestMotionSeconds(const Scene& scene) {
    int32_t frames = 0;
    for (const auto& motion : scene.motions)
        if (motion) frames = std::max(frames, motion->GetMaxKeyFrame());
    if (scene.cameraMotion && !scene.cameraMotion->evaluator.Keys().empty())
        frames = std::max(frames, scene.cameraMotion->evaluator.Keys().back().frame);
    return static_cast<double>(frames) / 30.0;
}

}  // namespace ProjectTavrin
