#include "scene/SceneLoader.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

#include "core/FileIO.h"
#include "core/HrException.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "Engine/TextureLoader/TexturePath.h"
#include "model/io/PmxReader.h"
#include "model/io/VmdReader.h"

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

// Reads and decodes a VMD file. The reader already logged which section failed; this adds which
// file it was, or says the file could not be read at all (the reader is silent about that).
bool ReadMotionFile(const std::u16string& path, Vesma::VMDFile& vmd, const char16_t* role, Scene& scene) {
    PhaseTimer parse(scene.loadTimes.parseMs);
    std::vector<uint8_t> bytes = ReadWholeFile(ToPath(path));
    if (bytes.empty()) {
        Log(std::u16string(u"Cannot read the ") + role + u" file " + path + u": it is missing, empty or unreadable.");
        scene.unreadableFiles.push_back(path);
        return false;
    }
    if (!Vesma::ReadVMDFile(vmd, std::move(bytes))) {
        Log(std::u16string(u"The ") + role + u" file " + path + u" is not a valid VMD file (see the message above).");
        scene.unreadableFiles.push_back(path);
        return false;
    }
    return true;
}

void LoadCameraEntry(const SceneEntry& entry, Scene& scene) {
    if (!entry.HasMotion()) return;
    Vesma::VMDFile vmd;
    ReadMotionFile(entry.Vmd, vmd, u"camera motion", scene);
    PhaseTimer build(scene.loadTimes.modelBuildMs);
    scene.cameraMotion = std::make_unique<CameraMotion>();
    if (!scene.cameraMotion->evaluator.Build(vmd)) {
        Log(kNoCameraKeysMessage);
        scene.cameraMotion.reset();
    }
}

bool LoadModel(const SceneEntry& entry, Vesma::PMXModel& model, Scene& scene, const TexturePrefetch& prefetch) {
    SceneLoadTimes& times = scene.loadTimes;
    if (entry.IsSample()) {
        PhaseTimer build(times.modelBuildMs);
        return model.Load(entry.Pmx);
    }
    PhaseTimer parse(times.parseMs);
    std::vector<uint8_t> bytes = ReadWholeFile(ToPath(entry.Pmx));
    if (bytes.empty()) {
        Log(u"Cannot read the model file " + entry.Pmx + u": it is missing, empty or unreadable.");
        scene.unreadableFiles.push_back(entry.Pmx);
        return false;
    }
    Vesma::PMXFile file;
    if (!Vesma::ReadPMXFile(file, std::move(bytes))) {
        Log(u"The model file " + entry.Pmx + u" is not a valid PMX file (see the message above).");
        scene.unreadableFiles.push_back(entry.Pmx);
        return false;
    }
    parse.Stop();
    if (prefetch) {
        std::vector<std::filesystem::path> textures;
        for (const std::u16string& path : Vesma::PMXModel::TexturePathsOf(file, entry.Pmx))
            textures.push_back(Engine::MakeTexturePath({}, path));
        prefetch(textures);
    }
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
                                                     Scene& scene) {
    SceneLoadTimes& times = scene.loadTimes;
    Vesma::VMDFile vmd;
    if (!ReadMotionFile(entry.Vmd, vmd, u"motion", scene)) return nullptr;
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

void LoadModelEntry(const SceneEntry& entry, Scene& scene, const ModelGpuFactory& makeGpu, const TexturePrefetch& prefetch) {
    auto model = std::make_shared<Vesma::PMXModel>();
    try {
        LoadModel(entry, *model, scene, prefetch);
        // The motion and its physics settle while the textures decode; the GPU side then takes
        // them, with the vertices already in the motion's first pose.
        std::shared_ptr<Vesma::VMDModelAnimation> motion =
            entry.HasMotion() ? LoadMotion(entry, model, scene) : nullptr;
        std::unique_ptr<PMXModelGpu> gpu = makeGpu ? makeGpu(*model) : nullptr;
        if (gpu) {
            scene.loadTimes.texturesMs += gpu->TextureLoadMs();
            scene.loadTimes.gpuUploadMs += gpu->BufferUploadMs();
        }
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

void LoadSceneEntries(const std::vector<SceneEntry>& entries, Scene& scene, const ModelGpuFactory& makeGpu,
                      const TexturePrefetch& prefetch) {
    scene.Clear();
    for (const SceneEntry& entry : entries) {
        if (entry.IsCamera())
            LoadCameraEntry(entry, scene);
        else
            LoadModelEntry(entry, scene, makeGpu, prefetch);
    }
}

}  // namespace ProjectTavrin
