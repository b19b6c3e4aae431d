// tavrin-inspect --camera CAMERA.vmd --frames 0,15,30: evaluates a camera motion at the given
// frames and prints the camera state with the eye, look-at point and up vector (model space,
// radians).
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/motion/CameraAnimation.h"
#include "model/io/VmdReader.h"
#include "tools/inspect/Inspect.h"

namespace Inspect {
namespace {

using Vesma::CameraAnimation;

Value Vec3(const Math::vec3& v) {
    Value array = Value::Array();
    array.Push(v.x);
    array.Push(v.y);
    array.Push(v.z);
    return array;
}

bool Accepts(const Args& args) { return args.Has("camera"); }

int Run(const Args& args) {
    // Values come either as --camera=PATH / --frames=LIST or as the positional words after them.
    std::vector<std::string> words = args.files;
    auto take = [&](const std::string& option) -> std::optional<std::string> {
        if (!args.Option(option).empty()) return args.Option(option);
        if (words.empty()) return std::nullopt;
        std::string word = std::move(words.front());
        words.erase(words.begin());
        return word;
    };
    const std::optional<std::string> path = take("camera");
    if (!path) return Fail(args, "--camera needs a VMD file.");
    std::optional<std::string> frameList = args.Has("frames") ? take("frames") : std::optional<std::string>("0");
    if (!frameList) return Fail(args, "--frames needs a comma-separated list of frames.");
    const std::optional<std::vector<float>> frames = ParseFrames(*frameList);
    if (!frames) return Fail(args, "Bad frame list \"" + *frameList + "\": expected numbers separated by commas.");

    std::vector<uint8_t> bytes = LoadInput(*path);
    const size_t size = bytes.size();
    TakeLogUtf8();
    Vesma::VMDFile vmd;
    if (!Vesma::ReadVMDFile(vmd, bytes)) {
        std::string message = TakeLogUtf8();
        if (message.empty()) message = size == 0 ? "Cannot read " + *path : *path + " is too short for a VMD file.";
        return Fail(args, message);
    }
    CameraAnimation motion;
    if (!motion.Build(vmd)) return Fail(args, "相机使用的VMD没有相机数据！");

    Value report = Value::Object();
    report.Set("file", *path);
    report.Set("cameraKeys", static_cast<uint64_t>(motion.Keys().size()));
    Value& list = report.Set("frames", Value::Array());
    for (float frame : *frames) {
        motion.Evaluate(frame);
        const Vesma::CameraState& state = motion.State();
        const Vesma::CameraLookAt lookAt = CameraAnimation::LookAt(state);
        Value entry = Value::Object();
        entry.Set("frame", frame);
        entry.Set("interest", Vec3(state.interest));
        entry.Set("rotation", Vec3(state.rotation));
        entry.Set("distance", state.distance);
        entry.Set("fov", state.fov);
        entry.Set("eye", Vec3(lookAt.eye));
        entry.Set("lookAt", Vec3(lookAt.lookAt));
        entry.Set("up", Vec3(lookAt.up));
        list.Push(std::move(entry));
    }
    if (args.time) {
        report.Set("timing", TimeReads(size, [&] {
                       Vesma::VMDFile again;
                       Vesma::ReadVMDFile(again, bytes);
                   }));
    }
    Emit(args, report);
    return 0;
}

}  // namespace

extern const Mode kCameraMode = {"camera", "tavrin-inspect [--json] [--time] --camera CAMERA.vmd [--frames 0,15,30]",
                                 Accepts, Run};

}  // namespace Inspect
