#include "ddgi/DDGIVolume.h"

#include <cmath>
#include <cstring>
#include <ctime>

#include "CompiledShaders.h"
#include "Engine/Platform/CommandList.h"
#include "shaders/RaytracingShaderLayouts.h"

namespace ddgi {

using namespace Engine::Platform;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr ResourceState kReadable = ResourceState::PixelShaderResource | ResourceState::NonPixelShaderResource;

uint32_t DivideUp(uint32_t a, uint32_t b) { return (a + b - 1) / b; }

}  // namespace

VolumeResources VolumeResources::Create(Device& device) {
    VolumeResources r;
    r.device = &device;
    r.rootSignature = device.CreateRootSignature(Engine::ShaderLayouts::DDGIUpdate());
    r.rootSignature->SetName("DDGIVolume Root Signature");
    auto make = [&](std::span<const uint32_t> code, const char* name) {
        ComputePipelineDesc desc;
        desc.rootSignature = r.rootSignature.get();
        desc.cs.code = code;
        auto pipeline = device.CreateComputePipelineState(desc);
        pipeline->SetName(name);
        return pipeline;
    };
    r.blendIrradiance = make(Engine::Shaders::DDGIBlendIrradiance_comp(), "DDGIVolume Irradiance Blending");
    r.blendDistance = make(Engine::Shaders::DDGIBlendDistance_comp(), "DDGIVolume Distance Blending");
    r.borderRows = make(Engine::Shaders::DDGIBorderRows_comp(), "DDGIVolume Border Rows");
    r.borderColumns = make(Engine::Shaders::DDGIBorderColumns_comp(), "DDGIVolume Border Columns");
    r.relocate = make(Engine::Shaders::DDGIRelocate_comp(), "DDGIVolume Probe Relocation");
    return r;
}

int DDGIVolume::Create(const ProbeVolumeDesc& desc, const VolumeResources& resources) {
    if (desc.probeCounts[0] < 1 || desc.probeCounts[1] < 1 || desc.probeCounts[2] < 1 || desc.raysPerProbe < 1) return NoProbes;
    if (desc.raysPerProbe > kMaxRaysPerProbe) return RayDataTexture;
    if (!resources.device) return NoDevice;
    const std::shared_ptr<PipelineState>* pipelines[] = {&resources.blendIrradiance, &resources.blendDistance, &resources.borderRows,
                                                         &resources.borderColumns, &resources.relocate};
    for (int i = 0; i < 5; ++i)
        if (!*pipelines[i]) return MissingShader + i;
    if (!resources.rootSignature) return RootSignature;
    if (desc.irradianceTexels != 6 || desc.distanceTexels != 12) return TexelCounts;
    m_resources = resources;
    m_desc = desc;

    const uint32_t x = desc.probeCounts[0], y = desc.probeCounts[1], z = desc.probeCounts[2];
    const uint32_t irr = desc.irradianceTexels + 2, dist = desc.distanceTexels + 2;
    const uint32_t maxSide = resources.device->Limits().maxImageDimension2D;
    if (uint64_t(desc.raysPerProbe) > maxSide || uint64_t(x) * y * z > maxSide) return RayDataTexture;
    if (uint64_t(x) * y * irr > maxSide || uint64_t(z) * irr > maxSide) return IrradianceTexture;
    if (uint64_t(x) * y * dist > maxSide || uint64_t(z) * dist > maxSide) return DistanceTexture;
    m_rayData.Create(u"DDGIVolume Probe RT Radiance", desc.raysPerProbe, x * y * z, Format::R16G16B16A16_FLOAT);
    m_irradiance.Create(u"DDGIVolume Probe Irradiance", x * y * irr, z * irr, Format::R16G16B16A16_FLOAT);
    m_distance.Create(u"DDGIVolume Probe Distance", x * y * dist, z * dist, Format::R32G32_FLOAT);
    m_offsets.Create(u"DDGIVolume Probe Offsets", x * y, z, Format::R16G16B16A16_FLOAT);

    for (int a = 0; a < 3; ++a) {
        const float half = float(desc.probeCounts[a] - 1) * desc.probeSpacing[a] * 0.5f;
        m_boundsMin[a] = desc.origin[a] - half;
        m_boundsMax[a] = desc.origin[a] + half;
    }
    m_random.seed(static_cast<uint32_t>(std::time(nullptr)));
    m_cleared = false;
    m_historyValid = false;
    return Ok;
}

Engine::Shared::VolumeConstants DDGIVolume::MakeConstants() {
    // Arvo's fast random rotation: a turn about z by theta, then the reflection that carries z
    // to a uniformly chosen direction.
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float u1 = unit(m_random), u2 = unit(m_random), u3 = unit(m_random);
    const float theta = 2 * kPi * u1, phi = 2 * kPi * u2, zz = u3;
    const float r = 2 * std::sqrt(zz * (1 - zz));
    const float cp = std::cos(phi), sp = std::sin(phi), ct = std::cos(theta), st = std::sin(theta);
    const float s[3][3] = {{2 * zz * cp * cp - 1, 2 * zz * sp * cp, r * cp},
                           {2 * zz * sp * cp, 2 * zz * sp * sp - 1, r * sp},
                           {r * cp, r * sp, 1 - 2 * zz}};
    Math::mat4 m;
    for (int k = 0; k < 3; ++k) {
        m[k][0] = s[k][0] * ct - s[k][1] * st;
        m[k][1] = s[k][0] * st + s[k][1] * ct;
        m[k][2] = s[k][2];
        m[k][3] = 0;
    }
    m_rayRotation = m;

    Engine::Shared::VolumeConstants c{};
    c.origin = m_desc.origin;
    c.raysPerProbe = m_desc.raysPerProbe;
    c.probeSpacing = m_desc.probeSpacing;
    c.maxRayDistance = m_desc.maxRayDistance;
    c.probeCountX = m_desc.probeCounts[0];
    c.probeCountY = m_desc.probeCounts[1];
    c.probeCountZ = m_desc.probeCounts[2];
    c.distanceExponent = m_desc.distanceExponent;
    c.hysteresis = m_desc.hysteresis;
    c.changeThreshold = m_desc.changeThreshold;
    c.brightnessThreshold = m_desc.brightnessThreshold;
    c.irradianceGamma = m_desc.irradianceGamma;
    c.irradianceGammaInverse = 1.0f / m_desc.irradianceGamma;
    c.irradianceTexels = m_desc.irradianceTexels;
    c.distanceTexels = m_desc.distanceTexels;
    c.normalBias = m_desc.normalBias;
    c.viewBias = m_desc.viewBias;
    c.historyValid = m_historyValid ? 1u : 0u;
    c.rayDataImage = m_rayData.uavHandle.Gpu();
    c.offsetsImage = m_offsets.uavHandle.Gpu();
    // The shaders multiply row vectors by it: the stored rows are the matrix rows.
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) c.rayRotation[col][row] = m[row][col];
    c.irradianceImage = m_irradiance.uavHandle.Gpu();
    c.distanceImage = m_distance.uavHandle.Gpu();
    c.irradianceTexture = m_irradiance.srvHandle.Gpu();
    c.distanceTexture = m_distance.srvHandle.Gpu();
    c.backfaceThreshold = m_desc.backfaceThreshold;
    c.minFrontFaceDistance = m_desc.minFrontFaceDistance;
    c.offsetsTexture = m_offsets.srvHandle.Gpu();
    return c;
}

void DDGIVolume::BeginFrame(CommandList& list) {
    if (!m_cleared) {
        const float zero[4] = {0, 0, 0, 0};
        for (Engine::ColorBuffer* t : {&m_rayData, &m_irradiance, &m_distance, &m_offsets}) {
            t->TransitionTo(list, ResourceState::UnorderedAccess);
            list.ClearUnorderedAccessViewFloat(*t->GetResource(), zero);
        }
        const ResourceBarrier barrier = ResourceBarrier::UAV(m_offsets.GetResource());
        list.ResourceBarrier(std::span(&barrier, 1));
        m_cleared = true;
    }
    m_irradiance.TransitionTo(list, kReadable);
    m_distance.TransitionTo(list, kReadable);
    m_rayData.TransitionTo(list, ResourceState::UnorderedAccess);
    m_offsets.TransitionTo(list, ResourceState::UnorderedAccess);
}

void DDGIVolume::Dispatch(CommandList& list, PipelineState& pipeline, uint64_t record, const uint32_t values[4], uint32_t x, uint32_t y) {
    list.SetPipelineState(pipeline);
    list.SetComputeRoot32BitConstants(0, 4, values, 0);
    list.SetComputeRootBufferAddress(1, record);
    list.Dispatch(x, y, 1);
}

void DDGIVolume::UpdateProbes(CommandList& list, uint64_t recordAddress) {
    m_irradiance.TransitionTo(list, ResourceState::UnorderedAccess);
    m_distance.TransitionTo(list, ResourceState::UnorderedAccess);
    list.SetComputeRootSignature(*m_resources.rootSignature);
    const uint32_t p = m_desc.probeCounts[0] * m_desc.probeCounts[1], z = m_desc.probeCounts[2];
    const uint32_t none[4] = {0, 0, 0, 0};
    Dispatch(list, *m_resources.blendIrradiance, recordAddress, none, p, z);
    Dispatch(list, *m_resources.blendDistance, recordAddress, none, p, z);
    const ResourceBarrier blended[] = {ResourceBarrier::UAV(m_irradiance.GetResource()), ResourceBarrier::UAV(m_distance.GetResource())};
    list.ResourceBarrier(blended);
    for (uint32_t atlas = 0; atlas < 2; ++atlas) {
        const uint32_t texels = atlas == 0 ? m_desc.irradianceTexels : m_desc.distanceTexels;
        const uint32_t values[4] = {texels, atlas, 0, 0};
        Dispatch(list, *m_resources.borderRows, recordAddress, values, DivideUp(p * (texels + 2), 8), DivideUp(z, 8));
        Dispatch(list, *m_resources.borderColumns, recordAddress, values, DivideUp(p, 8), DivideUp(z * (texels + 2), 8));
    }
    list.ResourceBarrier(blended);
    m_irradiance.TransitionTo(list, kReadable);
    m_distance.TransitionTo(list, kReadable);
    m_historyValid = true;
}

void DDGIVolume::RelocateProbes(CommandList& list, uint64_t recordAddress) {
    list.SetComputeRootSignature(*m_resources.rootSignature);
    float scale = 1.0f;
    uint32_t values[4] = {0, 0, 0, 0};
    std::memcpy(&values[0], &scale, 4);
    Dispatch(list, *m_resources.relocate, recordAddress, values,
             DivideUp(m_desc.probeCounts[0] * m_desc.probeCounts[1], 8), DivideUp(m_desc.probeCounts[2], 4));
    const ResourceBarrier barrier = ResourceBarrier::UAV(m_offsets.GetResource());
    list.ResourceBarrier(std::span(&barrier, 1));
}

}  // namespace ddgi
