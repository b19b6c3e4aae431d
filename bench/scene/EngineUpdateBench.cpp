// Per-frame CPU time of the engine update for one and for three character-sized models (40,000
// vertices each, with motion and physics): one loop iteration with the engine lock held, the
// frame jobs, and the GPU uploads where a device exists. Arguments: model count, parallel (0/1),
// device (0/1). The clocks read a counter that moves 1/60 s per iteration, so physics takes the
// steps of a 60 Hz display whatever the iteration itself costs.
//
// BM_SeekTo: one seek of the same scenes without a device (the audio player has no file), which
// the UI thread waits for: every model's physics warm-up and pose at the new time.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <unistd.h>

#include "Engine/EngineCore.h"
#include "core/TextConvert.h"
#include "model/io/PmxWriter.h"
#include "scene/MainRenderer.h"
#include "tests/support/PmxBuilders.h"
#include "tests/support/VmdWriter.h"

namespace {

struct BenchFiles {
    std::filesystem::path dir;
    std::u16string model, motion;
    BenchFiles() {
        dir = std::filesystem::temp_directory_path() / ("tavrin-bench-scene-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        TestSupport::LargePmxShape shape;
        shape.vertices = 40000;
        shape.rigidBodies = 100;
        Write(dir / "character.pmx", Vesma::WritePmx(TestSupport::MakeLargePmx(shape)));
        TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature("bench");
        for (uint32_t key = 0; key < 10; ++key)
            content.boneKeys.push_back(TestSupport::MakeBoneKey("\x83\x7B\x81\x5B\x83\x93" "0", key * 30, {float(key % 3), 0, 0}));
        Write(dir / "motion.vmd", TestSupport::WriteVmd(content).bytes);
        model = Utf8ToUtf16((dir / "character.pmx").string());
        motion = Utf8ToUtf16((dir / "motion.vmd").string());
    }
    ~BenchFiles() { std::filesystem::remove_all(dir); }
    static void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

void BM_EngineUpdate(benchmark::State& state) {
    static BenchFiles files;
    auto now = std::make_shared<int64_t>(0);
    ProjectTavrin::MainRenderer::Options options;
    options.counter = [now] { return *now; };
    options.counterFrequency = 60;
    if (state.range(2)) {
        try {
            options.core = Engine::EngineCore::GetInstance();
            options.core->SetHeadlessOutput(64, 64);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            return;
        }
    }
    ProjectTavrin::MainRenderer engine(options);
    engine.GetModelUpdateRunner().SetParallel(state.range(1) != 0);
    std::vector<ProjectTavrin::SceneEntry> entries(static_cast<size_t>(state.range(0)),
                                                   ProjectTavrin::SceneEntry{files.model, files.motion});
    engine.LoadScene(entries);
    if (engine.WaitForSceneTask() != WorkStatus::Completed) {
        state.SkipWithError("scene load failed");
        return;
    }
    engine.PlayPause();
    double modelSeconds = 0, uploadSeconds = 0;
    for (auto _ : state) {
        ++*now;
        engine.RunLoopIteration();
        modelSeconds += engine.GetLastUpdate().modelSeconds;
        uploadSeconds += engine.GetLastUpdate().uploadSeconds;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["frame_jobs_ms"] = (modelSeconds - uploadSeconds) / n * 1e3;
    state.counters["uploads_ms"] = uploadSeconds / n * 1e3;
}
BENCHMARK(BM_EngineUpdate)
    ->ArgsProduct({{1, 3}, {0, 1}, {0, 1}})
    ->ArgNames({"models", "parallel", "device"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SeekTo(benchmark::State& state) {
    static BenchFiles files;
    ProjectTavrin::MainRenderer engine(ProjectTavrin::MainRenderer::Options{});
    std::vector<ProjectTavrin::SceneEntry> entries(static_cast<size_t>(state.range(0)),
                                                   ProjectTavrin::SceneEntry{files.model, files.motion});
    engine.LoadScene(entries);
    if (engine.WaitForSceneTask() != WorkStatus::Completed) {
        state.SkipWithError("scene load failed");
        return;
    }
    double seconds = 0.0;
    for (auto _ : state) {
        seconds = seconds == 4.0 ? 1.0 : seconds + 1.0;
        engine.SeekTo(seconds);
    }
}
BENCHMARK(BM_SeekTo)->Arg(1)->Arg(3)->ArgNames({"models"})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
