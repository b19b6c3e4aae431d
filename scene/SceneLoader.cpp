#include "scene/SceneLoader.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

#include "core/FileIO.h"
#include "core/HrException.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/io/ModelFileReader.h"
#include "model/io/MotionFileReader.h"

namespace ProjectTavrin {
namespace {

constexpr char16_t kNoCameraKeysMessage[] = u"相机使用的VMD没有相机数据！";

// Adds the time from its construction to its end (or Stop) to one phase's total.
class PhaseTimer {
public:
    explicit PhaseTimer(double& total) : m_total(total), m_start(std::chrono::steady_clock::now()) {}
    ~PhaseTimer() { Stop(); }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;
    void Stop() {
        if (m_stopped) return;
        m_stopped = true;
        m_total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    double& m_total;
    std::chrono::steady_clock::time_point m_start;
    bool m_stopped = false;
};

void Log(const std::u16string& message) { MessageLog::Instance().Append(message); }

std::filesystem::path ToPath(const std::u16string& text) { return std::filesystem::path(Utf16ToUtf8(text)); }

// Reads and decodes a motion file (a VMD motion or a VPD pose). The reader already logged what
// failed; this adds which file it was, or says the file could not be read at all.
bool ReadMotionFile(const std::u16string& path, Vesma::VMDFile& vmd, const char16_t* role, SceneLoadTimes& times) {
    PhaseTimer parse(times.parseMs);
    std::vector<uint8_t> bytes = ReadWholeFile(ToPath(path));
    if (bytes.empty()) {
        Log(std::u16string(u"Cannot read the ") + role + u" file " + path + u": it is missing, empty or unreadable.");
        return false;
    }
    const Vesma::MotionFileFormat format = Vesma::DetectMotionFileFormat(bytes, path);
    if (!Vesma::ReadMotionFile(vmd, std::move(bytes), path)) {
        Log(std::u16string(u"The ") + role + u" file " + path + u" is not a valid " + Vesma::MotionFileFormatName(format) +
            u" file (see the message above).");
        return false;
    }
    return true;
}

// The light and self-shadow keys met while loading. The camera motion's replace what an earlier
// camera entry gave; a model motion's count only while nothing else has given that kind.
struct LightKeysFound {
    std::vector<Vesma::VMDLightKey> light;
    std::vector<Vesma::VMDShadowKey> selfShadow;
    bool lightFromCamera = false;
    bool selfShadowFromCamera = false;

    void Take(const Vesma::VMDFile& vmd, bool camera) {
        if (!vmd.lightKeys.empty() && (camera || (light.empty() && !lightFromCamera))) {
            light = vmd.lightKeys;
            lightFromCamera = camera;
        }
        if (!vmd.shadowKeys.empty() && (camera || (selfShadow.empty() && !selfShadowFromCamera))) {
            selfShadow = vmd.shadowKeys;
            selfShadowFromCamera = camera;
        }
    }

    std::unique_ptr<LightMotion> Build() const {
        if (light.empty() && selfShadow.empty()) return nullptr;
        auto motion = std::make_unique<LightMotion>();
        motion->light.Build(light);
        motion->selfShadow.Build(selfShadow);
        return motion;
    }
};

void LoadCameraEntry(const SceneEntry& entry, Scene& scene, LightKeysFound& lights) {
    if (!entry.HasMotion()) return;
    Vesma::VMDFile vmd;
    if (ReadMotionFile(entry.Vmd, vmd, u"camera motion", scene.loadTimes)) lights.Take(vmd, true);
    PhaseTimer build(scene.loadTimes.modelBuildMs);
    scene.cameraMotion = std::make_unique<CameraMotion>();
    if (!scene.cameraMotion->evaluator.Build(vmd)) {
        Log(kNoCameraKeysMessage);
        scene.cameraMotion.reset();
    }
}

bool LoadModel(const SceneEntry& entry, Vesma::PMXModel& model, SceneLoadTimes& times) {
    if (entry.IsSample()) {
        PhaseTimer build(times.modelBuildMs);
        return model.Load(entry.Pmx);
    }
    PhaseTimer parse(times.parseMs);
    std::vector<uint8_t> bytes = ReadWholeFile(ToPath(entry.Pmx));
    if (bytes.empty()) {
        Log(u"Cannot read the model file " + entry.Pmx + u": it is missing, empty or unreadable.");
        return false;
    }
    Vesma::PMXFile file;
    const Vesma::ModelFileFormat format = Vesma::DetectModelFileFormat(bytes, entry.Pmx);
    if (!Vesma::ReadModelFile(file, std::move(bytes), entry.Pmx)) {
        Log(u"The model file " + entry.Pmx + u" is not a valid " + Vesma::ModelFileFormatName(format) +
            u" file (see the message above).");
        return false;
    }
    parse.Stop();
    PhaseTimer build(times.modelBuildMs);
    if (!model.Load(std::move(file), entry.Pmx)) {
        Log(u"The model " + entry.Pmx + u" was only partly built (see the message above).");
        return false;
    }
    return true;
}

// The motion bound to `model`, warmed up and evaluated at frame 0; null when it cannot be built.
std::shared_ptr<Vesma::VMDModelAnimation> LoadMotion(const SceneEntry& entry,
                                                     const std::shared_ptr<Vesma::PMXModel>& model,
                                                     SceneLoadTimes& times, LightKeysFound& lights) {
    Vesma::VMDFile vmd;
    if (!ReadMotionFile(entry.Vmd, vmd, u"motion", times)) return nullptr;
    lights.Take(vmd, false);
    PhaseTimer build(times.modelBuildMs);
    auto motion = std::make_shared<Vesma::VMDModelAnimation>();
    if (!motion->Bind(model) || !motion->AddMotion(vmd)) {
        Log(u"The motion " + entry.Vmd + u" cannot be bound to the model " + entry.Pmx + u".");
        return nullptr;
    }
    build.Stop();
    PhaseTimer physics(times.physicsMs);
    SettleMotionAt(*motion, *model, 0.0f);
    return motion;
}

void LoadModelEntry(const SceneEntry& entry, Scene& scene, const ModelGpuFactory& makeGpu, LightKeysFound& lights) {
    auto model = std::make_shared<Vesma::PMXModel>();
    try {
        LoadModel(entry, *model, scene.loadTimes);
        std::unique_ptr<PMXModelGpu> gpu = makeGpu ? makeGpu(*model) : nullptr;
        if (gpu) {
            scene.loadTimes.texturesMs += gpu->TextureLoadMs();
            scene.loadTimes.gpuUploadMs += gpu->BufferUploadMs();
        }
        std::shared_ptr<Vesma::VMDModelAnimation> motion =
            entry.HasMotion() ? LoadMotion(entry, model, scene.loadTimes, lights) : nullptr;
        scene.models.push_back(std::move(model));
        scene.modelGpus.push_back(std::move(gpu));
        scene.motions.push_back(std::move(motion));
    } catch (const HrException& e) {
        // A failing GPU call drops the whole entry; the scene goes on without it.
        Log(u"The model " + entry.Pmx + u" was left out of the scene: " + Utf8ToUtf16(e.what()));
    }
}

}  // namespace

void SettleMotionAt(Vesma::VMDModelAnimation& motion, Vesma::PMXModel& model, float frame) {
    motion.WarmUpPhysics(frame);
    model.ResetPose();
    motion.Evaluate(frame, 1.0f);
}

void LoadSceneEntries(const std::vector<SceneEntry>& entries, Scene& scene, const ModelGpuFactory& makeGpu) {
    scene.Clear();
    LightKeysFound lights;
    for (const SceneEntry& entry : entries) {
        if (entry.IsCamera())
            LoadCameraEntry(entry, scene, lights);
        else
            LoadModelEntry(entry, scene, makeGpu, lights);
    }
    scene.lightMotion = lights.Build();
}

}  // namespace ProjectTavrin
