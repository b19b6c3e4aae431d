// The C++ sizes of the structs declared in shaders/shared/, for the build-time check of the
// sizes the shaders lay them out with. A new shared struct gets a line here.
#include "shaders/check/ShaderInterfaceCheck.h"
#include "shaders/shared/BloomConstants.h"
#include "shaders/shared/CameraBuffer.h"
#include "shaders/shared/DDGIConstants.h"
#include "shaders/shared/DofConstants.h"
#include "shaders/shared/ExposureConstants.h"
#include "shaders/shared/FlatColorConstants.h"
#include "shaders/shared/GeometryHitRecord.h"
#include "shaders/shared/LensFlareConstants.h"
#include "shaders/shared/GenerateMipsConstants.h"
#include "shaders/shared/MaterialBuffer.h"
#include "shaders/shared/ModelDraw.h"
#include "shaders/shared/PostConstants.h"
#include "shaders/shared/RenderConfig.h"
#include "shaders/shared/SkyConstants.h"
#include "shaders/shared/ShadowData.h"
#include "shaders/shared/SsaoConstants.h"
#include "shaders/shared/TaaConstants.h"
#include "shaders/shared/VolumetricConstants.h"
#include "shaders/shared/VolumeMipConstants.h"
#include "shaders/shared/ReflectionConstants.h"
#include "shaders/shared/RtaoConstants.h"
#include "shaders/shared/VoxelGi.h"
#include "shaders/tests/CountFragmentsConstants.h"
#include "shaders/tests/MirrorTriangleConstants.h"
#include "shaders/tests/SampleLodConstants.h"
#include "shaders/tests/SceneRayConstants.h"

namespace ShaderCheck {
namespace {

#define TAVRIN_SHARED_SIZE(Type) SharedStructSize{#Type, sizeof(Engine::Shared::Type)}

constexpr SharedStructSize kSharedStructs[] = {
    TAVRIN_SHARED_SIZE(CameraBuffer),          TAVRIN_SHARED_SIZE(MaterialBuffer),
    TAVRIN_SHARED_SIZE(RenderConfig),          TAVRIN_SHARED_SIZE(OceanConstants),
    TAVRIN_SHARED_SIZE(ModelFrameConstants),   TAVRIN_SHARED_SIZE(ModelDrawConstants),
    TAVRIN_SHARED_SIZE(OutlineConstants),
    TAVRIN_SHARED_SIZE(FinalCopyConstants),    TAVRIN_SHARED_SIZE(ResampleConstants),
    TAVRIN_SHARED_SIZE(ColorFilterConstants),
    TAVRIN_SHARED_SIZE(FxaaConstants),         TAVRIN_SHARED_SIZE(SoftenConstants),
    TAVRIN_SHARED_SIZE(SharpenConstants),      TAVRIN_SHARED_SIZE(VignetteConstants),
    TAVRIN_SHARED_SIZE(MotionBlurConstants),   TAVRIN_SHARED_SIZE(DofConstants),
    TAVRIN_SHARED_SIZE(LensFlareVisibilityConstants), TAVRIN_SHARED_SIZE(LensFlareSpriteConstants),
    TAVRIN_SHARED_SIZE(SsaoPrepareConstants),  TAVRIN_SHARED_SIZE(SsaoComputeConstants),
    TAVRIN_SHARED_SIZE(SsaoBlurConstants),
    TAVRIN_SHARED_SIZE(VolumetricLightingParams), TAVRIN_SHARED_SIZE(VolumetricRayMarchConstants),
    TAVRIN_SHARED_SIZE(VolumetricBlurConstants), TAVRIN_SHARED_SIZE(VolumetricCompositeConstants),
    TAVRIN_SHARED_SIZE(ShadowData),            TAVRIN_SHARED_SIZE(ShadowCasterConstants),
    TAVRIN_SHARED_SIZE(ConvertToVsmConstants), TAVRIN_SHARED_SIZE(BlurVsmConstants),
    TAVRIN_SHARED_SIZE(BloomExtractConstants), TAVRIN_SHARED_SIZE(BloomExtractHdrConstants),
    TAVRIN_SHARED_SIZE(BloomLevelConstants),   TAVRIN_SHARED_SIZE(BloomUpsampleConstants),
    TAVRIN_SHARED_SIZE(BloomApplyConstants),   TAVRIN_SHARED_SIZE(ToneMapConstants),
    TAVRIN_SHARED_SIZE(ExposureInitialiseConstants), TAVRIN_SHARED_SIZE(ExposureClearConstants),
    TAVRIN_SHARED_SIZE(ExposureHistogramConstants),  TAVRIN_SHARED_SIZE(ExposureAdaptConstants),
    TAVRIN_SHARED_SIZE(TaaLineariseConstants), TAVRIN_SHARED_SIZE(TaaBlendConstants),
    TAVRIN_SHARED_SIZE(TaaSharpenConstants),   TAVRIN_SHARED_SIZE(TaaResolveConstants),
    TAVRIN_SHARED_SIZE(FlatColorConstants),    TAVRIN_SHARED_SIZE(GenerateMipsConstants),
    TAVRIN_SHARED_SIZE(RtaoOptions),           TAVRIN_SHARED_SIZE(RtaoTraceConstants),
    TAVRIN_SHARED_SIZE(RtaoTemporalConstants), TAVRIN_SHARED_SIZE(RtaoDenoiseConstants),
    TAVRIN_SHARED_SIZE(ReflectionOptions),     TAVRIN_SHARED_SIZE(ReflectionTraceConstants),
    TAVRIN_SHARED_SIZE(ReflectionTemporalConstants),
    TAVRIN_SHARED_SIZE(VolumeMipConstants),    TAVRIN_SHARED_SIZE(VoxelizationParameters),
    TAVRIN_SHARED_SIZE(VoxelizeDrawConstants), TAVRIN_SHARED_SIZE(VoxelConvertConstants),
    TAVRIN_SHARED_SIZE(VoxelMipConstants),     TAVRIN_SHARED_SIZE(VoxelGiConstants),
    TAVRIN_SHARED_SIZE(SampleLodConstants),    TAVRIN_SHARED_SIZE(CountFragmentsConstants),
    TAVRIN_SHARED_SIZE(MirrorTriangleConstants),
    TAVRIN_SHARED_SIZE(VolumeConstants),       TAVRIN_SHARED_SIZE(GIOptions),
    TAVRIN_SHARED_SIZE(DDGIUpdateConstants),   TAVRIN_SHARED_SIZE(GITraceConstants),
    TAVRIN_SHARED_SIZE(GeometryHitRecord),     TAVRIN_SHARED_SIZE(SceneRayConstants),
    TAVRIN_SHARED_SIZE(SceneRay),              TAVRIN_SHARED_SIZE(SceneRayHit),
    TAVRIN_SHARED_SIZE(SphereToCubeConstants), TAVRIN_SHARED_SIZE(CubeLightingConstants),
    TAVRIN_SHARED_SIZE(SkyDrawConstants),      TAVRIN_SHARED_SIZE(OceanDrawConstants),
};

#undef TAVRIN_SHARED_SIZE

}  // namespace

std::span<const SharedStructSize> SharedStructSizes() { return kSharedStructs; }

}  // namespace ShaderCheck
