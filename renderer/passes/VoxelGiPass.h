#pragma once
// Voxel cone tracing's volumes: every frame the models are voxelised into a six-level clipmap
// ("IntegerVolume": running means of the sun-lit surface per voxel, the levels stacked along y),
// converted into the radiance volume ("Voxel", rgba16f: radiance and coverage), and each coarser
// level is refreshed from the finer one where they overlap. The model draw gets the radiance
// volume and the clipmap's placement (VoxelGiConstants).
#include <cstdint>
#include <memory>
#include <string_view>

#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/GpuResource/VolumeBuffer.h"
#include "Engine/Platform/Device.h"
#include "renderer/FrameInputs.h"
#include "renderer/PassLog.h"
#include "renderer/SettingsExchange.h"
#include "renderer/VoxelClipmap.h"

namespace ProjectTavrin {

/// The sun's shadow map as the voxelisation reads it (none until a shadow pass provides it).
struct VoxelShadowInput {
    uint32_t varianceShadowMap = 0xffffffffu;
    uint64_t shadowData = 0;
};

class VoxelGiPass {
public:
    static constexpr std::string_view kName = "Voxelization";
    static constexpr std::string_view kMipName = "VCTMIP";

    explicit VoxelGiPass(Engine::Platform::Device& device);

    /// (Re)creates both volumes for `resolution` voxels a side when they have another size.
    /// Throws std::invalid_argument for a resolution that is not a positive multiple of 16.
    void CreateVolumes(int32_t resolution);
    /// The resolution the volumes were made for (0: none yet).
    int32_t VolumeResolution() const { return m_resolution; }

    /// Places the clipmap around the camera, voxelises every model of `frame` into each level,
    /// converts and refreshes the levels, and uploads the model draw's block for this frame.
    /// Creates the volumes first when the settings ask for another resolution.
    void Record(Engine::Platform::CommandList& list, PassLog& log, const FrameInputs& frame, const FrameSettings& settings,
                const VoxelShadowInput& shadow);

    /// The radiance volume's sampled view, and this frame's VoxelGiConstants (device address);
    /// the volume is left readable by shaders.
    uint32_t RadianceView() const { return m_radiance.srvHandle.Gpu(); }
    uint64_t ConstantsAddress(uint32_t frameIndex) const;
    Engine::VolumeBuffer& Radiance() { return m_radiance; }
    Engine::VolumeBuffer& Accumulation() { return m_accumulation; }
    const VoxelClipmap& Clipmap() const { return m_clipmap; }
    /// Draw calls of the last Record over all levels (tests).
    uint32_t Draws() const { return m_draws; }

private:
    void Voxelize(Engine::Platform::CommandList& list, const FrameInputs& frame, const FrameSettings& settings,
                  const VoxelShadowInput& shadow);
    void Convert(Engine::Platform::CommandList& list);
    void RefreshLevels(Engine::Platform::CommandList& list);

    struct alignas(256) ParameterSlot {
        Engine::Shared::VoxelizationParameters parameters;
    };
    struct alignas(256) ConstantsSlot {
        Engine::Shared::VoxelGiConstants constants;
    };

    std::shared_ptr<Engine::Platform::RootSignature> m_voxelizeRoot, m_convertRoot, m_downsampleRoot;
    std::shared_ptr<Engine::Platform::PipelineState> m_voxelize, m_convert, m_downsample;
    /// One slot per level in each frame's copy.
    Engine::StructuredBuffer<ParameterSlot> m_parameters;
    Engine::StructuredBuffer<ConstantsSlot> m_modelConstants;
    Engine::VolumeBuffer m_accumulation, m_radiance;
    int32_t m_resolution = 0;
    VoxelClipmap m_clipmap;
    uint32_t m_draws = 0;
};

}  // namespace ProjectTavrin
