// The probe volume's blocks. VolumeConstants is one 256-byte record per volume and frame in the
// volume group buffer (record of volume v in frame f at (v + f * volumes) * 256); the probe
// shaders, the model shader and the ray-traced hit shaders all read it. Besides the volume's
// values it carries the bindless indices of its four textures (in bytes the record leaves zero
// otherwise), so every reader reaches the atlases from the record alone.
//
// Probe p = x + countX * (y + countY * z) of a volume: row p of the ray-data texture (one texel
// per ray); tile (x + countX * y, z) of each atlas, tiles of (texels + 2)^2 with a one-texel
// border; texel (x + countX * y, z) of the offsets texture.
#ifndef TAVRIN_SHARED_DDGI_CONSTANTS_H
#define TAVRIN_SHARED_DDGI_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct VolumeConstants {
    float3 origin;               //   0
    int32 raysPerProbe;          //  12
    float3 probeSpacing;         //  16
    float maxRayDistance;        //  28
    int32 probeCountX;           //  32
    int32 probeCountY;           //  36
    int32 probeCountZ;           //  40
    float distanceExponent;      //  44
    float hysteresis;            //  48
    float changeThreshold;       //  52
    float brightnessThreshold;   //  56
    float irradianceGamma;       //  60
    float irradianceGammaInverse;//  64
    int32 irradianceTexels;      //  68
    int32 distanceTexels;        //  72
    float normalBias;            //  76
    float viewBias;              //  80
    uint historyValid;           //  84: 0 on the first update: the blend takes the new values whole
    uint rayDataImage;           //  88: storage image (rgba16f)
    uint offsetsImage;           //  92: storage image (rgba16f)
    float4x4 rayRotation;        //  96
    uint irradianceImage;        // 160: storage image (rgba16f)
    uint distanceImage;          // 164: storage image (rg32f)
    uint irradianceTexture;      // 168: sampled
    uint distanceTexture;        // 172: sampled
    float backfaceThreshold;     // 176
    float minFrontFaceDistance;  // 180
    uint offsetsTexture;         // 184: sampled
    uint padding[17];            // 188
};
TAVRIN_CHECK_SIZE(VolumeConstants, 256)
TAVRIN_CHECK_OFFSET(VolumeConstants, raysPerProbe, 12)
TAVRIN_CHECK_OFFSET(VolumeConstants, probeCountX, 32)
TAVRIN_CHECK_OFFSET(VolumeConstants, irradianceGammaInverse, 64)
TAVRIN_CHECK_OFFSET(VolumeConstants, viewBias, 80)
TAVRIN_CHECK_OFFSET(VolumeConstants, rayRotation, 96)
TAVRIN_CHECK_OFFSET(VolumeConstants, backfaceThreshold, 176)
TAVRIN_CHECK_OFFSET(VolumeConstants, offsetsTexture, 184)

/// The lighting the GI rays shade their hits with (copied from the render settings each frame).
struct GIOptions {
    float3 SunDirection;       //  0
    int32 SunLightEnable;      // 12
    float3 SunColor;           // 16
    float SunIntensity;        // 28
    float3 AmbientColor;       // 32
    float AmbientIntensity;    // 44
    int32 IBL_Enable;          // 48
    float SkyLightUpperLimit;  // 52
};
TAVRIN_CHECK_SIZE(GIOptions, 56)

/// Push constants of the probe compute shaders: the texels per probe side and which atlas
/// (border passes), or the distance scale (relocation, as float bits); this volume's record.
struct DDGIUpdateConstants {
    uint value0;             //  0
    uint value1;             //  4
    uint value2;             //  8
    uint value3;             // 12
    BufferAddress volume;    // 16: VolumeConstants of this volume and frame
};
TAVRIN_CHECK_SIZE(DDGIUpdateConstants, 24)
TAVRIN_CHECK_PUSH_CONSTANTS(DDGIUpdateConstants)

/// Push constants of the GI ray-tracing pipeline (its global layout).
struct GITraceConstants {
    uint volumeIndex;        //  0 (4 bytes of alignment follow)
    BufferAddress volumes;   //  8: this frame's VolumeConstants records
    uint ddgiTable;          // 16: (the records carry the atlases' indices)
    uint scene;              // 20: top-level structure, g_Scenes
    uint environmentMap;     // 24: cube texture, or none (4 bytes of alignment follow)
    BufferAddress options;   // 32: GIOptions of this frame
};
TAVRIN_CHECK_SIZE(GITraceConstants, 40)
TAVRIN_CHECK_OFFSET(GITraceConstants, volumes, 8)
TAVRIN_CHECK_OFFSET(GITraceConstants, options, 32)
TAVRIN_CHECK_PUSH_CONSTANTS(GITraceConstants)

TAVRIN_SHARED_END

#endif
