// tavrin-inspect --pose MODEL.pmx [MOTION.vmd ...] --frames 0,30,90.5 [--physics]: loads a model
// and its motions as a scene load does (bind, add every motion, warm-up, reset pose, one
// evaluation), runs the per-frame update at each requested frame in order and prints every bone's
// global translation and rotation and the bounds of the skinned vertices (model space). With
// --time it also measures the per-frame update, phase by phase.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/TextConvert.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/motion/VMDModelAnimation.h"
#include "model/io/MotionFileReader.h"
#include "model/io/VmdReader.h"
#include "tools/inspect/Inspect.h"

namespace Inspect {
namespace {

using Clock = std::chrono::steady_clock;

Value Vec(std::initializer_list<float> values) {
    Value array = Value::Array();
    for (float v : values) array.Push(v);
    return array;
}

/// Per-phase times of the frames run so far, in microseconds.
struct PhaseTimes : Vesma::ModelFrameObserver {
    std::vector<double> evaluate, nodes, physics, skinning, total;
    Clock::time_point start, last;

    void Begin() { start = last = Clock::now(); }
    void PhaseDone(Vesma::ModelFramePhase phase) override {
        const Clock::time_point now = Clock::now();
        const double us = std::chrono::duration<double, std::micro>(now - last).count();
        last = now;
        switch (phase) {
            case Vesma::ModelFramePhase::Motion: evaluate.push_back(us); break;
            case Vesma::ModelFramePhase::Nodes: nodes.push_back(us); break;
            case Vesma::ModelFramePhase::Physics: physics.push_back(us); break;
            case Vesma::ModelFramePhase::Skinning:
                skinning.push_back(us);
                total.push_back(std::chrono::duration<double, std::micro>(now - start).count());
                break;
        }
    }
};

/// Plays the requested frames as the engine loop would: physics, when on, steps by the time since
/// the previous frame and is reset when playback returns to frame 0.
class Player {
public:
    Player(Vesma::PMXModel& model, Vesma::VMDModelAnimation& motion, bool physics) : m_physics(physics) {
        m_job.model = &model;
        m_job.animation = &motion;
    }

    void Play(float frame, PhaseTimes* times) {
        m_job.frame = frame;
        m_job.physics = m_physics ? m_resetRule.Next(frame / 30.0, false) : Vesma::PhysicsStep::Skip;
        m_job.physicsSeconds = std::max(0.0f, (frame - m_previous) / 30.0f);
        m_previous = frame;
        if (times) {
            times->Begin();
            m_job.Run(*times);
        } else {
            m_job.Run();
        }
    }

private:
    Vesma::ModelFrame m_job;
    Vesma::PhysicsResetRule m_resetRule;
    float m_previous = 0.0f;
    bool m_physics;
};

Value Percentiles(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    Value out = Value::Object();
    if (samples.empty()) return out;
    auto at = [&](double q) { return samples[std::min(samples.size() - 1, static_cast<size_t>(q * (samples.size() - 1) + 0.5))]; };
    out.Set("medianUs", at(0.5));
    out.Set("p95Us", at(0.95));
    return out;
}

Value PoseReport(const Vesma::PMXModel& model, float frame) {
    Value entry = Value::Object();
    entry.Set("frame", frame);
    Value& bones = entry.Set("bones", Value::Array());
    const auto& nodes = model.GetNodeManager().GetNodes();
    for (size_t i = 0; i < nodes.size(); ++i) {
        const Math::mat4& global = nodes[i]->GetGlobalTransform();
        const Math::vec3 t = global.Translation();
        const Math::quat q = Math::Normalize(Math::QuaternionFromMatrix(global));
        Value bone = Value::Object();
        bone.Set("index", static_cast<uint64_t>(i));
        bone.Set("name", std::u16string_view(nodes[i]->GetName()));
        bone.Set("translation", Vec({t.x, t.y, t.z}));
        bone.Set("rotation", Vec({q.x, q.y, q.z, q.w}));
        bones.Push(std::move(bone));
    }
    Math::vec3 lo, hi;
    const auto& vertices = model.GetOutputVertices();
    if (!vertices.empty()) lo = hi = vertices[0].position;
    for (const Vesma::ModelVertex& v : vertices) {
        lo = Math::Min(lo, v.position);
        hi = Math::Max(hi, v.position);
    }
    Value& bounds = entry.Set("bounds", Value::Object());
    bounds.Set("min", Vec({lo.x, lo.y, lo.z}));
    bounds.Set("max", Vec({hi.x, hi.y, hi.z}));
    return entry;
}

bool Accepts(const Args& args) { return args.Has("pose"); }

int Run(const Args& args) {
    // Positional words: the model (unless given as --pose=MODEL), the motions, and the frame list
    // when --frames has no "=LIST" of its own (then it is the last word).
    std::vector<std::string> words = args.files;
    std::string modelPath = args.Option("pose");
    if (modelPath.empty()) {
        if (words.empty()) return Fail(args, "--pose needs a PMX model (or <Sample>).");
        modelPath = words.front();
        words.erase(words.begin());
    }
    std::string frameList = "0";
    if (args.Has("frames")) {
        if (!args.Option("frames").empty()) {
            frameList = args.Option("frames");
        } else if (!words.empty()) {
            frameList = words.back();
            words.pop_back();
        } else {
            return Fail(args, "--frames needs a comma-separated list of frames.");
        }
    }
    const std::optional<std::vector<float>> frames = ParseFrames(frameList);
    if (!frames) return Fail(args, "Bad frame list \"" + frameList + "\": expected numbers separated by commas.");
    const bool physics = args.Has("physics");

    TakeLogUtf8();
    auto model = std::make_shared<Vesma::PMXModel>();
    if (!model->Load(Utf8ToUtf16(modelPath))) {
        std::string message = TakeLogUtf8();
        if (message.empty()) message = "Cannot load " + modelPath;
        return Fail(args, message);
    }
    Vesma::VMDModelAnimation motion;
    motion.Bind(model);
    for (const std::string& path : words) {
        std::vector<uint8_t> bytes = LoadInput(path);
        const size_t size = bytes.size();
        Vesma::VMDFile vmd;
        if (!Vesma::ReadMotionFile(vmd, std::move(bytes), Utf8ToUtf16(path))) {
            std::string message = TakeLogUtf8();
            if (message.empty()) message = size == 0 ? "Cannot read " + path : path + " is too short for a VMD file.";
            return Fail(args, message);
        }
        motion.AddMotion(vmd);
    }
    motion.WarmUpPhysics(0);
    model->ResetPose();
    motion.Evaluate(0);

    Value report = Value::Object();
    report.Set("model", modelPath);
    report.Set("bones", static_cast<uint64_t>(model->GetNodeManager().GetNodeCount()));
    report.Set("vertices", static_cast<uint64_t>(model->GetOutputVertices().size()));
    report.Set("maxKeyFrame", static_cast<int64_t>(motion.MaxKeyFrame()));
    report.Set("physics", physics);
    Value& list = report.Set("frames", Value::Array());
    Player player(*model, motion, physics);
    for (float frame : *frames) {
        player.Play(frame, nullptr);
        list.Push(PoseReport(*model, frame));
    }
    const std::string log = TakeLogUtf8();
    if (!log.empty()) report.Set("messages", log);

    if (args.time) {
        // The same frames again, repeatedly, until there are enough samples.
        PhaseTimes times;
        const auto start = Clock::now();
        while (times.total.size() < 20 ||
               (times.total.size() < 2000 && Clock::now() - start < std::chrono::seconds(1))) {
            for (float frame : *frames) player.Play(frame, &times);
        }
        Value& timing = report.Set("timing", Value::Object());
        timing.Set("frames", static_cast<uint64_t>(times.total.size()));
        timing.Set("evaluate", Percentiles(times.evaluate));
        timing.Set("morphsNodesIK", Percentiles(times.nodes));
        timing.Set("physics", Percentiles(times.physics));
        timing.Set("skinning", Percentiles(times.skinning));
        timing.Set("total", Percentiles(times.total));
    }
    Emit(args, report);
    return 0;
}

}  // namespace

extern const Mode kPoseMode = {
    "pose", "tavrin-inspect [--json] [--time] --pose MODEL.pmx|MODEL.pmd [MOTION.vmd|POSE.vpd ...] [--frames 0,30,90.5] [--physics]",
    Accepts, Run};

}  // namespace Inspect
