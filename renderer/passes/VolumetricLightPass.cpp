#include "renderer/passes/VolumetricLightPass.h"

#include <algorithm>
#include <stdexcept>

#include "CompiledShaders.h"
#include "Engine/EngineCore.h"
#include "assets/NoiseVolume.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {
constexpr float kSkyDistance = 3000.0f;
constexpr float kPi = 3.14159265358979f;
constexpr auto kHalfFormat = Format::R16G16B16A16_FLOAT;
constexpr std::string_view kRayMarchLabel = "VolumetricLightingPass";
}  // namespace

Engine::Shared::VolumetricLightingParams VolumetricParamsBlock(const VolumetricParams& params, const CameraBuffer& camera,
                                                               PixelSize scene, float time) {
    Engine::Shared::VolumetricLightingParams p{};
    // The shaders read matrices transposed (column-major).
    p._InvWorldViewProj = Math::Transpose(Math::Inverse(camera.view * camera.projection));
    p._Time = time;
    p._WorldSpaceCameraPos = camera.cameraWorldPos.xyz();
    p._LightColor = {params.LightColor, 1.0f};
    p._MaxRayLength = params.MaxRayLength;
    p._LightDir = Math::Normalize(params.LightDir);
    const float w = float(scene.width / 2), h = float(scene.height / 2);
    p._TexelSize = {w, h, w > 0 ? 1.0f / w : 0.0f, h > 0 ? 1.0f / h : 0.0f};
    p._VolumetricLight = {params.Scattering, params.Extinction, kSkyDistance, 1.0f - params.SkyboxExtinction};
    const float g = params.MieG;
    p._MieG = {1.0f - g * g, 1.0f + g * g, 2.0f * g, 1.0f / (4.0f * kPi)};
    p._NoiseData = {params.NoiseScale, params.NoiseIntensity, params.NoiseIntensityOffset, 1.0f};
    p._NoiseVelocity = {params.NoiseVelocityX * params.NoiseScale, params.NoiseVelocityZ * params.NoiseScale, 1.0f, 1.0f};
    p._HeightFog = {params.HeightFog[0], params.HeightFog[1], 0.0f, 0.0f};
    p._ApplyHeightFog = params.ApplyHeightFog ? 1 : 0;
    p._SampleCount = params.SampleCount;
    p._UseNoise = params.UseNoise ? 1 : 0;
    p._UseShadow = params.UseShadow ? 1 : 0;
    return p;
}

VolumetricLightPass::VolumetricLightPass(Device& device)
    : m_rayMarch(device, Engine::Shaders::VolumetricRayMarch_comp(), Engine::ShaderLayouts::VolumetricRayMarch(),
                 "VolumetricRayMarch"),
      m_blur(device, Engine::Shaders::VolumetricBlur_comp(), Engine::ShaderLayouts::VolumetricBlur(), "VolumetricBlur"),
      m_composite(device, Engine::Shaders::VolumetricComposite_comp(), Engine::ShaderLayouts::VolumetricComposite(),
                  "VolumetricComposite") {
    m_params.Create(device, 1, Engine::kFrameCount, u"VolumetricLightingParams");
}

void VolumetricLightPass::LoadNoise() {
    Engine::EngineCore& core = *Engine::EngineCore::GetInstance();
    Engine::ResourceUploadBatch batch(core.GetDeviceShared());
    batch.Begin();
    const bool loaded = Engine::LoadTextureFromMemory(m_noise, u"NoiseVolume", Assets::NoiseVolumeDds(),
                                                      Engine::TextureFileType::Dds, batch);
    batch.End(*core.GetDevice()).wait();
    if (!loaded || m_noise.description.dimension != ResourceDimension::Texture3D)
        throw std::runtime_error("unknown resource dimension");
}

void VolumetricLightPass::Record(CommandList& list, PassLog& log, Engine::ColorBuffer& scene, Engine::DepthBuffer& depth,
                                 const CameraBuffer& camera, const VolumetricParams& params, double frameSeconds,
                                 uint32_t frameIndex, const VolumetricShadowInput& shadow) {
    const uint32_t W = scene.Width(), H = scene.Height();
    const uint32_t halfW = std::max(W / 2, 1u), halfH = std::max(H / 2, 1u);
    if (m_halfRes.Width() != halfW || m_halfRes.Height() != halfH) {
        m_halfRes.Create(u"VolumeLightTextureHalfRes", halfW, halfH, kHalfFormat);
        m_temp.Create(u"VolumeLightTempTexture", halfW, halfH, kHalfFormat);
    }
    if (m_noise.srv.IsNull()) LoadNoise();

    m_time += float(frameSeconds);
    const uint32_t slot = frameIndex % Engine::kFrameCount;
    m_params[0].params = VolumetricParamsBlock(params, camera, {W, H}, m_time);
    for (uint32_t f = 0; f < Engine::kFrameCount; ++f)
        if (!m_paramsWritten || f == slot) m_params.CopyStagingToGpu(f);
    m_paramsWritten = true;

    {
        ScopedPass pass(list, log, kRayMarchLabel);
        depth.TransitionTo(list, ResourceState::NonPixelShaderResource);
        m_halfRes.TransitionTo(list, ResourceState::UnorderedAccess);
        Engine::Shared::VolumetricRayMarchConstants c{};
        c.params = m_params.GpuVirtualAddress(slot);
        c.shadowData = shadow.shadowData;
        c.dest = m_halfRes.uavHandle.Gpu();
        c.depth = depth.srvHandle.Gpu();
        c.noise = m_noise.srv.Gpu();
        c.shadowMap = shadow.shadowMap;
        m_rayMarch.BindPipeline(list);
        list.SetComputeRootBufferAddress(0, c.params.Value());
        list.SetComputeRootBufferAddress(1, c.shadowData.Value());
        list.SetComputeRootDescriptorTable(2, c.dest);
        list.SetComputeRootDescriptorTable(3, c.depth);
        list.SetComputeRootDescriptorTable(4, c.noise);
        list.SetComputeRootDescriptorTable(5, c.shadowMap);
        list.Dispatch(GroupCount(halfW, 8), GroupCount(halfH, 8), 1);
    }

    Engine::Shared::VolumetricBlurConstants blur{};
    blur.texelSize = {float(halfW), float(halfH), 0.5f / float(W), 0.5f / float(H)};
    blur.depth = depth.srvHandle.Gpu();
    auto blurPass = [&](Engine::ColorBuffer& from, Engine::ColorBuffer& to, uint32_t x, uint32_t y) {
        from.TransitionTo(list, ResourceState::NonPixelShaderResource);
        to.TransitionTo(list, ResourceState::UnorderedAccess);
        blur.orientationX = x;
        blur.orientationY = y;
        blur.source = from.srvHandle.Gpu();
        blur.dest = to.uavHandle.Gpu();
        m_blur.Bind(list, blur);
        list.Dispatch((halfW + 7) / 8, (halfH + 7) / 8, 1);
    };
    blurPass(m_halfRes, m_temp, 1, 0);
    blurPass(m_temp, m_halfRes, 0, 1);

    m_halfRes.TransitionTo(list, ResourceState::NonPixelShaderResource);
    scene.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::VolumetricCompositeConstants composite{};
    composite.texelSize = {float(W), float(H), 1.0f / float(W), 1.0f / float(H)};
    composite.scene = scene.uavHandle.Gpu();
    composite.fog = m_halfRes.srvHandle.Gpu();
    composite.depth = depth.srvHandle.Gpu();
    m_composite.Bind(list, composite);
    list.Dispatch(GroupCount(W, 16), GroupCount(H, 16), 1);
}

}  // namespace ProjectTavrin
