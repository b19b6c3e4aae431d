#pragma once
// Ray-traced specular reflections at two thirds of the render size: a ray-tracing pipeline whose
// camera rays find the visible surfaces ("RTSR Depth" by frame parity, "RTSR Velocity") and whose
// reflection rays, drawn from each surface's GGX lobe, bring back the light of what they hit,
// shaded with the model draw's material model, or the sky's ("RTSR Color"); and an optional
// temporal pass that accumulates it with the reprojected history ("RTSR TemporalColor" and
// "RTSR TemporalWeight" by parity) into "RTSR TemporalResult". Made with the ray-traced scene
// (whose geometry it must not outlive) and resized with the scene targets. The model draw reads
// ResultView() as the light arriving along its reflections.
#include <cstdint>
#include <memory>
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "renderer/CameraBuffer.h"
#include "renderer/ReflectionParams.h"
#include "renderer/RenderSettings.h"
#include "renderer/passes/CameraRayPipeline.h"
#include "renderer/passes/ComputePass.h"
#include "shaders/shared/ReflectionConstants.h"

namespace ProjectTavrin {

/// What the reflections' hit shaders light with beyond the options: bindless views (none:
/// 0xffffffff) and the probe volume's records for this frame (zero and 0 unless probe GI).
struct ReflectionLighting {
    uint32_t brdfIbl = 0xffffffffu;
    uint32_t brdfSkin = 0xffffffffu;
    uint32_t environment = 0xffffffffu;
    uint64_t probeVolumes = 0;
    uint32_t probeVolumeCount = 0;
};

class ReflectionPass {
public:
    static constexpr std::string_view kTraceName = "SRRaytracing";
    static constexpr std::string_view kTemporalName = "SRTemporal";

    /// The side of the reflection buffers for a render side (two thirds, rounded down).
    static uint32_t SizeFor(uint32_t renderSide) { return uint32_t(float(renderSide) * 0.666666f); }

    ReflectionPass(Engine::Platform::Device& device, const Engine::SceneAccelerationStructures& scene);

    /// Recreates the buffers for a render size of `width` x `height`; the history starts empty
    /// (cleared before the next temporal pass reads it).
    void Resize(uint32_t width, uint32_t height);
    uint32_t Width() const { return m_width; }
    /// The next temporal pass starts from an empty history.
    void ResetHistory() { m_historyCleared = false; }
    uint32_t Height() const { return m_height; }

    /// This frame's options from the render configuration and the reflection settings, and the
    /// camera's frame parity (both option slots on the first call).
    void UpdateConstants(const CameraBuffer& camera, const RenderConfigBuffer& config, const ReflectionParams& params,
                         uint32_t frameIndex);
    /// Traces this frame's reflections; `cameraAddress` is the frame's CameraBuffer slot.
    void Trace(Engine::Platform::CommandList& list, uint64_t cameraAddress, uint32_t frameIndex, const ReflectionLighting& lighting);
    void TemporalFilter(Engine::Platform::CommandList& list, const ReflectionParams& params);

    /// What the model draw reads: "RTSR TemporalResult" with the temporal switch on, else "RTSR Color".
    uint32_t ResultView(bool temporal) const { return (temporal ? m_result : m_color).srvHandle.Gpu(); }
    Engine::ColorBuffer& Color() { return m_color; }
    Engine::ColorBuffer& Result() { return m_result; }
    const Engine::Shared::ReflectionOptions& Options() const { return m_options[0].options; }

private:
    struct alignas(256) OptionsSlot {
        Engine::Shared::ReflectionOptions options;
    };

    const Engine::SceneAccelerationStructures& m_scene;
    CameraRayPipeline m_trace;
    ComputePass m_temporal;
    Engine::StructuredBuffer<OptionsSlot> m_options;
    bool m_optionsWritten = false;
    bool m_historyCleared = false;

    uint32_t m_width = 0, m_height = 0, m_parity = 0;
    Engine::ColorBuffer m_color, m_velocity, m_result;
    Engine::ColorBuffer m_depth[2], m_historyColor[2], m_historyWeight[2];
};

}  // namespace ProjectTavrin
