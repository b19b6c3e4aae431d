#pragma once
// The layouts of the ray-traced passes' shaders: the GI pipeline's global layout (its local
// layout, the hit-group record, is shaders/shared/DDGIConstants.h's GIHitRecord) and the probe
// volume's compute shaders.
#include "Engine/Platform/Pipeline.h"
#include "shaders/shared/DDGIConstants.h"
#include "shaders/shared/ReflectionConstants.h"

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

/// AORaygen.rgen and its hit and miss shaders: the output, depth and velocity storage views, the
/// scene, the camera and the options (RtaoTraceConstants); samplers s0 (point, wrap) and s1
/// (linear, clamp).
inline Platform::RootSignatureDesc RtaoTrace() {
    using Platform::RootParameter;
    Platform::SamplerDesc point;
    point.filter = Platform::Filter::Point;
    point.addressU = point.addressV = point.addressW = Platform::AddressMode::Wrap;
    return {{RootParameter::DescriptorTable(), RootParameter::DescriptorTable(), RootParameter::DescriptorTable(),
             RootParameter::DescriptorTable(), RootParameter::BufferAddress(), RootParameter::BufferAddress()},
            {Platform::StaticSampler{0, point}, Platform::StaticSampler{1, Platform::SamplerDesc{}}}};
}

/// RtaoTemporal.comp: three constants, five sampled and two storage views (RtaoTemporalConstants);
/// sampler s0 (linear, clamp).
inline Platform::RootSignatureDesc RtaoTemporal() {
    using Platform::RootParameter;
    Platform::RootSignatureDesc d;
    d.parameters = {RootParameter::Constants(3)};
    for (int i = 0; i < 7; ++i) d.parameters.push_back(RootParameter::DescriptorTable());
    d.staticSamplers = {Platform::StaticSampler{0, Platform::SamplerDesc{}}};
    return d;
}

/// RtaoDenoise.comp: four constants, the input and depth (sampled) and the output (storage).
inline Platform::RootSignatureDesc RtaoDenoise() {
    using Platform::RootParameter;
    return {{RootParameter::Constants(4), RootParameter::DescriptorTable(), RootParameter::DescriptorTable(),
             RootParameter::DescriptorTable()},
            {}};
}

/// SRRaygen.rgen and its hit and miss shaders (ReflectionTraceConstants): camera, options and
/// probe records; the colour, depth and velocity storage views; the two lookup tables and the
/// sky cube; the scene; the probe table; the volume count and a free word. Samplers: s0 LinearClampSampler (the
/// sky cube, nearest mip as the model draw's), s60 BilinearSampler (material maps and probes),
/// s98 and s99 the lookup tables'.
inline Platform::RootSignatureDesc ReflectionTrace() {
    using Platform::RootParameter;
    Platform::RootSignatureDesc d;
    d.parameters = {RootParameter::BufferAddress(), RootParameter::BufferAddress(), RootParameter::BufferAddress()};
    for (int i = 0; i < 8; ++i) d.parameters.push_back(RootParameter::DescriptorTable());
    d.parameters.push_back(RootParameter::Constants(2));
    const Platform::SamplerDesc clamp = Platform::SamplerDesc::LinearMipPoint(Platform::AddressMode::Clamp);
    d.staticSamplers = {{0, clamp}, {60, Platform::SamplerDesc::LinearMipPoint(Platform::AddressMode::Wrap)}, {98, clamp}, {99, clamp}};
    return d;
}

/// SRTemporal.comp: five constants, six sampled and three storage views
/// (ReflectionTemporalConstants); sampler s0 (linear, clamp).
inline Platform::RootSignatureDesc ReflectionTemporal() {
    using Platform::RootParameter;
    Platform::RootSignatureDesc d;
    d.parameters = {RootParameter::Constants(5)};
    for (int i = 0; i < 9; ++i) d.parameters.push_back(RootParameter::DescriptorTable());
    d.staticSamplers = {Platform::StaticSampler{0, Platform::SamplerDesc{}}};
    return d;
}

}  // namespace Engine::ShaderLayouts
