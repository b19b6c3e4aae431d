#pragma once
// The layouts of the ray-traced passes' shaders: the GI pipeline's global layout (its local
// layout, the hit-group record, is shaders/shared/DDGIConstants.h's GIHitRecord) and the probe
// volume's compute shaders.
#include "Engine/Platform/Pipeline.h"
#include "shaders/shared/DDGIConstants.h"

namespace Engine::ShaderLayouts {

/// GIRaygen.rgen, GIClosestHit.rchit, GIMiss.rmiss, GIShadowMiss.rmiss: volume index, volume
/// records, DDGI table, scene, environment cube, options; bilinear sampler s0 (wrap, nearest mip).
inline Platform::RootSignatureDesc GITrace() {
    using Platform::RootParameter;
    Platform::SamplerDesc sampler = Platform::SamplerDesc::LinearMipPoint(Platform::AddressMode::Wrap);
    sampler.maxAnisotropy = 16;
    sampler.opaqueWhiteBorder = true;
    return {{RootParameter::Constants(1), RootParameter::BufferAddress(), RootParameter::DescriptorTable(),
             RootParameter::DescriptorTable(), RootParameter::DescriptorTable(), RootParameter::BufferAddress()},
            {Platform::StaticSampler{0, sampler}}};
}

/// DDGIBlendIrradiance, DDGIBlendDistance, DDGIBorderRows, DDGIBorderColumns, DDGIRelocate:
/// four 32-bit values, then the volume's record.
inline Platform::RootSignatureDesc DDGIUpdate() {
    using Platform::RootParameter;
    return {{RootParameter::Constants(4), RootParameter::BufferAddress()}, {}};
}

}  // namespace Engine::ShaderLayouts
