#include "shaders/ShaderRegistry.h"

#include "shaders/RaytracingShaderLayouts.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/ShaderLayouts.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace Engine {
namespace {

// One line per shader: its file under shaders/ and the function giving its root signature.
// The build refuses a shader that is missing here or that disagrees with its layout.
const ShaderRegistration kShaders[] = {
    {"GenerateMips.comp", &ShaderLayouts::GenerateMips},
    {"GenerateVolumeMips.comp", &ShaderLayouts::GenerateVolumeMips},
    {"FlatColor.vert", &ShaderLayouts::FlatColor},
    {"FlatColor.frag", &ShaderLayouts::FlatColor},
    {"Model.vert", &ShaderLayouts::ModelDraw},
    {"Model.frag", &ShaderLayouts::ModelDraw},
    {"Outline.vert", &ShaderLayouts::Outline},
    {"Outline.frag", &ShaderLayouts::Outline},
    {"BloomExtract.comp", &ShaderLayouts::BloomExtract},
    {"BloomExtractHdr.comp", &ShaderLayouts::BloomExtractHdr},
    {"BloomDownsample.comp", &ShaderLayouts::BloomLevel},
    {"BloomBlur.comp", &ShaderLayouts::BloomLevel},
    {"BloomUpsample.comp", &ShaderLayouts::BloomUpsample},
    {"BloomApply.comp", &ShaderLayouts::BloomApply},
    {"ToneMap.comp", &ShaderLayouts::ToneMap},
    {"ExposureInitialise.comp", &ShaderLayouts::ExposureInitialise},
    {"ExposureClearHistogram.comp", &ShaderLayouts::ExposureClearHistogram},
    {"ExposureHistogram.comp", &ShaderLayouts::ExposureHistogram},
    {"ExposureAdapt.comp", &ShaderLayouts::ExposureAdapt},
    {"ColorFilter.comp", &ShaderLayouts::ColorFilter},
    {"FinalCopy.comp", &ShaderLayouts::FinalCopy},
    {"OutputResample.comp", &ShaderLayouts::OutputResample},
    {"TaaLineariseDepth.comp", &ShaderLayouts::TaaLineariseDepth},
    {"TaaBlend.comp", &ShaderLayouts::TaaBlend},
    {"TaaSharpen.comp", &ShaderLayouts::TaaSharpen},
    {"TaaResolve.comp", &ShaderLayouts::TaaResolve},
    {"GIRaygen.rgen", &ShaderLayouts::GITrace},
    {"GIClosestHit.rchit", &ShaderLayouts::GITrace},
    {"GIMiss.rmiss", &ShaderLayouts::GITrace},
    {"GIShadowMiss.rmiss", &ShaderLayouts::GITrace},
    {"DDGIBlendIrradiance.comp", &ShaderLayouts::DDGIUpdate},
    {"DDGIBlendDistance.comp", &ShaderLayouts::DDGIUpdate},
    {"DDGIBorderRows.comp", &ShaderLayouts::DDGIUpdate},
    {"DDGIBorderColumns.comp", &ShaderLayouts::DDGIUpdate},
    {"DDGIRelocate.comp", &ShaderLayouts::DDGIUpdate},
    {"AORaygen.rgen", &ShaderLayouts::RtaoTrace},
    {"AOClosestHit.rchit", &ShaderLayouts::RtaoTrace},
    {"AOBounceClosestHit.rchit", &ShaderLayouts::RtaoTrace},
    {"AOMiss.rmiss", &ShaderLayouts::RtaoTrace},
    {"AOBounceMiss.rmiss", &ShaderLayouts::RtaoTrace},
    {"RtaoTemporal.comp", &ShaderLayouts::RtaoTemporal},
    {"RtaoDenoise.comp", &ShaderLayouts::RtaoDenoise},
    {"SRRaygen.rgen", &ShaderLayouts::ReflectionTrace},
    {"SRClosestHit.rchit", &ShaderLayouts::ReflectionTrace},
    {"SRBounceClosestHit.rchit", &ShaderLayouts::ReflectionTrace},
    {"SRMiss.rmiss", &ShaderLayouts::ReflectionTrace},
    {"SRBounceMiss.rmiss", &ShaderLayouts::ReflectionTrace},
    {"SRTemporal.comp", &ShaderLayouts::ReflectionTemporal},
    {"SphereToCube.comp", &ShaderLayouts::SphereToCube},
    {"GenerateRadiance.comp", &ShaderLayouts::CubeLighting},
    {"GenerateIrradiance.comp", &ShaderLayouts::CubeLighting},
    {"Sky.vert", &ShaderLayouts::SkyDraw},
    {"Sky.frag", &ShaderLayouts::SkyDraw},
    {"Ocean.vert", &ShaderLayouts::OceanDraw},
    {"Ocean.frag", &ShaderLayouts::OceanDraw},
    {"ShadowCaster.vert", &ShaderLayouts::ShadowCaster},
    {"ShadowCaster.frag", &ShaderLayouts::ShadowCaster},
    {"ConvertToVsm.comp", &ShaderLayouts::ConvertToVsm},
    {"BlurVsmX.comp", &ShaderLayouts::BlurVsm},
    {"BlurVsmY.comp", &ShaderLayouts::BlurVsm},
    {"Fxaa.comp", &ShaderLayouts::Fxaa},
    {"Soften.comp", &ShaderLayouts::Soften},
    {"Sharpen.comp", &ShaderLayouts::Sharpen},
    {"Vignette.comp", &ShaderLayouts::Vignette},
    {"MotionBlur.comp", &ShaderLayouts::MotionBlur},
    {"DofFocus.comp", &ShaderLayouts::DofFocus},
    {"DofCoc.comp", &ShaderLayouts::DofStep},
    {"DofBokeh.comp", &ShaderLayouts::DofStep},
    {"DofComposite.comp", &ShaderLayouts::DofStep},
    {"LensFlareVisibility.comp", &ShaderLayouts::LensFlareVisibility},
    {"LensFlareSprite.comp", &ShaderLayouts::LensFlareSprite},
    {"LensFlareGhost.comp", &ShaderLayouts::LensFlareSprite},
    {"SsaoPrepareDepth1.comp", &ShaderLayouts::SsaoPrepare},
    {"SsaoPrepareDepth2.comp", &ShaderLayouts::SsaoPrepare},
    {"SsaoCompute1.comp", &ShaderLayouts::SsaoCompute},
    {"SsaoCompute2.comp", &ShaderLayouts::SsaoCompute},
    {"SsaoBlurUpsamplePreMin.comp", &ShaderLayouts::SsaoBlurUpsample},
    {"SsaoBlurUpsamplePreMinBlendOut.comp", &ShaderLayouts::SsaoBlurUpsample},
    {"VolumetricRayMarch.comp", &ShaderLayouts::VolumetricRayMarch},
    {"VolumetricBlur.comp", &ShaderLayouts::VolumetricBlur},
    {"VolumetricComposite.comp", &ShaderLayouts::VolumetricComposite},
    {"Voxelize.vert", &ShaderLayouts::Voxelize},
    {"Voxelize.geom", &ShaderLayouts::Voxelize},
    {"Voxelize.frag", &ShaderLayouts::Voxelize},
    {"VoxelConvert.comp", &ShaderLayouts::VoxelConvert},
    {"VoxelDownsample.comp", &ShaderLayouts::VoxelDownsample},

    {"tests/BindingModel.comp", &TavrinTest::ShaderLayouts::BindingModel},
    {"tests/SampleLod.comp", &TavrinTest::ShaderLayouts::SampleLod},
    {"tests/StoreExtendedFormat.comp", &TavrinTest::ShaderLayouts::StoreExtendedFormat},
    {"tests/TraceTriangle.rgen", &TavrinTest::ShaderLayouts::TraceTriangle},
    {"tests/TraceTriangle.rmiss", &TavrinTest::ShaderLayouts::TraceTriangle},
    {"tests/TraceTriangle.rchit", &TavrinTest::ShaderLayouts::TraceTriangle},
    {"tests/CountFragments.vert", &TavrinTest::ShaderLayouts::CountFragments},
    {"tests/CountFragments.frag", &TavrinTest::ShaderLayouts::CountFragments},
    {"tests/MirrorTriangle.vert", &TavrinTest::ShaderLayouts::MirrorTriangle},
    {"tests/MirrorTriangle.geom", &TavrinTest::ShaderLayouts::MirrorTriangle},
    {"tests/MirrorTriangle.frag", &TavrinTest::ShaderLayouts::MirrorTriangle},
    {"tests/SceneRays.rgen", &TavrinTest::ShaderLayouts::SceneRays},
    {"tests/SceneRays.rmiss", &TavrinTest::ShaderLayouts::SceneRays},
    {"tests/SceneRays.rchit", &TavrinTest::ShaderLayouts::SceneRays},
};

}  // namespace

std::span<const ShaderRegistration> RegisteredShaders() { return kShaders; }

const ShaderRegistration* FindRegisteredShader(std::string_view file) {
    for (const ShaderRegistration& r : kShaders)
        if (r.file == file) return &r;
    return nullptr;
}

}  // namespace Engine
