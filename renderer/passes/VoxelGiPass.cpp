#include "renderer/passes/VoxelGiPass.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "renderer/passes/ModelPass.h"
#include "shaders/RendererShaderLayouts.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

namespace {

// Root parameters of the voxelisation (VoxelizeDrawConstants).
constexpr uint32_t kParamParameters = 0, kParamMaterial = 1, kParamShadowData = 2, kParamVolume = 3, kParamTexture0 = 4,
                   kParamTexture1 = 5, kParamTexture2 = 6, kParamShadowMap = 7, kParamAlphaClip = 8;

Math::vec3 Normalised(const Math::vec3& v, const Math::vec3& fallback) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f && std::isfinite(length) ? v * (1.0f / length) : fallback;
}

}  // namespace

VoxelGiPass::VoxelGiPass(Device& device) {
    m_voxelizeRoot = device.CreateRootSignature(Engine::ShaderLayouts::Voxelize());
    m_voxelizeRoot->SetName("Voxelization");
    m_convertRoot = device.CreateRootSignature(Engine::ShaderLayouts::VoxelConvert());
    m_convertRoot->SetName("VoxelConvert");
    m_downsampleRoot = device.CreateRootSignature(Engine::ShaderLayouts::VoxelDownsample());
    m_downsampleRoot->SetName("VoxelDownsample");

    // No colour target, no depth, one sample: the pixel stage writes the volume only.
    GraphicsPipelineDesc desc;
    desc.rootSignature = m_voxelizeRoot.get();
    desc.vs.code = Engine::Shaders::Voxelize_vert();
    desc.gs.code = Engine::Shaders::Voxelize_geom();
    desc.ps.code = Engine::Shaders::Voxelize_frag();
    desc.inputLayout = {
        InputElement{0, Format::R32G32B32_FLOAT, 0, 0, false},   // POSITION
        InputElement{2, Format::R32G32B32_FLOAT, 0, 24, false},  // NORMAL
        InputElement{3, Format::R32G32_FLOAT, 0, 36, false},     // TEXCOORD
    };
    desc.inputStrides = {44};
    desc.cullMode = CullMode::None;
    desc.depthEnable = false;
    m_voxelize = device.CreateGraphicsPipelineState(desc);
    m_voxelize->SetName("Voxelization");

    ComputePipelineDesc convert;
    convert.rootSignature = m_convertRoot.get();
    convert.cs.code = Engine::Shaders::VoxelConvert_comp();
    m_convert = device.CreateComputePipelineState(convert);
    m_convert->SetName("VoxelConvert");
    ComputePipelineDesc downsample;
    downsample.rootSignature = m_downsampleRoot.get();
    downsample.cs.code = Engine::Shaders::VoxelDownsample_comp();
    m_downsample = device.CreateComputePipelineState(downsample);
    m_downsample->SetName("VoxelDownsample");

    m_parameters.Create(device, kVoxelLevels, Engine::kFrameCount, u"VoxelizationParameters");
    m_modelConstants.Create(device, 1, Engine::kFrameCount, u"VoxelGiConstants");
}

void VoxelGiPass::CreateVolumes(int32_t resolution) {
    // The conversion and the level refresh work in 8^3 groups over whole and half levels.
    if (resolution <= 0 || resolution % 16 != 0) throw std::invalid_argument("voxel resolution must be a positive multiple of 16");
    if (resolution == m_resolution) return;
    const uint32_t res = uint32_t(resolution);
    m_accumulation.Create(u"IntegerVolume", res, res * kVoxelLevels, res, Format::R32_UINT);
    m_radiance.Create(u"Voxel", res, res * kVoxelLevels, res, Format::R16G16B16A16_FLOAT);
    m_resolution = resolution;
}

uint64_t VoxelGiPass::ConstantsAddress(uint32_t frameIndex) const {
    return m_modelConstants.GpuVirtualAddress(frameIndex % Engine::kFrameCount);
}

void VoxelGiPass::Record(CommandList& list, PassLog& log, const FrameInputs& frame, const FrameSettings& settings,
                         const VoxelShadowInput& shadow) {
    const VoxelGiParams& params = settings.post.voxel;
    CreateVolumes(params.Resolution);
    const Math::vec3 eye = frame.camera.cameraWorldPos.xyz();
    const Math::vec3 look = Normalised(frame.camera.cameraViewDir.xyz(), {0, 0, 1});
    m_clipmap.Place(eye, look, m_resolution, params.RegionSize);

    {
        // The conversion into the radiance volume is timed with the voxelisation it finishes.
        ScopedPass pass(list, log, kName);
        Voxelize(list, frame, settings, shadow);
        Convert(list);
    }
    {
        ScopedPass pass(list, log, kMipName);
        RefreshLevels(list);
    }
    m_radiance.TransitionTo(list, ResourceState::NonPixelShaderResource | ResourceState::PixelShaderResource);

    m_modelConstants[0].constants = m_clipmap.ModelConstants(params);
    m_modelConstants.CopyStagingToGpu(frame.frameIndex % Engine::kFrameCount);
}

void VoxelGiPass::Voxelize(CommandList& list, const FrameInputs& frame, const FrameSettings& settings,
                           const VoxelShadowInput& shadow) {
    const VoxelGiParams& params = settings.post.voxel;
    const RenderConfigBuffer& config = settings.render.config;
    const uint32_t slot = frame.frameIndex % Engine::kFrameCount;
    const int32_t res = m_resolution;

    // Every level's block first, then one upload of this frame's copy.
    for (uint32_t i = 0; i < kVoxelLevels; ++i) {
        const VoxelLevel& level = m_clipmap.Level(i);
        Engine::Shared::VoxelizationParameters& p = m_parameters[i].parameters;
        p = {};
        p._ViewProj0 = Math::Transpose(m_clipmap.ViewProjection(i, 0));
        p._ViewProj1 = Math::Transpose(m_clipmap.ViewProjection(i, 1));
        p._ViewProj2 = Math::Transpose(m_clipmap.ViewProjection(i, 2));
        p._SunDir = Normalised(params.SunDir, {0, 1, 0});
        p._EnableShadow = params.EnableShadow;
        // The sun's colour at its intensity, as the model draw lights with it.
        p._SunColor = params.SunColor * (std::isfinite(config.SunIntensity) ? config.SunIntensity : 0.0f);
        p._Ambient = params.Ambient;
        p._RegionMin = level.regionMin;
        p._RegionMax = level.regionMax;
        p._ClipmapResolution = res;
        p._ClipmapLevel = int32_t(i);
        p._VoxelSize = level.voxelSize;
        p._ViewportSizes = {float(res + 2), float(res + 2)};
        if (i > 0) {
            const VoxelLevel& finer = m_clipmap.Level(i - 1);
            p._PrevRegionMin = finer.regionMin;
            p._PrevRegionMax = finer.regionMax;
            p._DownsampleTransitionRegionSize = float(res) * 0.125f * finer.voxelSize;
        }
    }
    m_parameters.CopyStagingToGpu(slot);

    m_accumulation.TransitionTo(list, ResourceState::UnorderedAccess);
    const uint32_t zero[4] = {};
    list.ClearUnorderedAccessViewUint(*m_accumulation.GetResource(), zero);
    const ResourceBarrier cleared = ResourceBarrier::UAV(m_accumulation.GetResource());
    list.ResourceBarrier(std::span(&cleared, 1));

    // A fresh state: no render target, no depth; the shader-visible heap again.
    DescriptorHeap* heap = Engine::EngineCore::GetInstance()->GetHeap(DescriptorHeapType::CbvSrvUav);
    list.ClearState();
    list.SetDescriptorHeaps(heap);
    list.SetPipelineState(*m_voxelize);
    list.SetGraphicsRootSignature(*m_voxelizeRoot);
    list.SetGraphicsRootDescriptorTable(kParamVolume, m_accumulation.uavHandle.Gpu());
    list.SetGraphicsRootDescriptorTable(kParamShadowMap, shadow.varianceShadowMap);
    list.SetGraphicsRootBufferAddress(kParamShadowData, shadow.shadowData);
    for (uint32_t p : {kParamTexture1, kParamTexture2}) list.SetGraphicsRootDescriptorTable(p, kNoDescriptor);
    const Viewport viewport{0, 0, float(res + 2), float(res + 2), 0, 1};
    const Rect scissor{0, 0, res + 2, res + 2};
    list.RSSetViewports(std::span(&viewport, 1));
    list.RSSetScissorRects(std::span(&scissor, 1));

    m_draws = 0;
    const uint64_t parameterStride = sizeof(ParameterSlot);
    for (uint32_t i = 0; i < kVoxelLevels; ++i) {
        list.SetGraphicsRootBufferAddress(kParamParameters, m_parameters.GpuVirtualAddress(slot) + i * parameterStride);
        for (PMXModelGpu* model : frame.models) {
            if (!model || !model->BindFrameGeometry(list, slot)) continue;
            const std::vector<MaterialBuffer>& materials = model->GetRenderMaterials();
            const std::vector<ModelTexture>& textures = model->GetTextures();
            const uint32_t indexCount = model->GetIndexBuffer().NumElementsPerCopy();
            for (std::size_t m = 0; m < materials.size(); ++m) {
                const MaterialBuffer& material = materials[m];
                const MaterialPass pass = PassForMaterial(material, model->HasSoftAlphaTexture(m));
                if (pass == MaterialPass::None) continue;  // never drawn
                const float clip = pass == MaterialPass::Opaque ? kOpaqueAlphaClip : kTransparentAlphaClip;
                list.SetGraphicsRoot32BitConstants(kParamAlphaClip, 1, &clip, 0);
                list.SetGraphicsRootBufferAddress(kParamMaterial, model->MaterialAddress(m, slot));
                const int32_t t = material.textureIndex;
                const bool textured = t >= 0 && std::size_t(t) < textures.size() && !textures[t].texture.srv.IsNull();
                list.SetGraphicsRootDescriptorTable(kParamTexture0, textured ? textures[t].texture.srv.Gpu() : kNoDescriptor);
                const uint32_t begin = static_cast<uint32_t>(std::max(material.beginIndex, 0));
                uint32_t count = static_cast<uint32_t>(std::max(material.vertexCount, 0));
                if (begin >= indexCount) count = 0;
                else if (count > indexCount - begin) count = indexCount - begin;
                if (count == 0) continue;
                list.DrawIndexedInstanced(count, 1, begin, 0, 0);
                ++m_draws;
            }
        }
    }
}

void VoxelGiPass::Convert(CommandList& list) {
    m_accumulation.TransitionTo(list, ResourceState::NonPixelShaderResource);
    m_radiance.TransitionTo(list, ResourceState::UnorderedAccess);
    list.SetPipelineState(*m_convert);
    list.SetComputeRootSignature(*m_convertRoot);
    const Engine::Shared::VoxelConvertConstants c{m_resolution, m_radiance.uavHandle.Gpu(), m_accumulation.srvHandle.Gpu()};
    list.SetComputeRoot32BitConstants(0, 1, &c.resolution, 0);
    list.SetComputeRootDescriptorTable(1, c.result);
    list.SetComputeRootDescriptorTable(2, c.source);
    const uint32_t groups = uint32_t(m_resolution) / 8;
    list.Dispatch(groups, groups * kVoxelLevels, groups);
}

void VoxelGiPass::RefreshLevels(CommandList& list) {
    list.SetPipelineState(*m_downsample);
    list.SetComputeRootSignature(*m_downsampleRoot);
    list.SetComputeRootDescriptorTable(1, m_radiance.uavHandle.Gpu());
    const uint32_t groups = uint32_t(m_resolution) / 16;
    for (uint32_t h = 1; h < kVoxelLevels; ++h) {
        // Level h reads what the conversion, or the refresh of level h - 1, wrote.
        const ResourceBarrier written = ResourceBarrier::UAV(m_radiance.GetResource());
        list.ResourceBarrier(std::span(&written, 1));
        const std::array<int32_t, 3> offset = m_clipmap.FinerLevelOffset(h);
        const int32_t c[6] = {offset[0], offset[1], offset[2], m_resolution, int32_t(h), int32_t(float(m_resolution) * 0.125f)};
        list.SetComputeRoot32BitConstants(0, 6, c, 0);
        list.Dispatch(groups, groups, groups);
    }
}

}  // namespace ProjectTavrin
