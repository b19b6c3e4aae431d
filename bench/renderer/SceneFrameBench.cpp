// One whole default frame of the renderer (model draw, resolve, bloom, TAA, final copy, output
// copy), recorded, submitted and waited for, at 1280 x 720: the built-in sample and a generated
// 100,000-vertex model with every material textured. The frame's CPU recording and the GPU work
// are both inside the measured time (lavapipe renders on the CPU).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <unistd.h>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "assets/SampleModel.h"
#include "core/TextConvert.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "renderer/CameraBuffer.h"
#include "renderer/PMXModelGpu.h"
#include "renderer/SceneRenderer.h"
#include "tests/support/PmxBuilders.h"
#include "tests/support/TextureFileWriters.h"

namespace {

constexpr uint32_t kWidth = 1280, kHeight = 720;

std::unique_ptr<Vesma::PMXModel> LoadLargeTextured(const std::filesystem::path& dir) {
    TestSupport::LargePmxShape shape;
    shape.vertices = 100000;
    shape.materials = 20;
    Vesma::PMXFile file = TestSupport::MakeLargePmx(shape);
    // One 256 x 256 texture with a soft gradient (opaque), shared by every material.
    std::vector<uint8_t> rgba(256 * 256 * 4);
    for (size_t i = 0; i < 256 * 256; ++i) {
        rgba[i * 4 + 0] = uint8_t(i % 256);
        rgba[i * 4 + 1] = uint8_t(i / 256);
        rgba[i * 4 + 2] = 128;
        rgba[i * 4 + 3] = 255;
    }
    const std::vector<uint8_t> png = TestSupport::EncodePng(256, 256, rgba);
    std::ofstream(dir / "tex.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    file.textures = {u"tex.png"};
    for (auto& m : file.materials) m.textureIndex = 0;
    auto model = std::make_unique<Vesma::PMXModel>();
    if (!model->Load(std::move(file), Utf8ToUtf16((dir / "large.pmx").string()))) throw std::runtime_error("model load");
    return model;
}

// A camera that frames the model's skinned vertices from the front.
ProjectTavrin::CameraBuffer FramingCamera(const Vesma::PMXModel& model) {
    Math::vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (const auto& v : model.GetOutputVertices())
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], v.position[i]);
            hi[i] = std::max(hi[i], v.position[i]);
        }
    const Math::vec3 center{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    const float extent = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z, 1.0f});
    const Math::vec3 eye{center.x, center.y, center.z + extent * 1.5f};
    ProjectTavrin::CameraBuffer c;
    c.view = c.prevView = Math::LookAtRH(eye, center, {0, 1, 0});
    c.projection = c.prevProjection = Math::PerspectiveFovRH(0.7f, float(kWidth) / kHeight, 1.0f, 16384.0f);
    c.inverseViewProjection = Math::Inverse(c.view * c.projection);
    c.screenSize = {float(kWidth), float(kHeight), 1.0f / kWidth, 1.0f / kHeight};
    c.cameraWorldPos = {eye, 0};
    return c;
}

// range 0: the sample; 1: the generated textured model.
void BM_DefaultFrame(benchmark::State& state) {
    std::shared_ptr<Engine::EngineCore> core;
    try {
        core = Engine::EngineCore::GetInstance();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tavrin-framebench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    core->SetHeadlessOutput(float(kWidth), float(kHeight));
    std::unique_ptr<Vesma::PMXModel> model;
    if (state.range(0) == 0) {
        model = std::make_unique<Vesma::PMXModel>();
        model->Load(std::u16string(kSampleModelPath));
    } else {
        model = LoadLargeTextured(dir);
    }
    Vesma::ModelFrame job;
    job.model = model.get();
    job.Run();
    ProjectTavrin::PMXModelGpu gpu(*model);
    gpu.CreateGpuResources(*core);
    ProjectTavrin::SceneRenderer renderer(core);
    Engine::StructuredBuffer<ProjectTavrin::CameraBufferSlot> camera;
    camera.Create(*core->GetDevice(), 1, Engine::kFrameCount, u"BenchCamera");
    const ProjectTavrin::CameraBuffer framing = FramingCamera(*model);
    const ProjectTavrin::CameraBufferSlot slot{framing.ForShaders()};
    for (uint32_t f = 0; f < Engine::kFrameCount; ++f) camera.CopyToGpu(std::span(&slot, 1), f);

    uint32_t counter = 0;
    for (auto _ : state) {
        const uint32_t frameIndex = core->GetBackBufferIndex();
        renderer.UploadSettings(frameIndex, counter / 30.0, framing.view * framing.projection);
        ProjectTavrin::FrameInputs inputs;
        inputs.cameraAddress = camera.GpuVirtualAddress(frameIndex);
        inputs.frameIndex = frameIndex;
        inputs.frameCounter = counter++;
        inputs.models = {&gpu};
        renderer.RenderFrame(inputs);
        core->WaitForGpu();
    }
    core->WaitForGpu();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DefaultFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
