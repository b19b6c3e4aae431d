#include "scene/MainRenderer.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <span>
#include <stdexcept>
#include <utility>

#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "assets/PreIntegratedBrdf.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "scene/AudioClockFollower.h"
#include "scene/RenderResourceTasks.h"
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
    if (!instance) {
        Options options;
        options.core = Engine::EngineCore::GetInstance();
        instance = new MainRenderer(std::move(options));
    }
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
        m_sceneRenderer = std::make_unique<SceneRenderer>(m_core);
        CreateSceneBuffers();
    }
    m_keyboard = std::make_unique<Engine::Keyboard>();
    m_mouse = std::make_unique<Engine::Mouse>();
    m_mouse->SetMode(Engine::MouseState::PositionMode::Relative);
    m_camera = std::make_unique<Engine::Camera>();
    m_playbackClock->SetPaused(true);

    m_audio = options.audio ? std::move(options.audio) : std::make_shared<AudioPlayer>();
    m_postToUi = std::move(options.postToUi);
    m_audio->SetReports([this](int64_t ticks) { PostToUi([this, ticks] { OnAudioPosition(ticks); }); },
                        [this](int64_t ticks) { PostToUi([this, ticks] { OnAudioDuration(ticks); }); });
}

MainRenderer::~MainRenderer() {
    // Once this returns no report is running or will start, so none can post work naming us.
    m_audio->SetReports({}, {});
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
    FollowAudio();
    const double t = m_playbackClock->GetTotalSeconds();
    const float frame = static_cast<float>(t) * 30.0f;
    const float dt = static_cast<float>(m_frameClock->GetElapsedSeconds());
    report.animationSeconds = t;
    report.animationFrame = frame;
    report.stepSeconds = dt;
    m_frameSeconds = dt;

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

    m_renderCounter = static_cast<uint32_t>(m_frameClock->GetFrameCount());
    m_cameraBuffer.frameCount = static_cast<int32_t>(m_renderCounter);
    m_cameraBuffer.prevView = m_cameraBuffer.view;
    m_cameraBuffer.prevProjection = m_cameraBuffer.projection;
    m_cameraBuffer.screenSize = {m_renderWidth, m_renderHeight, 1.0f / m_renderWidth, 1.0f / m_renderHeight};
    m_cameraBuffer.NearZ = Engine::Camera::kNearPlane;
    m_cameraBuffer.FarZ = Engine::Camera::kFarPlane;
    report.cameraMotionDrove = !forceFreeCamera.load() && m_scene.cameraMotion;
    UpdateCamera(frame, dt);
    m_cameraBuffer.inverseViewProjection = Math::Inverse(m_cameraBuffer.view * m_cameraBuffer.projection);
    report.lightMotionDrove = DriveLightFromMotion(frame);
    UploadFrameConstants();

    m_lastUpdate = report;
}

void MainRenderer::FollowAudio() {
    if (m_playbackClock->IsPaused() || m_audio->GetState() != MediaState::Playing) return;
    const int64_t heard = std::max<int64_t>(m_audio->GetPosition(), 0);
    const int64_t duration = m_audio->GetDuration();
    if (duration > 0 && heard >= duration) {
        // The music is over and stands still until the end-of-media rule pauses it; the dance
        // stops with it rather than running on alone.
        m_playbackClock->SetTotalTicks(static_cast<uint64_t>(heard));
        return;
    }
    m_playbackClock->SetTotalTicks(AudioClockFollower::Follow(
        m_playbackClock->GetTotalTicks(), static_cast<uint64_t>(heard), m_playbackClock->GetElapsedTicks()));
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

bool MainRenderer::DriveLightFromMotion(float frame) {
    if (!m_scene.lightMotion) return false;
    bool wrote = false;
    Settings().Edit([&](FrameSettings& s) { wrote = m_scene.lightMotion->Apply(frame, s); });
    return wrote;
}

void MainRenderer::UploadFrameConstants() {
    if (!m_core) return;
    const CameraBufferSlot slot{m_cameraBuffer.ForShaders()};
    m_cameraUpload.CopyToGpu(std::span(&slot, 1), FrameIndex());
    m_sceneRenderer->UploadSettings(FrameIndex(), m_frameClock->GetTotalSeconds(),
                                    m_cameraBuffer.view * m_cameraBuffer.projection);
}

void MainRenderer::CreateSceneBuffers() {
    if (!m_sceneRenderer) return;
    m_sceneRenderer->CreateSceneBuffers();
    const PixelSize size = m_sceneRenderer->Targets().RenderSize();
    if (size.width == 0) return;
    m_renderWidth = static_cast<float>(size.width);
    m_renderHeight = static_cast<float>(size.height);
}

// ---- render ----

bool MainRenderer::RenderFrame() {
    if (!m_core || !sceneReady.load()) return false;
    FrameInputs inputs;
    inputs.frameIndex = FrameIndex();
    inputs.cameraAddress = m_cameraUpload.GpuVirtualAddress(inputs.frameIndex);
    inputs.frameCounter = m_renderCounter;
    inputs.totalSeconds = m_frameClock->GetTotalSeconds();
    inputs.frameSeconds = m_frameSeconds;
    inputs.camera = m_cameraBuffer;
    inputs.brdfIbl = &m_brdfIblTexture;
    inputs.brdfSkin = &m_brdfSkinTexture;
    inputs.models.reserve(m_scene.modelGpus.size());
    for (const auto& gpu : m_scene.modelGpus) inputs.models.push_back(gpu.get());
    return m_sceneRenderer->RenderFrame(inputs);
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
    // The ray-traced scene points into the models' buffers: it goes before they do.
    if (m_sceneRenderer) m_sceneRenderer->ReleaseRaytracingScene();
    ModelGpuFactory makeGpu;
    TexturePrefetch prefetch;
    // Every model of the load shares one texture cache: each file decoded once, on worker threads.
    std::unique_ptr<SceneTextureCache> textures;
    if (m_core) {
        textures = std::make_unique<SceneTextureCache>();
        prefetch = [&textures](const std::vector<std::filesystem::path>& paths) { textures->Prefetch(paths); };
        makeGpu = [core = m_core, &textures](Vesma::PMXModel& model) {
            auto gpu = std::make_unique<PMXModelGpu>(model);
            // The extended maps found beside the diffuse textures join the queue too.
            textures->Prefetch(gpu->TextureFiles());
            gpu->CreateGpuResources(*core, textures.get());
            return gpu;
        };
    }
    LoadSceneEntries(entries, m_scene, makeGpu, prefetch);
    if (!m_core) return;
    m_scene.loadTimes.texturesDecoded = textures->FilesDecoded();
    m_scene.loadTimes.textureDecodeMs = textures->DecodeMilliseconds();
    m_scene.loadTimes.textureWaitMs = textures->WaitMilliseconds();
    textures.reset();
    // Files and sizes given as settings before the load (tavrin-render's --set) take effect here.
    if (m_sceneRenderer) MatchResourcesToSettings(*this, m_sceneRenderer->Settings().Snapshot());
    const auto sharedStart = std::chrono::steady_clock::now();
    CreateBrdfTextures();
    BuildRaytracingScene();
    m_scene.loadTimes.gpuUploadMs +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sharedStart).count();
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
    if (!m_core || !m_core->IsRaytracingSupported() || !m_sceneRenderer) return;
    m_sceneRenderer->ReleaseRaytracingScene();
    if (m_scene.models.empty()) return;
    std::vector<PMXModelGpu*> models;
    for (const auto& gpu : m_scene.modelGpus) models.push_back(gpu.get());
    m_sceneRenderer->BuildRaytracingScene(models, m_resourceState.probeVolumes);
}

// ---- playback ----

PlaybackState MainRenderer::PlayPause() {
    if (!sceneReady.load()) return PlaybackState::NoScene;
    bool play;
    if (m_audio->GetState() != MediaState::Closed) {
        play = m_audio->GetState() != MediaState::Playing;
        if (play)
            m_audio->Play();
        else
            m_audio->Pause();
    } else {
        play = m_playbackClock->IsPaused();
    }
    m_playbackClock->SetPaused(!play);
    UpdateDisplay([play](PlaybackDisplay& display) { display.symbol = play ? PlaySymbol::Pause : PlaySymbol::Play; });
    return play ? PlaybackState::Playing : PlaybackState::Paused;
}

void MainRenderer::Stop() {
    // Paused first, then rewound: the audio then rests exactly at 0 instead of wherever the
    // device had got to between the two calls.
    if (m_audio->GetState() == MediaState::Playing) m_audio->Pause();
    m_audio->SetPosition(0);
    {
        std::lock_guard<std::mutex> guard(m_engineLock);
        m_playbackClock->ResetClock();
        m_playbackClock->SetPaused(true);
    }
    UpdateDisplay([](PlaybackDisplay& display) { display.symbol = PlaySymbol::Play; });
}

bool MainRenderer::ChooseAudio(const std::filesystem::path& file) {
    const std::u16string name = Utf8ToUtf16(file.filename().string());
    const AudioPlayer::OpenResult result = m_audio->Open(file);
    switch (result) {
    case AudioPlayer::OpenResult::Opened:
        break;
    case AudioPlayer::OpenResult::NoDevice:
        if (!m_noAudioDeviceReported)
            MessageLog::Instance().AppendUtf8("No audio device could be opened (" + m_audio->Error() +
                                              "); playback goes on without sound.");
        m_noAudioDeviceReported = true;
        break;
    case AudioPlayer::OpenResult::CannotPlay:
        MessageLog::Instance().Append(u"The audio file " + name + u" cannot be played (" +
                                      Utf8ToUtf16(m_audio->Error()) + u"); playback goes on without audio.");
        break;
    }
    const bool opened = result == AudioPlayer::OpenResult::Opened;
    {
        // Without an audio device the file still belongs to the scene: a video export needs none.
        std::lock_guard<std::mutex> guard(m_uiLock);
        m_chosenAudio = result == AudioPlayer::OpenResult::CannotPlay ? std::filesystem::path() : file;
    }
    UpdateDisplay([&](PlaybackDisplay& display) {
        display.audioName = opened ? name : std::u16string();
        display.positionText = PlaybackTimeText(0);
        display.durationText = DurationText(opened ? m_audio->GetDuration() : 0);
        display.positionBar = 0.0;
    });
    Stop();
    return opened;
}

void MainRenderer::SeekTo(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0) seconds = 0.0;
    // Past a few centuries the tick count would overflow; no motion or song is that long.
    seconds = std::min(seconds, 1e9);
    int64_t ticks = static_cast<int64_t>(std::llround(seconds * static_cast<double>(StepClock::kTicksPerSecond)));
    if (m_audio->GetState() != MediaState::Closed) {
        const int64_t duration = m_audio->GetDuration();
        if (duration > 0) ticks = std::min(ticks, duration);
        m_audio->SetPosition(ticks);
    }
    std::lock_guard<std::mutex> guard(m_engineLock);
    m_playbackClock->SetTotalTicks(static_cast<uint64_t>(ticks));
    const float frame = static_cast<float>(StepClock::TicksToSeconds(static_cast<uint64_t>(ticks))) * 30.0f;
    // Each model settles in its own physics world, so the models may settle side by side, as
    // their frames are updated.
    m_modelRunner.Run(m_scene.models.size(), [&](std::size_t i) {
        Vesma::PMXModel* model = m_scene.models[i].get();
        if (!model) return;
        if (Vesma::VMDModelAnimation* motion = m_scene.motions[i].get())
            SettleMotionAt(*motion, *model, frame);
        else
            model->ResetPhysics();
    });
    // The models start afresh at the new time, so the update after a seek to 0 must not reset
    // them again and undo the warm-up.
    m_physicsResetRule = Vesma::PhysicsResetRule{};
    // Nor should the picture after the jump carry the frames before it.
    if (m_sceneRenderer) m_sceneRenderer->ResetTemporalHistory();
}

PlaybackDisplay MainRenderer::GetPlaybackDisplay() const {
    std::lock_guard<std::mutex> guard(m_uiLock);
    return m_display;
}

void MainRenderer::SetPlaybackDisplayListener(std::function<void(const PlaybackDisplay&)> listener) {
    std::lock_guard<std::mutex> guard(m_uiLock);
    m_displayListener = std::move(listener);
}

std::filesystem::path MainRenderer::ChosenAudioPath() const {
    std::lock_guard<std::mutex> guard(m_uiLock);
    return m_chosenAudio;
}

void MainRenderer::SetUiPoster(UiPoster poster) {
    std::lock_guard<std::mutex> guard(m_uiLock);
    m_postToUi = std::move(poster);
}

void MainRenderer::PostToUi(std::function<void()> work) {
    UiPoster poster;
    {
        std::lock_guard<std::mutex> guard(m_uiLock);
        poster = m_postToUi;
    }
    if (poster)
        poster(std::move(work));
    else
        work();
}

void MainRenderer::OnAudioPosition(int64_t ticks) {
    const int64_t duration = m_audio->GetDuration();
    UpdateDisplay([&](PlaybackDisplay& display) {
        display.positionText = PlaybackTimeText(ticks);
        display.positionBar = PositionBarValue(ticks, duration);
    });
    // End of the audio: toggled as the button would, which pauses both audio and animation.
    // Only audio that is playing counts: a seek to the very end while paused must not start it.
    if (duration > 0 && ticks >= duration && m_audio->GetState() == MediaState::Playing) PlayPause();
}

void MainRenderer::OnAudioDuration(int64_t ticks) {
    UpdateDisplay([&](PlaybackDisplay& display) { display.durationText = DurationText(ticks); });
}

void MainRenderer::UpdateDisplay(const std::function<void(PlaybackDisplay&)>& change) {
    PlaybackDisplay copy;
    std::function<void(const PlaybackDisplay&)> listener;
    {
        std::lock_guard<std::mutex> guard(m_uiLock);
        change(m_display);
        copy = m_display;
        listener = m_displayListener;
    }
    if (listener) listener(copy);
}

// ---- viewport ----

bool MainRenderer::FrameModels() {
    std::lock_guard<std::mutex> guard(m_engineLock);
    constexpr float kHuge = std::numeric_limits<float>::max();
    Math::vec3 lo{kHuge, kHuge, kHuge}, hi{-kHuge, -kHuge, -kHuge};
    bool any = false;
    for (const auto& model : m_scene.models) {
        if (!model) continue;
        for (const Vesma::ModelVertex& vertex : model->GetOutputVertices()) {
            const Math::vec3 p = vertex.position;
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            any = true;
        }
    }
    if (!any) return false;
    m_camera->FrameBox(lo, hi, m_renderWidth / std::max(m_renderHeight, 1.0f));
    return true;
}

void MainRenderer::Resize(float width, float height) {
    std::lock_guard<std::mutex> guard(m_engineLock);
    SetOutputSize(width, height);
}

void MainRenderer::SetOutputSize(float width, float height) {
    if (m_core) {
        m_core->SetLogicalSize(width, height);
        CreateSceneBuffers();
    } else {
        m_renderWidth = std::max(width, 1.0f);
        m_renderHeight = std::max(height, 1.0f);
    }
}

}  // namespace ProjectTavrin
