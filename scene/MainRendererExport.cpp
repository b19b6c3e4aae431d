// The engine object's side of the video export: preparing the renderer, rendering frames at
// exact animation times and reading them back, and restoring the real-time loop afterwards.
#include <span>

#include "Engine/GpuResource/ColorBuffer.h"
#include "core/MessageLog.h"
#include "renderer/SceneTargets.h"
#include "scene/MainRenderer.h"

namespace ProjectTavrin {

void MainRenderer::BeginExport(uint32_t width, uint32_t height) {
    Stop();
    // The loop takes the engine lock for each iteration: stop it before taking the lock here.
    m_export.loopWasRunning = IsRenderLoopRunning();
    StopRenderLoop();
    std::lock_guard<std::mutex> guard(m_engineLock);
    if (m_core) m_core->WaitForGpu();
    m_export.savedWidth = m_renderWidth;
    m_export.savedHeight = m_renderHeight;
    m_export.outputChanged = false;
    if (!m_sceneRenderer) {
        SetOutputSize(static_cast<float>(width), static_cast<float>(height));
        return;
    }
    // The export's first frame starts from an empty history, not from the loop's last frames.
    m_sceneRenderer->ResetTemporalHistory();
    m_export.savedOutputWidth = m_core->GetOutputWidth();
    m_export.savedOutputHeight = m_core->GetOutputHeight();
    m_sceneRenderer->Settings().Edit([&](FrameSettings& s) {
        m_export.savedExportWidth = s.render.ExportWidth;
        m_export.savedExportHeight = s.render.ExportHeight;
        s.render.ExportWidth = width;
        s.render.ExportHeight = height;
    });
    // Large exports render at the export size behind the window's own output; smaller ones fall
    // under the render-size rule's threshold, so the output itself takes the export size.
    if (width >= kMinExportSize && height >= kMinExportSize) {
        CreateSceneBuffers();
    } else {
        m_export.outputChanged = true;
        SetOutputSize(static_cast<float>(width), static_cast<float>(height));
    }
}

void MainRenderer::EndExport() {
    {
        std::lock_guard<std::mutex> guard(m_engineLock);
        if (m_core) m_core->WaitForGpu();
        if (!m_sceneRenderer) {
            SetOutputSize(m_export.savedWidth, m_export.savedHeight);
        } else {
            m_sceneRenderer->Settings().Edit([&](FrameSettings& s) {
                s.render.ExportWidth = m_export.savedExportWidth;
                s.render.ExportHeight = m_export.savedExportHeight;
            });
            if (m_export.outputChanged)
                SetOutputSize(m_export.savedOutputWidth, m_export.savedOutputHeight);
            else
                CreateSceneBuffers();
        }
        m_export.outputChanged = false;
        // The export's time is not the loop's: the next real-time step starts from now, and the
        // totals start again from zero.
        m_frameClock->ResetClock();
    }
    if (m_export.loopWasRunning) StartRenderLoop();
    m_export.loopWasRunning = false;
}

OfflineFrame MainRenderer::RenderOfflineFrame(uint32_t fps, uint32_t frameIndex) {
    std::lock_guard<std::mutex> guard(m_engineLock);
    OfflineFrame result;
    if (fps == 0) return result;
    const float dt = 1.0f / static_cast<float>(fps);
    m_frameSeconds = dt;
    const float frame = static_cast<float>(frameIndex) * dt * 30.0f;
    result.animationFrame = frame;

    const bool reset = m_export.previousNonZero && frame == 0.0f;
    result.physicsReset = reset && !m_scene.models.empty();
    if (sceneReady.load())
        UpdateModels(frame, reset ? Vesma::PhysicsStep::Reset : Vesma::PhysicsStep::Step, dt, true);
    m_export.previousNonZero = frame != 0.0f;

    // The export's frames count on from its first one, so the jitter and the temporal history
    // move on from frame to frame as they do in the loop (the frame clock stands still here).
    m_renderCounter = frameIndex;
    m_cameraBuffer.frameCount = static_cast<int32_t>(m_renderCounter);
    m_cameraBuffer.prevView = m_cameraBuffer.view;
    m_cameraBuffer.prevProjection = m_cameraBuffer.projection;
    m_cameraBuffer.screenSize = {m_renderWidth, m_renderHeight, 1.0f / m_renderWidth, 1.0f / m_renderHeight};
    m_cameraBuffer.NearZ = Engine::Camera::kNearPlane;
    m_cameraBuffer.FarZ = Engine::Camera::kFarPlane;
    // A camera motion drives the view at the export's frame, whatever the free-camera switch
    // says; without one the free camera stays where the real-time loop left it (also when the
    // loop never ran), seen with the export's aspect.
    Engine::CameraOutputs out;
    if (sceneReady.load() && m_scene.cameraMotion) {
        CameraMotion& motion = *m_scene.cameraMotion;
        out = Engine::Camera::CameraMotionView(motion.evaluator, frame, dt, m_renderWidth, m_renderHeight,
                                               motion.lastEvaluated);
        result.cameraMotionDrove = true;
    } else {
        out = m_camera->FreeCameraView(dt, m_renderWidth, m_renderHeight);
    }
    m_cameraBuffer.view = out.view;
    m_cameraBuffer.projection = out.projection;
    m_cameraBuffer.cameraWorldPos = out.eyePosition;
    m_cameraBuffer.cameraViewDir = out.viewDirection;
    fovRadians.store(out.fovRadians, std::memory_order_relaxed);
    m_cameraBuffer.inverseViewProjection = Math::Inverse(m_cameraBuffer.view * m_cameraBuffer.projection);
    if (sceneReady.load()) result.lightMotionDrove = DriveLightFromMotion(frame);
    UploadFrameConstants();

    result.rendered = RenderFrame();
    if (!result.rendered) MessageLog::Instance().Append(kExportRenderFailedMessage);
    if (!m_core) return result;
    m_core->Present();
    if (m_core->IsDeviceLost()) return result;

    // The renderer's final 8-bit image at the render size, before any resample to the output.
    Engine::ColorBuffer& image = m_sceneRenderer->Targets().color8Bit;
    if (!result.rendered || image.Width() == 0) return result;
    m_core->WaitForGpu();
    result.pixels = m_export.readback.ReadBack(image);
    result.width = image.Width();
    result.height = image.Height();
    result.rowPitch = m_export.readback.RowPitch();
    result.bgra = false;
    return result;
}

}  // namespace ProjectTavrin
