#pragma once
// The engine object: one per process (GetInstance), holding the scene, the two clocks (frame
// pacing and animation time), the free camera and the input devices, the per-frame camera block
// and the engine lock. A background work item, the render loop, repeats under the engine lock:
// tick the frame clock, whose update step (UpdateScene) advances the playback clock, runs every
// model's frame, drives the camera and uploads the frame's data; then RenderFrame and Present.
//
// Playback: the playback clock is the animation time. With an audio file chosen, play, pause,
// stop and seek act on the audio and the clock together, and while the audio plays the animation
// time follows the audio position (AudioClockFollower); without one, the clock runs alone. The
// audio player's position and duration reports are posted to the UI thread, where they update
// the playback display and apply the end-of-media rule (PlayPause once the position reaches the
// duration).
//
// Scene work (loading, and any change that must not overlap a frame) runs on a second work item
// through RunSceneTask, one task at a time, also under the engine lock.
//
// Threads: the UI thread calls the public operations and flips the atomic fields (playback pause,
// forceFreeCamera, physicsResetRequest, the camera's input mode) without the lock; the loop and
// the scene task take the lock for all their work. Nothing else is taken under the engine lock
// but the message log's lock, the input devices' own and the audio player's (the update reads
// the audio position); the playback operations finish with the audio before they take the
// engine lock, so the order is always engine lock, then audio.
//
// Without a device (a null EngineCore) the object still loads scenes and updates them (tests,
// tools); only uploads, rendering and presentation are left out. The render side of the frame is
// the renderer's SceneRenderer: RenderFrame hands it the frame's inputs.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/GpuResource/ReadbackBuffer.h"
#include "Engine/TextureLoader/TextureLoader.h"
#include "core/WorkItem.h"
#include "model/ModelFrame.h"
#include "renderer/CameraBuffer.h"
#include "renderer/SceneRenderer.h"
#include "scene/AudioPlayer.h"
#include "scene/Camera.h"
#include "scene/Keyboard.h"
#include "scene/ModelConfig.h"
#include "scene/ModelUpdateRunner.h"
#include "scene/Mouse.h"
#include "scene/PlaybackDisplay.h"
#include "scene/OfflineFrame.h"
#include "scene/RenderResourceState.h"
#include "scene/Scene.h"
#include "scene/StepClock.h"

namespace ProjectTavrin {

/// What PlayPause did. NoScene: nothing changed; the UI shows the notice below.
enum class PlaybackState { NoScene, Playing, Paused };

/// The notice for playing before any scene is loaded: title, text and the closing button.
inline constexpr std::u16string_view kNoSceneNoticeTitle = u"提示";
inline constexpr std::u16string_view kNoSceneNoticeText = u"你还没加载任何模型呢";
inline constexpr std::u16string_view kNoSceneNoticeButton = u"知道了";

/// Logged when a scene task is asked for while another one runs (the request is dropped).
inline constexpr std::u16string_view kSceneStillLoadingMessage = u"A scene is still loading; the request was ignored.";

/// Hands a piece of work to the UI thread (which runs it later, in order).
using UiPoster = std::function<void(std::function<void()>)>;

/// Logged for an export frame that could not be rendered (no scene, no scene targets); the frame
/// has no image and the export counts it as one it could not write.
inline constexpr std::u16string_view kExportRenderFailedMessage = u"编码出现问题，请联系开发者。";

/// What the last UpdateScene did, for tools, tests and the benchmark.
struct UpdateReport {
    bool ran = false;              ///< false: no scene was ready, only the frame clock was reset
    double animationSeconds = 0;   ///< playback time of the update
    float animationFrame = 0;      ///< frame the motions were evaluated at (30 per second)
    float stepSeconds = 0;         ///< frame-clock step the physics and the free camera took
    bool physicsReset = false;     ///< the models' physics were reset instead of stepped
    bool cameraMotionDrove = false;
    bool lightMotionDrove = false;  ///< the scene's light motion wrote the sun settings
    double modelSeconds = 0;       ///< wall time of the models' frame jobs and their uploads
    double uploadSeconds = 0;      ///< of which the models' GPU uploads
};

class MainRenderer {
public:
    struct Options {
        /// The device; null runs without one (no uploads, no frames).
        std::shared_ptr<Engine::EngineCore> core;
        /// The counter both clocks read; empty: std::chrono::steady_clock.
        StepClock::Counter counter;
        int64_t counterFrequency = 0;
        /// Render size used without a device (with one, the output size).
        float renderWidth = 1280.0f;
        float renderHeight = 720.0f;
        /// The audio player; null: one on SDL's default device.
        std::shared_ptr<AudioPlayer> audio;
        /// How the audio reports reach the UI thread; empty: they run on the report thread
        /// (SetUiPoster can set it later).
        UiPoster postToUi;
    };

    /// The process-wide instance, made on the first call (on the shared EngineCore) and kept
    /// until the process ends.
    static MainRenderer& GetInstance();

    explicit MainRenderer(Options options);
    /// Stops the render loop and waits for a running scene task and the GPU.
    ~MainRenderer();
    MainRenderer(const MainRenderer&) = delete;
    MainRenderer& operator=(const MainRenderer&) = delete;

    // ---- render loop ----
    /// Starts the loop unless it runs already.
    void StartRenderLoop();
    /// Asks the loop to stop after its current iteration and waits until it has.
    void StopRenderLoop();
    bool IsRenderLoopRunning() const;
    /// The loop's work item status (Started while it runs; Error when an iteration threw).
    WorkStatus RenderLoopStatus() const;
    /// One iteration of the loop: under the engine lock, tick the frame clock (UpdateScene), then
    /// RenderFrame and Present.
    void RunLoopIteration();
    /// The update step; called by the frame clock's tick, under the engine lock.
    void UpdateScene();
    /// Records the frame; false when there is nothing to present (no scene yet, or no device).
    bool RenderFrame();

    // ---- scene ----
    /// Loads `entries` as the new scene on the scene work item. Returns false when another scene
    /// task is still running (the request is dropped and the log says so).
    bool LoadScene(std::vector<SceneEntry> entries);
    /// Runs `task` on the scene work item: scene marked not ready, engine lock taken, GPU idle,
    /// task, scene ready. Returns false (dropping the task, with a message in the log) while the
    /// previous task still runs.
    bool RunSceneTask(std::function<void()> task);
    /// Waits for the last scene task; returns its status (Completed when there was none).
    WorkStatus WaitForSceneTask();
    /// The error message of the last scene task, empty when it did not fail.
    std::string SceneTaskError() const;
    /// What the resource-changing scene tasks (RenderResourceTasks) last applied; under the
    /// engine lock. A scene load brings it in line with the settings' files and sizes.
    RenderResourceState& GetResourceState() { return m_resourceState; }
    /// Rebuilds the ray-traced objects for the current models (nothing on a device without ray
    /// tracing or with no models). The ray-traced passes are not part of the engine yet.
    void BuildRaytracingScene();

    // ---- playback ----
    /// Toggles the audio (when one is chosen) and the animation together between playing and
    /// paused; NoScene (and no change) when no scene is loaded.
    PlaybackState PlayPause();
    /// Rewinds the audio and the animation to zero and pauses both (the clock under
    /// the engine lock). The next update sees the time fall to zero and resets every model's
    /// physics once.
    void Stop();
    /// Makes `file` the audio (the caller has let the user choose it), shows its name, then
    /// Stop. A file that cannot be played, or no audio device, leaves the scene without audio
    /// and says so in the log (the device only once); returns whether the audio will play.
    bool ChooseAudio(const std::filesystem::path& file);
    /// The file the last ChooseAudio made the scene's audio (kept without an audio device, since
    /// the video export needs none); empty when none was chosen or it could not be played.
    std::filesystem::path ChosenAudioPath() const;
    /// Moves the audio and the animation to `seconds` (negative or not finite: 0; with audio, at
    /// most its duration), playing or paused. Under the engine lock every model's physics is
    /// reset and warmed up at the new time, as a scene load does at time zero.
    void SeekTo(double seconds);

    /// The time display as the UI thread last left it.
    PlaybackDisplay GetPlaybackDisplay() const;
    /// Told (on the UI thread) after each change of the time display.
    void SetPlaybackDisplayListener(std::function<void(const PlaybackDisplay&)> listener);
    void SetUiPoster(UiPoster poster);
    AudioPlayer& GetAudioPlayer() { return *m_audio; }

    // ---- viewport ----
    /// Under the engine lock: new output size (size-dependent resources rebuilt only on change).
    void Resize(float width, float height);
    /// Re-makes the scene targets for the output size and the export fields of the settings
    /// (the video export calls it after setting or clearing them) and takes the render size from
    /// them. The caller holds the engine lock.
    void CreateSceneBuffers();

    // ---- offline frames (video export, scene/MainRendererExport.cpp) ----
    /// Prepares an export of width x height: playback rewound and paused, the render loop
    /// stopped, the GPU idle and the scene targets at the export size (through the settings'
    /// export fields; below 512 a side, by moving the output to it). EndExport undoes it.
    void BeginExport(uint32_t width, uint32_t height);
    /// Frame `frameIndex` of an export at `fps`, under the engine lock: the models that have a
    /// motion at animation frame frameIndex / fps x 30 (models without one stay as they are),
    /// physics stepped by 1 / fps or reset when the export comes back to frame 0, the camera
    /// motion (if any) at that frame, RenderFrame, Present, and the renderer's final 8-bit image
    /// ("SceneColor8BitBuffer", RGBA) read back.
    OfflineFrame RenderOfflineFrame(uint32_t fps, uint32_t frameIndex);
    /// Restores the export fields and the output size (and with them the scene targets), resets
    /// the frame clock and restarts the render loop if
    /// BeginExport stopped it.
    void EndExport();

    /// Moves the free camera to look at the loaded models' bounding box (their posed vertices)
    /// from the front so that it fills Camera::kFrameFill of the picture's height at the render
    /// size's aspect. False, with nothing moved, when no model has a vertex. Takes the engine
    /// lock; forceFreeCamera is left to the caller.
    bool FrameModels();

    /// The engine lock, for work that must not overlap a frame (export, tests).
    std::unique_lock<std::mutex> LockEngine() { return std::unique_lock<std::mutex>(m_engineLock); }

    // ---- state (read under the engine lock unless atomic) ----
    StepClock& GetFrameClock() { return *m_frameClock; }
    StepClock& GetPlaybackClock() { return *m_playbackClock; }
    Engine::Camera& GetCamera() { return *m_camera; }
    Engine::Keyboard& GetKeyboard() { return *m_keyboard; }
    Engine::Mouse& GetMouse() { return *m_mouse; }
    Scene& GetScene() { return m_scene; }
    const CameraBuffer& GetCameraBuffer() const { return m_cameraBuffer; }
    const UpdateReport& GetLastUpdate() const { return m_lastUpdate; }
    const Engine::TextureResource& GetBrdfIblTexture() const { return m_brdfIblTexture; }
    const Engine::TextureResource& GetBrdfSkinTexture() const { return m_brdfSkinTexture; }
    Engine::StructuredBuffer<CameraBufferSlot>& GetCameraUploadBuffer() { return m_cameraUpload; }
    ModelUpdateRunner& GetModelUpdateRunner() { return m_modelRunner; }
    /// The render side (null without a device): settings, scene targets, passes, pass log.
    SceneRenderer* GetSceneRenderer() { return m_sceneRenderer.get(); }
    /// The render settings: the render side's, or without a device a copy of the engine's own, so
    /// that what the scene writes into them (the light motion) is there to read.
    SettingsExchange& Settings() { return m_sceneRenderer ? m_sceneRenderer->Settings() : m_settingsWithoutDevice; }
    float GetRenderWidth() const { return m_renderWidth; }
    float GetRenderHeight() const { return m_renderHeight; }
    bool IsSceneReady() const { return sceneReady.load(); }
    /// Vertical field of view of the last update, radians (the UI shows it).
    float GetFovRadians() const { return fovRadians.load(std::memory_order_relaxed); }
    /// The step the last camera update stood for, seconds.
    float GetStepSeconds() const { return m_stepSeconds; }

    std::atomic<bool> forceFreeCamera{false};
    std::atomic<bool> physicsResetRequest{false};
    std::atomic<bool> sceneReady{false};
    std::atomic<float> fovRadians{0.0f};

private:
    void SceneLoadTask(const std::vector<SceneEntry>& entries);
    void CreateBrdfTextures();
    /// Runs every model's frame job and GPU upload; returns the seconds spent uploading. An
    /// export leaves the models without a motion alone.
    double UpdateModels(float frame, Vesma::PhysicsStep physics, float dt, bool onlyModelsWithMotion = false);
    void SetOutputSize(float width, float height);
    void UpdateCamera(float frame, float dt);
    /// Writes the scene's light motion at `frame` into the settings (under their switch); true
    /// when it wrote anything.
    bool DriveLightFromMotion(float frame);
    void UploadFrameConstants();
    /// While the audio plays, moves the animation time onto the audio position.
    void FollowAudio();
    void PostToUi(std::function<void()> work);
    void OnAudioPosition(int64_t ticks);
    void OnAudioDuration(int64_t ticks);
    /// Changes the display under its lock, then tells the listener.
    void UpdateDisplay(const std::function<void(PlaybackDisplay&)>& change);
    uint32_t FrameIndex() const { return m_core ? m_core->GetBackBufferIndex() : 0; }

    std::unique_ptr<StepClock> m_frameClock;
    std::unique_ptr<StepClock> m_playbackClock;
    std::unique_ptr<Engine::Camera> m_camera;
    Scene m_scene;
    SettingsExchange m_settingsWithoutDevice;
    std::shared_ptr<Engine::EngineCore> m_core;
    Engine::StructuredBuffer<CameraBufferSlot> m_cameraUpload;
    CameraBuffer m_cameraBuffer;
    std::mutex m_engineLock;
    std::unique_ptr<Engine::Keyboard> m_keyboard;
    std::unique_ptr<Engine::Mouse> m_mouse;
    Engine::TextureResource m_brdfIblTexture;
    Engine::TextureResource m_brdfSkinTexture;
    ModelUpdateRunner m_modelRunner;
    std::unique_ptr<SceneRenderer> m_sceneRenderer;
    float m_renderWidth;
    float m_renderHeight;
    float m_stepSeconds = 0.0f;
    /// The frame clock's step of the frame being rendered (the export's own step while it runs).
    double m_frameSeconds = 1.0 / 30.0;
    /// The frame counter the frame being rendered goes by (jitter, temporal history): the frame
    /// clock's count in the loop, the frame's number in an export.
    uint32_t m_renderCounter = 0;
    Vesma::PhysicsResetRule m_physicsResetRule;
    UpdateReport m_lastUpdate;
    RenderResourceState m_resourceState;

    std::shared_ptr<AudioPlayer> m_audio;
    mutable std::mutex m_uiLock;  // the poster, the display and its listener, the chosen audio
    UiPoster m_postToUi;
    PlaybackDisplay m_display;
    std::function<void(const PlaybackDisplay&)> m_displayListener;
    bool m_noAudioDeviceReported = false;
    std::filesystem::path m_chosenAudio;  // under m_uiLock

    mutable std::mutex m_workLock;  // guards the two work-item handles
    std::unique_ptr<WorkItem> m_renderLoop;
    std::unique_ptr<WorkItem> m_sceneTask;

    struct ExportState {
        float savedWidth = 0.0f;
        float savedHeight = 0.0f;
        float savedOutputWidth = 0.0f;
        float savedOutputHeight = 0.0f;
        uint32_t savedExportWidth = 0;
        uint32_t savedExportHeight = 0;
        /// The export was too small for the render-size rule and moved the output instead.
        bool outputChanged = false;
        bool loopWasRunning = false;
        /// The previous export frame's animation frame was not 0. Kept from one export to the
        /// next, apart from the real-time loop's own rule.
        bool previousNonZero = false;
        Engine::ReadbackBuffer readback;
    } m_export;
};

}  // namespace ProjectTavrin
