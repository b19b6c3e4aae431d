#pragma once
// Probe GI: the probe volumes, the GI ray-tracing pipeline with its shader tables, and the
// per-frame schedule (constants, probe rays, blends and borders, relocation of the coarsest
// volume). Made with the ray-traced scene at each scene load; the model draw reads the volumes
// through VolumeConstantsAddress and VolumeCount.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/Platform/ShaderTable.h"
#include "Engine/raytracing/GeometryHitTables.h"
#include "Engine/raytracing/RaytracingPipeline.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "ddgi/DDGIVolume.h"
#include "shaders/shared/DDGIConstants.h"

namespace ddgi {

inline constexpr uint32_t kMaxVolumes = 4;

/// The volume count the model draw binds; 2 until the first SetVolumes.
uint32_t VolumeCount();

struct alignas(256) VolumeRecord {
    Engine::Shared::VolumeConstants constants;
};
struct alignas(256) GIOptionsSlot {
    Engine::Shared::GIOptions options;
};

class DDGIPass {
public:
    /// Builds the GI pipeline and its tables over `scene`'s geometry (which must outlive the pass).
    DDGIPass(Engine::Platform::Device& device, const Engine::SceneAccelerationStructures& scene);
    ~DDGIPass();

    /// Volumes from the render settings: `count` (1 .. 4) nested volumes of 24 x 16 x 24 probes
    /// around `origin`, the coarsest `size` across with spacing size / 24, each finer one half the
    /// last. False (no volumes) for a count outside 1 .. 4 or a failed creation.
    bool SetVolumes(Math::vec3 origin, float size, uint16_t count, float distanceExponent);
    /// Volumes as described (at most 4).
    bool SetVolumeDescs(const std::vector<ProbeVolumeDesc>& descs);

    /// Records one frame of probe updates into frame `frame`'s records: lighting from `options`,
    /// the sky from cube `environmentMap` (bindless index, or 0xffffffff for none). Does nothing
    /// while there are no volumes.
    void Update(Engine::Platform::CommandList& list, uint32_t frame, const Engine::Shared::GIOptions& options,
                uint32_t environmentMap = 0xffffffffu);

    bool HasVolumes() const { return !m_volumes.empty() && m_records.GetResource(); }
    uint32_t NumVolumes() const { return static_cast<uint32_t>(m_volumes.size()); }
    DDGIVolume& Volume(uint32_t index) { return *m_volumes.at(index); }
    /// Device address of frame `frame`'s first volume record.
    uint64_t VolumeConstantsAddress(uint32_t frame) const;
    /// The records as last written for frame `frame`.
    const Engine::Shared::VolumeConstants& Record(uint32_t volume) const { return m_records[volume].constants; }

    /// The pipeline's parts and every table, as text (written to standard error at creation
    /// when TAVRIN_RT_DUMP is set).
    std::string DescribePipeline() const { return m_description; }
    std::string DescribeTables() const;
    const Engine::Platform::ShaderTable& HitGroupTable(uint32_t frame) const { return *m_hitGroups[frame % Engine::kFrameCount]; }

private:
    void BuildPipeline();
    void BuildTables();
    void TraceProbeRays(Engine::Platform::CommandList& list, uint32_t frame, uint32_t volume, uint32_t environmentMap);

    Engine::Platform::Device& m_device;
    const Engine::SceneAccelerationStructures& m_scene;
    std::shared_ptr<Engine::Platform::RootSignature> m_globalRoot;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
    std::string m_description;
    std::unique_ptr<Engine::Platform::ShaderTable> m_rayGen, m_miss;
    Engine::GeometryHitTables m_hitGroups;
    Engine::StructuredBuffer<GIOptionsSlot> m_options;

    VolumeResources m_volumeResources;
    std::vector<ProbeVolumeDesc> m_descs;
    std::vector<std::unique_ptr<DDGIVolume>> m_volumes;
    Engine::StructuredBuffer<VolumeRecord> m_records;
};

}  // namespace ddgi
