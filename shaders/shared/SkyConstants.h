// Push constants of the sky: the environment's conversion into a cube (SphereToCube), the
// lighting cube's accumulation steps (GenerateRadiance, GenerateIrradiance), and the two draws
// that read the environment image (Sky, Ocean). Images are bindless heap indices.
#ifndef TAVRIN_SHARED_SKY_CONSTANTS_H
#define TAVRIN_SHARED_SKY_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// The equirectangular image (sampled) into mip 0 of the six faces (storage, array of six).
struct SphereToCubeConstants {
    uint image;     // 2-D environment image
    uint target;    // storage view of the cube's mip 0
    uint faceSize;  // texels along a face's side
};
TAVRIN_CHECK_SIZE(SphereToCubeConstants, 12)
TAVRIN_CHECK_PUSH_CONSTANTS(SphereToCubeConstants)

/// One accumulation step of one mip of the lighting cube: `progress` earlier steps are already
/// averaged into it (0: the mip holds nothing yet).
struct CubeLightingConstants {
    uint environment;  // the environment cube, all mips
    uint target;       // storage view (rgba32f, array of six) of the mip written
    uint faceSize;     // texels along the written mip's side
    uint progress;     // steps done before this one
    float roughness;   // 0 .. 1 (radiance only)
    uint sampleCount;  // directions added per texel by this step
    float environmentSize;  // texels along a face of the environment cube's mip 0
};
TAVRIN_CHECK_SIZE(CubeLightingConstants, 28)
TAVRIN_CHECK_OFFSET(CubeLightingConstants, roughness, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(CubeLightingConstants)

/// The sky draw: the camera and the environment image.
struct SkyDrawConstants {
    BufferAddress camera;  //  0: CameraBuffer of this frame
    uint skyMap;           //  8: 2-D environment image
    float maxRadiance;     // 12: the drawn sky is clamped to this, so bloom stays in bounds
};
TAVRIN_CHECK_SIZE(SkyDrawConstants, 16)
TAVRIN_CHECK_OFFSET(SkyDrawConstants, skyMap, 8)
TAVRIN_CHECK_PUSH_CONSTANTS(SkyDrawConstants)

/// The ocean draw: the camera, the ocean block of this frame and the environment image.
struct OceanDrawConstants {
    BufferAddress camera;  //  0: CameraBuffer of this frame
    BufferAddress ocean;   //  8: OceanConstants of this frame (the time filled in)
    uint skyMap;           // 16: 2-D environment image
    float maxRadiance;     // 20: reflections are clamped to this
};
TAVRIN_CHECK_SIZE(OceanDrawConstants, 24)
TAVRIN_CHECK_OFFSET(OceanDrawConstants, ocean, 8)
TAVRIN_CHECK_OFFSET(OceanDrawConstants, skyMap, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(OceanDrawConstants)

TAVRIN_SHARED_END

#endif
