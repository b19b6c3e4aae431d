// The engine object's side of the video export: preparing the renderer, rendering frames at
// exact animation times and reading them back, and restoring the real-time loop afterwards.
#include <span>

#include "Engine/GpuResource/ResourceUploadBatch.h"
#include "core/MessageLog.h"
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
    SetOutputSize(static_cast<float>(width), static_cast<float>(height));
}

void MainRenderer::EndExport() {
    {
        std::lock_guard<std::mutex> guard(m_engineLock);
        if (m_core) m_core->WaitForGpu();
        SetOutputSize(m_export.savedWidth, m_export.savedHeight);
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
    const float frame = static_cast<float>(frameIndex) * dt * 30.0f;
    result.animationFrame = frame;

    const bool reset = m_export.previousNonZero && frame == 0.0f;
    result.physicsReset = reset && !m_scene.models.empty();
    if (sceneReady.load())
        UpdateModels(frame, reset ? Vesma::PhysicsStep::Reset : Vesma::PhysicsStep::Step, dt, true);
    m_export.previousNonZero = frame != 0.0f;

    m_cameraBuffer.frameCount = static_cast<int32_t>(m_frameClock->GetFrameCount());
    m_cameraBuffer.prevView = m_cameraBuffer.view;
    m_cameraBuffer.prevProjection = m_cameraBuffer.projection;
    m_cameraBuffer.screenSize = {m_renderWidth, m_renderHeight, 1.0f / m_renderWidth, 1.0f / m_renderHeight};
    m_cameraBuffer.NearZ = Engine::Camera::kNearPlane;
    m_cameraBuffer.FarZ = Engine::Camera::kFarPlane;
    // A camera motion drives the view at the export's frame, whatever the free-camera switch
    // says; without one the view stays where the real-time loop left it.
    if (sceneReady.load() && m_scene.cameraMotion) {
        CameraMotion& motion = *m_scene.cameraMotion;
        const Engine::CameraOutputs out = Engine::Camera::CameraMotionView(motion.evaluator, frame, dt, m_renderWidth,
                                                                           m_renderHeight, motion.lastEvaluated);
        m_cameraBuffer.view = out.view;
        m_cameraBuffer.projection = out.projection;
        m_cameraBuffer.cameraWorldPos = out.eyePosition;
        m_cameraBuffer.cameraViewDir = out.viewDirection;
        fovRadians.store(out.fovRadians, std::memory_order_relaxed);
        result.cameraMotionDrove = true;
    }
    m_cameraBuffer.inverseViewProjection = Math::Inverse(m_cameraBuffer.view * m_cameraBuffer.projection);
    UploadFrameConstants();

    result.rendered = RenderFrame();
    if (!result.rendered) MessageLog::Instance().Append(kExportRenderFailedMessage);
    if (!m_core) return result;
    m_core->Present();
    if (m_core->IsDeviceLost()) return result;

    Engine::Platform::Resource* image = OfflineOutputImage();
    if (!image) return result;
    Engine::Platform::ResourceState state = Engine::Platform::ResourceState::Present;
    result.pixels = m_export.readback.ReadBack(*image, state);
    // The loop's next frame expects the image where presenting leaves it.
    Engine::ResourceUploadBatch batch(m_core->GetDeviceShared());
    batch.Begin();
    batch.Transition(image, state, Engine::Platform::ResourceState::Present);
    batch.End(*m_core->GetDevice()).wait();

    const Engine::Platform::ResourceDesc& desc = image->Desc();
    result.width = static_cast<uint32_t>(desc.width);
    result.height = desc.height;
    result.rowPitch = m_export.readback.RowPitch();
    result.bgra = desc.format == Engine::Platform::Format::B8G8R8A8_UNORM;
    return result;
}

Engine::Platform::Resource* MainRenderer::OfflineOutputImage() const {
    // Presenting moved on to the next back buffer; the finished frame is the one before it.
    const uint32_t presented = (m_core->GetBackBufferIndex() + Engine::kFrameCount - 1) % Engine::kFrameCount;
    return m_core->GetRenderTarget(presented);
}

}  // namespace ProjectTavrin
