#pragma once
// The root signatures of the frame renderer's shaders: the model draw and the full-screen compute
// passes. The passes in renderer/ create their pipelines from these, and the build checks each
// compiled shader against the one it is registered with in ShaderRegistry.cpp.
#include <cstdint>

#include "Engine/Platform/Pipeline.h"
#include "shaders/shared/BloomConstants.h"
#include "shaders/shared/DofConstants.h"
#include "shaders/shared/ExposureConstants.h"
#include "shaders/shared/LensFlareConstants.h"
#include "shaders/shared/PostConstants.h"
#include "shaders/shared/SkyConstants.h"
#include "shaders/shared/ShadowData.h"
#include "shaders/shared/SsaoConstants.h"
#include "shaders/shared/TaaConstants.h"
#include "shaders/shared/VolumetricConstants.h"

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
/// the material's address, its seven texture slots, the alpha clip, the material style; the
/// per-frame bindings live in the block, see shaders/shared/ModelDraw.h) and its static samplers.
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
        P::DescriptorTable(),  // 4 toon
        P::DescriptorTable(),  // 5 normal
        P::DescriptorTable(),  // 6 curvature
        P::DescriptorTable(),  // 7 thickness
        P::DescriptorTable(),  // 8 occlusion texture
        P::Constants(1),       // 9 alpha clip
        P::Constants(2),       // 10 material style, and a free word
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

/// ShadowCaster.vert / ShadowCaster.frag: one cascade's matrix, the diffuse texture and its
/// alpha clip; the diffuse sampler (linear, mip point, wrap).
inline Platform::RootSignatureDesc ShadowCaster() {
    using Platform::AddressMode;
    Platform::SamplerDesc s = Detail::Sampler(Platform::Filter::Linear, AddressMode::Wrap, AddressMode::Wrap, AddressMode::Wrap);
    s.mipFilter = Platform::MipFilter::Point;
    return Detail::ConstantsAndSamplers<Shared::ShadowCasterConstants>({{0, s}});
}
/// ConvertToVsm.comp: depth atlas tile to moments.
inline Platform::RootSignatureDesc ConvertToVsm() { return Detail::ConstantsAndSamplers<Shared::ConvertToVsmConstants>({}); }
/// BlurVsmX.comp and BlurVsmY.comp: the two directions of the moment blur.
inline Platform::RootSignatureDesc BlurVsm() { return Detail::ConstantsAndSamplers<Shared::BlurVsmConstants>({}); }
/// Outline.vert / Outline.frag: the camera, the material, the width scale.
inline Platform::RootSignatureDesc Outline() {
    using P = Platform::RootParameter;
    Platform::RootSignatureDesc d;
    d.parameters = {P::BufferAddress(), P::BufferAddress(), P::Constants(2)};
    return d;
}

/// Voxelize.vert / .geom / .frag: the level's VoxelizationParameters, the material, the shadow
/// block, the accumulation volume, three material textures, the shadow map and the alpha clip
/// (VoxelizeDrawConstants); samplers s0 (anisotropic, clamp) and s30 (linear, border).
inline Platform::RootSignatureDesc Voxelize() {
    using P = Platform::RootParameter;
    using Platform::AddressMode;
    Platform::RootSignatureDesc d;
    d.parameters = {P::BufferAddress(),   P::BufferAddress(),   P::BufferAddress(),   P::DescriptorTable(),
                    P::DescriptorTable(), P::DescriptorTable(), P::DescriptorTable(), P::DescriptorTable(),
                    P::Constants(1)};
    d.staticSamplers = {
        {0, Detail::Sampler(Platform::Filter::Anisotropic, AddressMode::Clamp, AddressMode::Clamp, AddressMode::Clamp, 2)},
        {30, Detail::LinearBorder()},
    };
    return d;
}

/// VoxelConvert.comp: the resolution, the radiance volume (storage), the packed volume (sampled).
inline Platform::RootSignatureDesc VoxelConvert() {
    using P = Platform::RootParameter;
    return {{P::Constants(1), P::DescriptorTable(), P::DescriptorTable()}, {}};
}

/// VoxelDownsample.comp: VoxelMipConstants, the radiance volume last.
inline Platform::RootSignatureDesc VoxelDownsample() {
    using P = Platform::RootParameter;
    return {{P::Constants(6), P::DescriptorTable()}, {}};
}

/// The bloom chain (BloomExtract, BloomDownsample, BloomBlur, BloomUpsample), its application
/// (BloomApply) and the tone map: one linear clamp sampler.
inline Platform::RootSignatureDesc BloomExtract() {
    return Detail::ConstantsAndSamplers<Shared::BloomExtractConstants>({{0, Detail::LinearClamp()}});
}
inline Platform::RootSignatureDesc BloomExtractHdr() {
    return Detail::ConstantsAndSamplers<Shared::BloomExtractHdrConstants>({{0, Detail::LinearClamp()}});
}
/// BloomDownsample.comp and BloomBlur.comp.
inline Platform::RootSignatureDesc BloomLevel() {
    return Detail::ConstantsAndSamplers<Shared::BloomLevelConstants>({{0, Detail::LinearClamp()}});
}
inline Platform::RootSignatureDesc BloomUpsample() {
    return Detail::ConstantsAndSamplers<Shared::BloomUpsampleConstants>({{0, Detail::LinearClamp()}});
}
inline Platform::RootSignatureDesc BloomApply() {
    return Detail::ConstantsAndSamplers<Shared::BloomApplyConstants>({{0, Detail::LinearClamp()}});
}
inline Platform::RootSignatureDesc ToneMap() {
    return Detail::ConstantsAndSamplers<Shared::ToneMapConstants>({{0, Detail::LinearClamp()}});
}
/// The automatic exposure's steps: constants only.
inline Platform::RootSignatureDesc ExposureInitialise() {
    return Detail::ConstantsAndSamplers<Shared::ExposureInitialiseConstants>({});
}
inline Platform::RootSignatureDesc ExposureClearHistogram() {
    return Detail::ConstantsAndSamplers<Shared::ExposureClearConstants>({});
}
inline Platform::RootSignatureDesc ExposureHistogram() {
    return Detail::ConstantsAndSamplers<Shared::ExposureHistogramConstants>({});
}
inline Platform::RootSignatureDesc ExposureAdapt() {
    return Detail::ConstantsAndSamplers<Shared::ExposureAdaptConstants>({});
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
/// Temporal anti-aliasing: the depth linearisation, the history blend (one linear border
/// sampler) and the two write-backs.
inline Platform::RootSignatureDesc TaaLineariseDepth() {
    return Detail::ConstantsAndSamplers<Shared::TaaLineariseConstants>({});
}
inline Platform::RootSignatureDesc TaaBlend() {
    return Detail::ConstantsAndSamplers<Shared::TaaBlendConstants>({{0, Detail::LinearBorder()}});
}
inline Platform::RootSignatureDesc TaaSharpen() {
    return Detail::ConstantsAndSamplers<Shared::TaaSharpenConstants>({});
}
inline Platform::RootSignatureDesc TaaResolve() {
    return Detail::ConstantsAndSamplers<Shared::TaaResolveConstants>({});
}

/// The image filters after the colour filter: FXAA, soften, sharpen, vignette and motion blur.
inline Platform::RootSignatureDesc Fxaa() {
    return Detail::ConstantsAndSamplers<Shared::FxaaConstants>({{0, Detail::LinearClamp()}});
}
inline Platform::RootSignatureDesc Soften() {
    return Detail::ConstantsAndSamplers<Shared::SoftenConstants>({{0, Detail::LinearClamp()}});
}
inline Platform::RootSignatureDesc Sharpen() {
    return Detail::ConstantsAndSamplers<Shared::SharpenConstants>({});
}
inline Platform::RootSignatureDesc Vignette() {
    return Detail::ConstantsAndSamplers<Shared::VignetteConstants>({});
}
inline Platform::RootSignatureDesc MotionBlur() {
    return Detail::ConstantsAndSamplers<Shared::MotionBlurConstants>({{0, Detail::LinearClamp()}});
}

/// Depth of field: the auto-focus step (no sampler) and the three image steps, which share one
/// block of constants and a linear clamp sampler.
inline Platform::RootSignatureDesc DofFocus() {
    return Detail::ConstantsAndSamplers<Shared::DofConstants>({});
}
inline Platform::RootSignatureDesc DofStep() {
    return Detail::ConstantsAndSamplers<Shared::DofConstants>({{0, Detail::LinearClamp()}});
}

/// Lens flare: the visibility step (constants only) and the two sprite kinds (a linear clamp
/// sampler).
inline Platform::RootSignatureDesc LensFlareVisibility() {
    return Detail::ConstantsAndSamplers<Shared::LensFlareVisibilityConstants>({});
}
inline Platform::RootSignatureDesc LensFlareSprite() {
    return Detail::ConstantsAndSamplers<Shared::LensFlareSpriteConstants>({{0, Detail::LinearClamp()}});
}

/// Screen-space ambient occlusion: the two depth preparations, the two estimates and the two
/// blur-and-upsample variants share three blocks of constants; nothing is filtered by a sampler.
inline Platform::RootSignatureDesc SsaoPrepare() {
    return Detail::ConstantsAndSamplers<Shared::SsaoPrepareConstants>({});
}
inline Platform::RootSignatureDesc SsaoCompute() {
    return Detail::ConstantsAndSamplers<Shared::SsaoComputeConstants>({});
}
inline Platform::RootSignatureDesc SsaoBlurUpsample() {
    return Detail::ConstantsAndSamplers<Shared::SsaoBlurConstants>({});
}

/// Volumetric light: the ray march reads its parameter block and the sun's shadow block by
/// address (a linear wrap sampler for the noise volume, a linear border one for the shadow's
/// moments); the blur and the composite read texels and need no sampler.
inline Platform::RootSignatureDesc VolumetricRayMarch() {
    using P = Platform::RootParameter;
    using Platform::AddressMode;
    Platform::RootSignatureDesc d;
    d.parameters = {P::BufferAddress(), P::BufferAddress(), P::DescriptorTable(), P::DescriptorTable(),
                    P::DescriptorTable(), P::DescriptorTable()};
    d.staticSamplers = {{0, Detail::Sampler(Platform::Filter::Linear, AddressMode::Wrap, AddressMode::Wrap, AddressMode::Wrap)},
                        {30, Detail::LinearBorder()}};
    return d;
}
inline Platform::RootSignatureDesc VolumetricBlur() {
    return Detail::ConstantsAndSamplers<Shared::VolumetricBlurConstants>({});
}
inline Platform::RootSignatureDesc VolumetricComposite() {
    return Detail::ConstantsAndSamplers<Shared::VolumetricCompositeConstants>({});
}

/// SphereToCube.comp: the equirectangular image read bilinear, wrapping around the vertical axis.
inline Platform::RootSignatureDesc SphereToCube() {
    using Platform::AddressMode;
    Platform::SamplerDesc s = Detail::Sampler(Platform::Filter::Linear, AddressMode::Wrap, AddressMode::Clamp, AddressMode::Clamp);
    s.mipFilter = Platform::MipFilter::Point;
    return Detail::ConstantsAndSamplers<Shared::SphereToCubeConstants>({{0, s}});
}
/// GenerateRadiance.comp and GenerateIrradiance.comp: the environment cube read trilinear.
inline Platform::RootSignatureDesc CubeLighting() {
    return Detail::ConstantsAndSamplers<Shared::CubeLightingConstants>({{0, Detail::LinearClamp()}});
}
/// Sky.vert / Sky.frag: the camera's address, the environment image, the radiance clamp; one
/// sampler (bilinear, mip point; wrap u, clamp v).
inline Platform::RootSignatureDesc SkyDraw() {
    using P = Platform::RootParameter;
    using Platform::AddressMode;
    Platform::RootSignatureDesc d;
    d.parameters = {P::BufferAddress(), P::DescriptorTable(), P::Constants(1)};
    Platform::SamplerDesc s = Detail::Sampler(Platform::Filter::Linear, AddressMode::Wrap, AddressMode::Clamp, AddressMode::Wrap);
    s.mipFilter = Platform::MipFilter::Point;
    d.staticSamplers = {{0, s}};
    return d;
}
/// Ocean.vert / Ocean.frag: the camera's and the ocean block's addresses, the environment image,
/// the radiance clamp; one sampler (linear, wrap, anisotropy 16).
inline Platform::RootSignatureDesc OceanDraw() {
    using P = Platform::RootParameter;
    using Platform::AddressMode;
    Platform::RootSignatureDesc d;
    d.parameters = {P::BufferAddress(), P::BufferAddress(), P::DescriptorTable(), P::Constants(1)};
    d.staticSamplers = {
        {0, Detail::Sampler(Platform::Filter::Anisotropic, AddressMode::Wrap, AddressMode::Wrap, AddressMode::Wrap, 16)}};
    return d;
}

}  // namespace Engine::ShaderLayouts
