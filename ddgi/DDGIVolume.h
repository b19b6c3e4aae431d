#pragma once
// One grid of light probes: its ray-data texture (one texel per ray, one row per probe), its
// irradiance and distance atlases (one bordered octahedral tile per probe) and its probe offsets,
// and the compute work that turns a frame's rays into blended atlases and moved probes. The
// GI ray-tracing pass (DDGIPass) fills the ray data in between.
//
// The atlases rest readable by every shader stage between frames; the ray data and the offsets
// stay in unordered access (readers load them as storage images).
#include <cstdint>
#include <memory>
#include <random>

#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "ddgi/ProbeVolumeDesc.h"
#include "shaders/shared/DDGIConstants.h"

namespace ddgi {

/// The blend shaders hold one probe's rays in shared memory: at most this many per frame.
inline constexpr int32_t kMaxRaysPerProbe = 256;

/// The compute pipelines every volume shares (one set per device).
struct VolumeResources {
    Engine::Platform::Device* device = nullptr;
    std::shared_ptr<Engine::Platform::RootSignature> rootSignature;
    std::shared_ptr<Engine::Platform::PipelineState> blendIrradiance, blendDistance, borderRows, borderColumns, relocate;

    /// Creates the root signature "DDGIVolume Root Signature" and the five pipelines.
    static VolumeResources Create(Engine::Platform::Device& device);
};

class DDGIVolume {
public:
    enum Result : int {
        Ok = 0,
        NoProbes = 1,
        NoDevice = 5,
        MissingShader = 6,          ///< 6 .. 10: the first to fifth pipeline
        RayDataTexture = 13,
        IrradianceTexture = 14,
        DistanceTexture = 15,
        OffsetsTexture = 16,
        RootSignature = 18,
        TexelCounts = 20,           ///< tiles the blend shaders are not built for
    };

    virtual ~DDGIVolume() = default;

    /// Creates the textures; 0 on success, else one of the codes above.
    int Create(const ProbeVolumeDesc& desc, const VolumeResources& resources);

    /// Draws a new ray rotation and fills this frame's record of the volume.
    Engine::Shared::VolumeConstants MakeConstants();
    /// Records the blends of this frame's rays into both atlases and their borders.
    void UpdateProbes(Engine::Platform::CommandList& list, uint64_t recordAddress);
    /// Records the relocation of probes stuck in or near geometry.
    void RelocateProbes(Engine::Platform::CommandList& list, uint64_t recordAddress);
    /// Prepares the textures for this frame's rays: cleared on the first frame, atlases readable,
    /// ray data and offsets writable.
    void BeginFrame(Engine::Platform::CommandList& list);

    const ProbeVolumeDesc& Desc() const { return m_desc; }
    Math::vec3 BoundsMin() const { return m_boundsMin; }
    Math::vec3 BoundsMax() const { return m_boundsMax; }
    const Math::mat4& RayRotation() const { return m_rayRotation; }
    Engine::ColorBuffer& RayData() { return m_rayData; }
    Engine::ColorBuffer& Irradiance() { return m_irradiance; }
    Engine::ColorBuffer& Distance() { return m_distance; }
    Engine::ColorBuffer& Offsets() { return m_offsets; }

private:
    void Dispatch(Engine::Platform::CommandList& list, Engine::Platform::PipelineState& pipeline, uint64_t record,
                  const uint32_t values[4], uint32_t x, uint32_t y);

    ProbeVolumeDesc m_desc;
    VolumeResources m_resources;
    Math::vec3 m_boundsMin{}, m_boundsMax{};
    Engine::ColorBuffer m_rayData, m_irradiance, m_distance, m_offsets;
    Math::mat4 m_rayRotation;
    std::minstd_rand m_random;
    bool m_cleared = false;
    bool m_historyValid = false;
};

}  // namespace ddgi
