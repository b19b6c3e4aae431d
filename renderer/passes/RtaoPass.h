#pragma once
// Ray-traced ambient occlusion at two thirds of the render size: a ray-tracing pipeline whose
// camera rays find the visible surfaces ("RTAO Depth" by frame parity, "RTAO Velocity") and whose
// occlusion rays write "RTAO_Output"; a temporal pass that accumulates it with the reprojected
// history ("RTAO Temporal" by parity) into "RTAO Result"; and a separable depth-aware blur. Made
// with the ray-traced scene (whose geometry it must not outlive) and resized with the scene
// targets. The model draw reads ResultView() as its occlusion map.
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "renderer/CameraBuffer.h"
#include "renderer/RtaoParams.h"
#include "renderer/passes/CameraRayPipeline.h"
#include "renderer/passes/ComputePass.h"
#include "shaders/shared/RtaoConstants.h"

namespace ProjectTavrin {

class RtaoPass {
public:
    static constexpr std::string_view kTraceName = "AORaytracing";
    static constexpr std::string_view kTemporalName = "AOTemporal";
    static constexpr std::string_view kDenoiseName = "AODenoise";

    /// The side of the occlusion buffers for a render side (two thirds, rounded down).
    static uint32_t SizeFor(uint32_t renderSide) { return uint32_t(float(renderSide) * 0.66666f); }

    RtaoPass(Engine::Platform::Device& device, const Engine::SceneAccelerationStructures& scene);

    /// Recreates the buffers for a render size of `width` x `height`; the history starts empty
    /// (cleared before the next temporal pass reads it).
    void Resize(uint32_t width, uint32_t height);
    uint32_t Width() const { return m_width; }
    /// The next temporal pass starts from an empty history.
    void ResetHistory() { m_historyCleared = false; }
    uint32_t Height() const { return m_height; }

    /// This frame's options and the camera's frame parity (both option slots on the first call).
    void UpdateConstants(const CameraBuffer& camera, const RtaoParams& params, uint32_t frameIndex);
    /// Traces this frame's occlusion; `cameraAddress` is the frame's CameraBuffer slot.
    void Trace(Engine::Platform::CommandList& list, uint64_t cameraAddress, uint32_t frameIndex, bool temporal);
    void TemporalFilter(Engine::Platform::CommandList& list, const RtaoParams& params);
    void Denoise(Engine::Platform::CommandList& list, const RtaoParams& params);

    /// What the model draw reads: "RTAO Result" with the temporal switch on, else "RTAO_Output".
    uint32_t ResultView(bool temporal) const { return (temporal ? m_result : m_output).srvHandle.Gpu(); }
    Engine::ColorBuffer& Output() { return m_output; }
    Engine::ColorBuffer& Result() { return m_result; }
    Engine::ColorBuffer& Depth(uint32_t parity) { return m_depth[parity & 1]; }
    uint32_t Parity() const { return m_parity; }

private:
    /// The denoise target: "RTAO Result" after the temporal pass, else "RTAO_Output".
    Engine::ColorBuffer& DenoiseTarget(bool temporal) { return temporal ? m_result : m_output; }

    struct alignas(256) OptionsSlot {
        Engine::Shared::RtaoOptions options;
    };

    const Engine::SceneAccelerationStructures& m_scene;
    CameraRayPipeline m_trace;
    ComputePass m_temporal, m_denoise;
    Engine::StructuredBuffer<OptionsSlot> m_options;
    bool m_optionsWritten = false;
    bool m_historyCleared = false;

    uint32_t m_width = 0, m_height = 0, m_parity = 0;
    Engine::ColorBuffer m_output, m_velocity, m_result, m_denoiseTemp;
    Engine::ColorBuffer m_depth[2], m_history[2];
};

}  // namespace ProjectTavrin
