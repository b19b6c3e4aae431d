// The video export of the built-in sample scene, 30 fps, 10 s (300 frames), at 1280 x 720 and
// 1920 x 1080: the whole export (render and encode side by side, and in turn), rendering alone
// (offline frames with their read-back) and x264 alone on rendered frames at the same settings.
// The counter "fps" is frames per second of wall time. TAVRIN_BENCH_EXPORT_FRAMES shortens the
// run (at least 30 frames). On lavapipe the render side runs on the
// CPU too, sharing the cores with x264.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#include "Engine/EngineCore.h"
#include "export/VideoEncoder.h"
#include "export/VideoExport.h"
#include "scene/MainRenderer.h"

namespace {

using namespace ProjectTavrin;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kFps = 30;
/// Frames each measurement runs: 300 (10 s), or TAVRIN_BENCH_EXPORT_FRAMES for a shorter run.
const uint32_t kFrames = [] {
    const char* text = std::getenv("TAVRIN_BENCH_EXPORT_FRAMES");
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return value >= 30 && value <= 100000 ? static_cast<uint32_t>(value) : 300u;
}();
constexpr int32_t kBitrate = 8000;

MainRenderer* Engine(benchmark::State& state) {
    static std::unique_ptr<MainRenderer> engine;
    if (engine) return engine.get();
    try {
        MainRenderer::Options options;
        options.core = Engine::EngineCore::GetInstance();
        options.core->SetHeadlessOutput(1280, 720);
        engine = std::make_unique<MainRenderer>(options);
        engine->LoadScene({{std::u16string(kSampleMarker), std::u16string(kNoneMarker)}});
        if (engine->WaitForSceneTask() != WorkStatus::Completed) throw std::runtime_error(engine->SceneTaskError());
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        engine.reset();
    }
    return engine.get();
}

std::filesystem::path OutputFile() {
    return std::filesystem::temp_directory_path() / ("tavrin-bench-export-" + std::to_string(getpid()) + ".mp4");
}

void Report(benchmark::State& state, uint32_t frames, double seconds) {
    state.SetIterationTime(seconds);
    state.counters["fps"] = frames / seconds;
}

void BM_Export(benchmark::State& state) {
    MainRenderer* engine = Engine(state);
    if (!engine) return;
    ExportJob job;
    job.width = static_cast<uint32_t>(state.range(0));
    job.height = job.width * 9 / 16;
    job.fps = kFps;
    job.bitrate = kBitrate;
    job.frameCount = kFrames;
    job.output = OutputFile();
    job.overlap = state.range(1) != 0;
    for (auto _ : state) {
        const ExportReport report = RunExport(*engine, job, {});
        if (!report.finalised || report.failedWrites) state.SkipWithError("the export failed");
        Report(state, report.framesWritten, report.loopSeconds);
    }
    std::filesystem::remove(job.output);
}
BENCHMARK(BM_Export)
    ->ArgNames({"width", "overlap"})
    ->Args({1280, 1})->Args({1280, 0})->Args({1920, 1})->Args({1920, 0})
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_RenderOnly(benchmark::State& state) {
    MainRenderer* engine = Engine(state);
    if (!engine) return;
    const auto width = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        engine->BeginExport(width, width * 9 / 16);
        const auto start = Clock::now();
        for (uint32_t i = 0; i < kFrames; ++i) benchmark::DoNotOptimize(engine->RenderOfflineFrame(kFps, i).pixels);
        Report(state, kFrames, std::chrono::duration<double>(Clock::now() - start).count());
        engine->EndExport();
    }
}
BENCHMARK(BM_RenderOnly)->ArgName("width")->Arg(1280)->Arg(1920)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_EncodeOnly(benchmark::State& state) {
    MainRenderer* engine = Engine(state);
    if (!engine) return;
    const auto width = static_cast<uint32_t>(state.range(0));
    const uint32_t height = width * 9 / 16;
    // 30 rendered frames, encoded in a cycle: the same frames as an export of that size sees.
    constexpr uint32_t kKept = 30;
    std::vector<std::vector<uint8_t>> frames;
    uint32_t rowPitch = 0;
    engine->BeginExport(width, height);
    for (uint32_t i = 0; i < kKept; ++i) {
        const OfflineFrame frame = engine->RenderOfflineFrame(kFps, i);
        rowPitch = frame.rowPitch;
        frames.emplace_back(frame.pixels, frame.pixels + static_cast<size_t>(frame.rowPitch) * frame.height);
    }
    engine->EndExport();
    VideoEncoderSettings settings;
    settings.output = OutputFile();
    settings.width = width;
    settings.height = height;
    settings.fps = kFps;
    settings.bitrate = kBitrate;
    for (auto _ : state) {
        VideoEncoder encoder;
        const auto start = Clock::now();
        if (!encoder.Open(settings)) {
            state.SkipWithError(encoder.Error().c_str());
            break;
        }
        for (uint32_t i = 0; i < kFrames; ++i) encoder.WriteFrame(frames[i % kKept].data(), width, height, rowPitch);
        encoder.Close();
        Report(state, kFrames, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::filesystem::remove(settings.output);
}
BENCHMARK(BM_EncodeOnly)->ArgName("width")->Arg(1280)->Arg(1920)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
