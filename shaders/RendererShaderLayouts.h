#pragma once
// The root signatures of the frame renderer's shaders: the model draw and the full-screen compute
// passes. The passes in renderer/ create their pipelines from these, and the build checks each
// compiled shader against the one it is registered with in ShaderRegistry.cpp.
#include <cstdint>

#include "Engine/Platform/Pipeline.h"
#include "shaders/shared/PostConstants.h"

namespace Engine::ShaderLayouts {

namespace Detail {

inline Platform::SamplerDesc Sampler(Platform::Filter filter, Platform::AddressMode u, Platform::AddressMode v,
                                     Platform::AddressMode w, uint32_t anisotropy = 1) {
    Platform::SamplerDesc s;
    s.filter = filter;
    s.addressU = u;
    s.addressV = v;
    s.addressW = w;
    s.maxAnisotropy = anisotropy;
    return s;
}

inline Platform::SamplerDesc LinearClamp() {
    using Platform::AddressMode;
    return Sampler(Platform::Filter::Linear, AddressMode::Clamp, AddressMode::Clamp, AddressMode::Clamp);
}

inline Platform::SamplerDesc LinearBorder() {
    using Platform::AddressMode;
    return Sampler(Platform::Filter::Linear, AddressMode::Border, AddressMode::Border, AddressMode::Border);
}

/// One block of root constants of `Constants`' size, then the static samplers.
template <typename Constants>
Platform::RootSignatureDesc ConstantsAndSamplers(std::vector<Platform::StaticSampler> samplers) {
    static_assert(sizeof(Constants) % 4 == 0, "root constants are whole 32-bit words");
    Platform::RootSignatureDesc d;
    d.parameters = {Platform::RootParameter::Constants(sizeof(Constants) / 4)};
    d.staticSamplers = std::move(samplers);
    return d;
}

}  // namespace Detail

/// Model.vert / Model.frag: the model draw's per-material parameters (the frame block's address,
/// the material's address, its seven texture slots, the alpha clip; the per-frame bindings live
/// in the block, see shaders/shared/ModelDraw.h) and its static samplers.
inline Platform::RootSignatureDesc ModelDraw() {
    using P = Platform::RootParameter;
    using Platform::AddressMode;
    using Platform::Filter;
    Platform::RootSignatureDesc d;
    d.parameters = {
        P::BufferAddress(),    // 0 ModelFrameConstants
        P::BufferAddress(),    // 1 material
        P::DescriptorTable(),  // 2 diffuse
        P::DescriptorTable(),  // 3 sphere
        P::DescriptorTable(),  // 4 toon (not bound)
        P::DescriptorTable(),  // 5 normal
        P::DescriptorTable(),  // 6 curvature
        P::DescriptorTable(),  // 7 thickness
        P::DescriptorTable(),  // 8 occlusion texture
        P::Constants(1),       // 9 alpha clip
    };
    auto sampler = [](Filter filter, AddressMode u, AddressMode v, AddressMode w, uint32_t anisotropy = 1) {
        Platform::SamplerDesc s = Detail::Sampler(filter, u, v, w, anisotropy);
        s.opaqueWhiteBorder = true;
        return s;
    };
    auto mipPoint = [&](AddressMode u, AddressMode v, AddressMode w) {
        Platform::SamplerDesc s = sampler(Filter::Linear, u, v, w);
        s.mipFilter = Platform::MipFilter::Point;
        return s;
    };
    const AddressMode wrap = AddressMode::Wrap, clamp = AddressMode::Clamp, border = AddressMode::Border;
    Platform::SamplerDesc comparison = sampler(Filter::Linear, border, border, wrap);
    comparison.comparison = true;
    comparison.compareFunc = Platform::CompareFunc::LessEqual;
    d.staticSamplers = {
        {0, sampler(Filter::Anisotropic, wrap, wrap, wrap, 2)},
        {1, sampler(Filter::Anisotropic, clamp, clamp, clamp, 2)},
        {5, mipPoint(wrap, wrap, wrap)},
        {30, mipPoint(border, border, wrap)},
        {31, comparison},
        {40, mipPoint(clamp, clamp, clamp)},
        {50, sampler(Filter::Point, clamp, clamp, clamp)},
        {51, mipPoint(clamp, clamp, clamp)},
        {60, mipPoint(wrap, wrap, wrap)},
        {98, mipPoint(clamp, clamp, clamp)},
        {99, mipPoint(clamp, clamp, clamp)},
    };
    return d;
}

/// Bloom.comp: bloom pyramid and tone map, one linear clamp sampler.
inline Platform::RootSignatureDesc Bloom() {
    return Detail::ConstantsAndSamplers<Shared::BloomConstants>({{0, Detail::LinearClamp()}});
}
/// Exposure.comp: luma histogram and adaptation.
inline Platform::RootSignatureDesc Exposure() {
    return Detail::ConstantsAndSamplers<Shared::ExposureConstants>({});
}
/// ColorFilter.comp: the 3-D table lookup.
inline Platform::RootSignatureDesc ColorFilter() {
    return Detail::ConstantsAndSamplers<Shared::ColorFilterConstants>({{0, Detail::LinearClamp()}});
}
/// FinalCopy.comp: scene colour into the 8-bit image.
inline Platform::RootSignatureDesc FinalCopy() {
    return Detail::ConstantsAndSamplers<Shared::FinalCopyConstants>({});
}
/// OutputResample.comp: the 8-bit image fitted into the output.
inline Platform::RootSignatureDesc OutputResample() {
    return Detail::ConstantsAndSamplers<Shared::ResampleConstants>({{0, Detail::LinearClamp()}});
}
/// Taa.comp: history blend and sharpen.
inline Platform::RootSignatureDesc Taa() {
    return Detail::ConstantsAndSamplers<Shared::TaaConstants>({{0, Detail::LinearBorder()}});
}

}  // namespace Engine::ShaderLayouts
