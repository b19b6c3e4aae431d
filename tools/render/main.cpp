// tavrin-render: renders a scene without a window and writes PNG images of chosen frames.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "renderer/GpuPassTimes.h"
#include "renderer/SettingNames.h"
#include "scene/MainRenderer.h"
#include "scene/SceneArguments.h"
#include "tools/render/GpuTimeReport.h"
#include "tools/render/JsonText.h"
#include "tools/render/PngFile.h"
#include "tools/render/RenderCommand.h"

namespace {

using namespace ProjectTavrin;
using Clock = std::chrono::steady_clock;
using TavrinRender::JsonString;

// The frame clock runs on a counter this tool moves: exactly one thirtieth of a second a frame.
constexpr int64_t kCounterFrequency = 30000;
constexpr int64_t kCountsPerFrame = 1000;

struct WrittenFrame {
    uint32_t frame;
    float animationFrame;
    std::string file;
    double milliseconds;
};

int Run(const TavrinRender::RenderCommand& command) {
    // Settings are checked before any device work, so a typo fails at once.
    FrameSettings settings;
    std::string settingError;
    if (!ApplySettingAssignments(settings, command.scene.settings, settingError)) {
        std::fprintf(stderr, "tavrin-render: %s\n", settingError.c_str());
        return 2;
    }
    std::error_code fsError;
    std::filesystem::create_directories(command.outDir, fsError);
    if (!std::filesystem::is_directory(command.outDir)) {
        std::fprintf(stderr, "tavrin-render: cannot create the output directory '%s'\n", command.outDir.c_str());
        return 1;
    }

    std::shared_ptr<Engine::EngineCore> core;
    try {
        core = Engine::EngineCore::GetInstance();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrin-render: %s\n", e.what());
        return 1;
    }
    core->SetHeadlessOutput(float(command.width), float(command.height));

    auto counter = std::make_shared<int64_t>(kCountsPerFrame);
    MainRenderer::Options options;
    options.core = core;
    options.counter = [counter] { return *counter; };
    options.counterFrequency = kCounterFrequency;
    MainRenderer engine(options);
    SceneRenderer& renderer = *engine.GetSceneRenderer();
    renderer.Settings().Edit([&](FrameSettings& s) { s = settings; });
    engine.Resize(float(command.width), float(command.height));

    const auto loadStart = Clock::now();
    if (!engine.LoadScene(EntriesOrSample(command.scene.entries)) || engine.WaitForSceneTask() != WorkStatus::Completed) {
        std::fprintf(stderr, "tavrin-render: the scene did not load: %s\n", engine.SceneTaskError().c_str());
        return 1;
    }
    const double loadMs = std::chrono::duration<double, std::milli>(Clock::now() - loadStart).count();
    // What the load had to say (a texture, an environment or a colour table that did not load).
    const std::string messages = Utf16ToUtf8(MessageLog::Instance().TakeAll());
    if (!messages.empty()) std::fprintf(stderr, "%s", messages.c_str());
    engine.PlayPause();
    // GPU times cost queries and a read-back per frame, so only the reports turn them on.
    const bool gpuTimesAvailable = (command.profile || command.json) && renderer.EnableGpuTimes(true);
    GpuPassTimes gpuTimes;

    std::vector<WrittenFrame> written;
    std::vector<double> frameMs;
    const uint32_t lastFrame = command.frames.back();
    std::size_t next = 0;
    for (uint32_t frame = 0; frame <= lastFrame; ++frame) {
        const auto start = Clock::now();
        engine.RunLoopIteration();
        core->WaitForGpu();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        frameMs.push_back(ms);
        for (const auto& timed : renderer.CollectGpuTimes(true)) gpuTimes.Add(timed);
        *counter += kCountsPerFrame;
        if (frame != command.frames[next]) continue;
        ++next;
        Engine::ReadbackBuffer readback;
        Engine::ColorBuffer& image = renderer.Targets().color8Bit;
        const uint8_t* rgba = readback.ReadBack(image);
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05u.png", frame);
        const std::filesystem::path path = std::filesystem::path(command.outDir) / name;
        if (!TavrinRender::WritePngFile(path, rgba, image.Width(), image.Height(), readback.RowPitch())) {
            std::fprintf(stderr, "tavrin-render: cannot write '%s'\n", path.string().c_str());
            return 1;
        }
        written.push_back({frame, engine.GetLastUpdate().animationFrame, path.string(), ms});
        if (!command.json) std::printf("%s\n", path.string().c_str());
    }

    const std::vector<std::string>& passes = renderer.GetPassLog().Names();
    std::vector<double> sorted = frameMs;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
    if (command.json) {
        const SceneLoadTimes& t = engine.GetScene().loadTimes;
        std::printf("{\n  \"size\": [%u, %u],\n  \"load_ms\": %.3f,\n", command.width, command.height, loadMs);
        std::printf("  \"load_phases_ms\": {\"parse\": %.3f, \"model_build\": %.3f, \"physics\": %.3f, "
                    "\"textures\": %.3f, \"gpu_upload\": %.3f},\n  \"frames\": [",
                    t.parseMs, t.modelBuildMs, t.physicsMs, t.texturesMs, t.gpuUploadMs);
        for (std::size_t i = 0; i < written.size(); ++i)
            std::printf("%s\n    {\"frame\": %u, \"animation_frame\": %.3f, \"file\": %s, \"ms\": %.3f}", i ? "," : "",
                        written[i].frame, double(written[i].animationFrame), JsonString(written[i].file).c_str(),
                        written[i].milliseconds);
        std::printf("\n  ],\n  \"passes\": [");
        for (std::size_t i = 0; i < passes.size(); ++i) std::printf("%s%s", i ? ", " : "", JsonString(passes[i]).c_str());
        std::printf("],\n  \"frame_ms_median\": %.3f,\n  \"frames_played\": %zu,\n  \"gpu_times\": %s\n}\n", median,
                    frameMs.size(), TavrinRender::GpuTimesJson(gpuTimes, gpuTimesAvailable).c_str());
        return 0;
    }
    if (command.passes) {
        std::printf("passes:");
        for (const std::string& p : passes) std::printf(" %s", p.c_str());
        std::printf("\n");
    }
    if (command.profile) {
        const SceneLoadTimes& t = engine.GetScene().loadTimes;
        std::printf("scene load %.1f ms (parse %.1f, model build %.1f, physics %.1f, textures %.1f, GPU upload %.1f)\n",
                    loadMs, t.parseMs, t.modelBuildMs, t.physicsMs, t.texturesMs, t.gpuUploadMs);
        std::printf("%zu frames played, frame (update, record, GPU) median %.2f ms, min %.2f, max %.2f\n",
                    frameMs.size(), median, sorted.front(), sorted.back());
        std::printf("%s", TavrinRender::GpuTimesText(gpuTimes, gpuTimesAvailable).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto command = TavrinRender::ParseRenderCommand(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!command) {
        std::fprintf(stderr, "tavrin-render: %s\n%s", error.c_str(), TavrinRender::kUsage);
        return 2;
    }
    if (command->help) {
        std::printf("%s", TavrinRender::kUsage);
        return 0;
    }
    if (command->listSettings) {
        for (const std::string& name : ProjectTavrin::SettingNames()) std::printf("%s\n", name.c_str());
        return 0;
    }
    try {
        return Run(*command);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrin-render: %s\n", e.what());
        return 1;
    }
}
