#pragma once
// Volumetric light: sunlight scattered by the air towards the camera, ray-marched at half size
// through the drifting noise volume (carried inside the program, loaded on first use) and the
// sun's shadow, blurred in two depth-aware passes and composited over the scene; height fog
// thins the medium above a given height.
#include <string_view>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DepthBuffer.h"
#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/TextureLoader/TextureLoader.h"
#include "renderer/CameraBuffer.h"
#include "renderer/PassLog.h"
#include "renderer/SceneTargets.h"
#include "renderer/VolumetricParams.h"
#include "renderer/passes/ComputePass.h"
#include "shaders/shared/VolumetricConstants.h"

namespace ProjectTavrin {

/// The sun's shadow as the ray march reads it; none until the shadow pass provides it.
struct VolumetricShadowInput {
    uint32_t shadowMap = 0xffffffffu;
    uint64_t shadowData = 0;
};

/// The parameter block for a scene of `scene` pixels, `time` seconds into the pass's run.
Engine::Shared::VolumetricLightingParams VolumetricParamsBlock(const VolumetricParams& params, const CameraBuffer& camera,
                                                               PixelSize scene, float time);

class VolumetricLightPass {
public:
    static constexpr std::string_view kName = "VolumetricLight";

    explicit VolumetricLightPass(Engine::Platform::Device& device);
    void Record(Engine::Platform::CommandList& list, PassLog& log, Engine::ColorBuffer& scene, Engine::DepthBuffer& depth,
                const CameraBuffer& camera, const VolumetricParams& params, double frameSeconds, uint32_t frameIndex,
                const VolumetricShadowInput& shadow = {});
    /// The running sum of frame times the pass has seen.
    float Time() const { return m_time; }
    Engine::ColorBuffer& HalfResolution() { return m_halfRes; }

private:
    void LoadNoise();

    struct alignas(256) ParamsSlot {
        Engine::Shared::VolumetricLightingParams params;
    };

    ComputePass m_rayMarch;
    ComputePass m_blur;
    ComputePass m_composite;
    Engine::StructuredBuffer<ParamsSlot> m_params;
    bool m_paramsWritten = false;
    Engine::ColorBuffer m_halfRes;  // "VolumeLightTextureHalfRes"
    Engine::ColorBuffer m_temp;     // "VolumeLightTempTexture"
    Engine::TextureResource m_noise;  // "NoiseVolume"
    float m_time = 0;
};

}  // namespace ProjectTavrin
