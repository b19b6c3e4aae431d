#include "scene/MainRenderer.h"

#include <chrono>
#include <span>
#include <stdexcept>
#include <utility>

#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "assets/PreIntegratedBrdf.h"
#include "core/MessageLog.h"
#include "scene/SceneLoader.h"

namespace ProjectTavrin {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::unique_ptr<StepClock> MakeClock(const MainRenderer::Options& options) {
    if (options.counter) return std::make_unique<StepClock>(options.counter, options.counterFrequency);
    return std::make_unique<StepClock>();
}

}  // namespace

MainRenderer& MainRenderer::GetInstance() {
    static std::mutex lock;
    static MainRenderer* instance = nullptr;
    std::lock_guard<std::mutex> guard(lock);
    // Never destroyed: the engine lives until the process ends, and tearing the device down from
    // an exit handler could run after the driver is gone.
    if (!instance) instance = new MainRenderer(Options{Engine::EngineCore::GetInstance(), {}, 0});
    return *instance;
}

MainRenderer::MainRenderer(Options options)
    : m_frameClock(MakeClock(options)),
      m_playbackClock(MakeClock(options)),
      m_core(std::move(options.core)),
      m_renderWidth(options.renderWidth),
      m_renderHeight(options.renderHeight) {
    if (m_core) {
        m_renderWidth = m_core->GetOutputWidth();
        m_renderHeight = m_core->GetOutputHeight();
        m_cameraUpload.Create(*m_core->GetDevice(), 1, Engine::kFrameCount, u"CameraBuffer");
    }
    m_keyboard = std::make_unique<Engine::Keyboard>();
    m_mouse = std::make_unique<Engine::Mouse>();
    m_mouse->SetMode(Engine::MouseState::PositionMode::Relative);
    m_camera = std::make_unique<Engine::Camera>();
    m_playbackClock->SetPaused(true);
}

MainRenderer::~MainRenderer() {
    StopRenderLoop();
    WaitForSceneTask();
    if (m_core) m_core->WaitForGpu();
    m_scene.Clear();
}

// ---- render loop ----

void MainRenderer::StartRenderLoop() {
    std::lock_guard<std::mutex> guard(m_workLock);
    if (m_renderLoop && m_renderLoop->Status() == WorkStatus::Started) return;
    m_renderLoop.reset();  // a finished loop's thread is joined here
    m_renderLoop = WorkItem::Run([this](const WorkToken& token) {
        while (!token.IsCanceled()) RunLoopIteration();
    });
}

void MainRenderer::StopRenderLoop() {
    std::lock_guard<std::mutex> guard(m_workLock);
    if (!m_renderLoop) return;
    m_renderLoop->Cancel();
    m_renderLoop->Wait();
}

bool MainRenderer::IsRenderLoopRunning() const {
    std::lock_guard<std::mutex> guard(m_workLock);
    return m_renderLoop && !m_renderLoop->IsFinished();
}

WorkStatus MainRenderer::RenderLoopStatus() const {
    std::lock_guard<std::mutex> guard(m_workLock);
    return m_renderLoop ? m_renderLoop->Status() : WorkStatus::Completed;
}

void MainRenderer::RunLoopIteration() {
    std::lock_guard<std::mutex> guard(m_engineLock);
    m_frameClock->Tick([this] { UpdateScene(); });
    if (RenderFrame()) m_core->Present();
}

// ---- update ----

void MainRenderer::UpdateScene() {
    if (!sceneReady.load()) {
        // No long first step after a load: the clock starts measuring when the scene is there.
        m_frameClock->ResetElapsedTime();
        m_lastUpdate = UpdateReport{};
        return;
    }
    UpdateReport report;
    report.ran = true;

    m_playbackClock->Tick();
    const double t = m_playbackClock->GetTotalSeconds();
    const float frame = static_cast<float>(t) * 30.0f;
    const float dt = static_cast<float>(m_frameClock->GetElapsedSeconds());
    report.animationSeconds = t;
    report.animationFrame = frame;
    report.stepSeconds = dt;

    // Physics restarts when the animation is rewound (time falls from non-zero to zero) or when
    // the user asks for it; a paused clock at zero does not reset again.
    const Vesma::PhysicsStep physics = m_physicsResetRule.Next(t, physicsResetRequest.load());
    const bool reset = physics == Vesma::PhysicsStep::Reset;
    const auto modelsStart = Clock::now();
    report.uploadSeconds = UpdateModels(frame, physics, dt);
    report.modelSeconds = SecondsSince(modelsStart);
    if (reset && !m_scene.models.empty()) {
        report.physicsReset = true;
        physicsResetRequest.store(false);
    }

    m_cameraBuffer.frameCount = static_cast<int32_t>(m_frameClock->GetFrameCount());
    m_cameraBuffer.prevView = m_cameraBuffer.view;
    m_cameraBuffer.prevProjection = m_cameraBuffer.projection;
    m_cameraBuffer.screenSize = {m_renderWidth, m_renderHeight, 1.0f / m_renderWidth, 1.0f / m_renderHeight};
    m_cameraBuffer.NearZ = Engine::Camera::kNearPlane;
    m_cameraBuffer.FarZ = Engine::Camera::kFarPlane;
    report.cameraMotionDrove = !forceFreeCamera.load() && m_scene.cameraMotion;
    UpdateCamera(frame, dt);
    m_cameraBuffer.inverseViewProjection = Math::Inverse(m_cameraBuffer.view * m_cameraBuffer.projection);
    UploadFrameConstants();

    m_lastUpdate = report;
}

double MainRenderer::UpdateModels(float frame, Vesma::PhysicsStep physics, float dt, bool onlyModelsWithMotion) {
    const uint32_t frameIndex = FrameIndex();
    std::atomic<int64_t> uploadNanoseconds{0};
    m_modelRunner.Run(m_scene.models.size(), [&](std::size_t i) {
        Vesma::PMXModel* model = m_scene.models[i].get();
        if (!model || (onlyModelsWithMotion && !m_scene.motions[i])) return;
        Vesma::ModelFrame job;
        job.model = model;
        job.animation = m_scene.motions[i].get();
        job.frame = frame;
        job.physics = physics;
        job.physicsSeconds = dt;
        job.Run();
        if (PMXModelGpu* gpu = m_scene.modelGpus[i].get(); gpu && gpu->HasGpuResources()) {
            const auto start = Clock::now();
            gpu->Upload(frameIndex);
            uploadNanoseconds += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
        }
    });
    return static_cast<double>(uploadNanoseconds.load()) * 1e-9;
}

void MainRenderer::UpdateCamera(float frame, float dt) {
    Engine::CameraOutputs out;
    if (!forceFreeCamera.load() && m_scene.cameraMotion) {
        CameraMotion& motion = *m_scene.cameraMotion;
        const float step = static_cast<float>(m_playbackClock->GetElapsedSeconds());
        out = Engine::Camera::CameraMotionView(motion.evaluator, frame, step, m_renderWidth, m_renderHeight,
                                               motion.lastEvaluated);
    } else {
        m_camera->Update(dt, *m_mouse, *m_keyboard);
        out = m_camera->FreeCameraView(dt, m_renderWidth, m_renderHeight);
    }
    m_stepSeconds = out.stepSeconds;
    fovRadians.store(out.fovRadians, std::memory_order_relaxed);
    m_cameraBuffer.view = out.view;
    m_cameraBuffer.projection = out.projection;
    m_cameraBuffer.cameraWorldPos = out.eyePosition;
    m_cameraBuffer.cameraViewDir = out.viewDirection;
}

void MainRenderer::UploadFrameConstants() {
    if (!m_core) return;
    const CameraBufferSlot slot{m_cameraBuffer.ForShaders()};
    m_cameraUpload.CopyToGpu(std::span(&slot, 1), FrameIndex());
}

// ---- render ----

bool MainRenderer::RenderFrame() {
    if (!m_core || !sceneReady.load()) return false;
    using namespace Engine::Platform;
    m_core->ResetCommandList();
    CommandList& list = *m_core->GetCommandList();
    Resource* backBuffer = m_core->GetRenderTarget();
    const ResourceBarrier toTarget = ResourceBarrier::Transition(backBuffer, ResourceState::Present, ResourceState::RenderTarget);
    list.ResourceBarrier(std::span(&toTarget, 1));
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    list.ClearRenderTargetView(m_core->GetRenderTargetView(), black);
    const ResourceBarrier toPresent = ResourceBarrier::Transition(backBuffer, ResourceState::RenderTarget, ResourceState::Present);
    list.ResourceBarrier(std::span(&toPresent, 1));
    return true;
}

// ---- scene ----

bool MainRenderer::LoadScene(std::vector<SceneEntry> entries) {
    return RunSceneTask([this, entries = std::move(entries)] { SceneLoadTask(entries); });
}

bool MainRenderer::RunSceneTask(std::function<void()> task) {
    std::lock_guard<std::mutex> guard(m_workLock);
    if (m_sceneTask && m_sceneTask->Status() == WorkStatus::Started) {
        MessageLog::Instance().Append(kSceneStillLoadingMessage);
        return false;
    }
    m_sceneTask.reset();
    m_sceneTask = WorkItem::Run([this, task = std::move(task)](const WorkToken&) {
        sceneReady.store(false);
        std::lock_guard<std::mutex> engine(m_engineLock);
        if (m_core) m_core->WaitForGpu();
        task();
        sceneReady.store(true);
    });
    return true;
}

WorkStatus MainRenderer::WaitForSceneTask() {
    std::lock_guard<std::mutex> guard(m_workLock);
    if (!m_sceneTask) return WorkStatus::Completed;
    m_sceneTask->Wait();
    return m_sceneTask->Status();
}

std::string MainRenderer::SceneTaskError() const {
    std::lock_guard<std::mutex> guard(m_workLock);
    return m_sceneTask ? m_sceneTask->ErrorMessage() : std::string();
}

void MainRenderer::SceneLoadTask(const std::vector<SceneEntry>& entries) {
    ModelGpuFactory makeGpu;
    if (m_core)
        makeGpu = [core = m_core](Vesma::PMXModel& model) {
            auto gpu = std::make_unique<PMXModelGpu>(model);
            gpu->CreateGpuResources(*core);
            return gpu;
        };
    LoadSceneEntries(entries, m_scene, makeGpu);
    CreateBrdfTextures();
    BuildRaytracingScene();
}

void MainRenderer::CreateBrdfTextures() {
    if (!m_core) return;
    struct Table {
        Engine::TextureResource& texture;
        std::u16string_view name;
        const unsigned char* png;
        size_t size;
    };
    const Table tables[] = {
        {m_brdfIblTexture, u"PreIntegratedBRDF_IBL", Assets::kPreIntegratedBrdfIblPng, Assets::kPreIntegratedBrdfIblPngSize},
        {m_brdfSkinTexture, u"PreIntegratedBRDF_SKIN", Assets::kPreIntegratedBrdfSkinPng, Assets::kPreIntegratedBrdfSkinPngSize},
    };
    bool any = false;
    for (const Table& table : tables) any = any || table.texture.srv.IsNull();
    if (!any) return;

    Engine::ResourceUploadBatch batch(m_core->GetDeviceShared());
    batch.Begin();
    for (const Table& table : tables) {
        if (!table.texture.srv.IsNull()) continue;
        if (!Engine::LoadTextureFromMemory(table.texture, table.name, std::span<const uint8_t>(table.png, table.size),
                                           Engine::TextureFileType::Other, batch))
            throw std::runtime_error("the embedded lighting tables cannot be decoded");
    }
    batch.End(*m_core->GetDevice()).wait();
}

void MainRenderer::BuildRaytracingScene() {
    if (!m_core || !m_core->IsRaytracingSupported()) return;
    if (m_scene.models.empty()) return;
    // The acceleration structures and the ray-traced passes are built here once the engine has
    // them; until then a scene has no ray-traced objects.
}

// ---- playback ----

PlaybackState MainRenderer::PlayPause() {
    if (!sceneReady.load()) return PlaybackState::NoScene;
    const bool wasPaused = m_playbackClock->IsPaused();
    m_playbackClock->SetPaused(!wasPaused);
    return wasPaused ? PlaybackState::Playing : PlaybackState::Paused;
}

void MainRenderer::Stop() {
    std::lock_guard<std::mutex> guard(m_engineLock);
    m_playbackClock->ResetClock();
    m_playbackClock->SetPaused(true);
}

// ---- viewport ----

void MainRenderer::Resize(float width, float height) {
    std::lock_guard<std::mutex> guard(m_engineLock);
    SetOutputSize(width, height);
}

void MainRenderer::SetOutputSize(float width, float height) {
    if (m_core) {
        m_core->SetLogicalSize(width, height);
        m_renderWidth = m_core->GetOutputWidth();
        m_renderHeight = m_core->GetOutputHeight();
    } else {
        m_renderWidth = std::max(width, 1.0f);
        m_renderHeight = std::max(height, 1.0f);
    }
}

}  // namespace ProjectTavrin
