// Ray-traced reflections: the options block every shader of the reflection pipeline reads
// (one 256-byte slot per frame), and the push constants of the trace and of the temporal pass,
// one slot per root parameter.
#ifndef TAVRIN_SHARED_REFLECTION_CONSTANTS_H
#define TAVRIN_SHARED_REFLECTION_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

/// The frame's lighting as the model draw has it, and the rays' count and reach.
struct ReflectionOptions {
    float3 SunDirection;       //  0
    int32 SunLightEnable;      // 12
    float3 SunColor;           // 16
    float SunIntensity;        // 28
    float3 AmbientColor;       // 32
    float AmbientIntensity;    // 44
    int32 numSamples;          // 48: reflection rays per pixel
    float maxDistance;         // 52: their length
    int32 GI_Mode;             // 56: 1: the hits read the probe volume
    int32 EnableSky;           // 60: the sky cube is bound (IBL_Enable)
    float SkyLightUpperLimit;  // 64
    int32 SSS_Enable;          // 68: the skin table shades scattering materials
};
TAVRIN_CHECK_SIZE(ReflectionOptions, 72)
TAVRIN_CHECK_OFFSET(ReflectionOptions, numSamples, 48)
TAVRIN_CHECK_OFFSET(ReflectionOptions, SSS_Enable, 68)

struct ReflectionTraceConstants {
    BufferAddress camera;       //  0: CameraBuffer (g_sceneCB)
    BufferAddress options;      //  8: ReflectionOptions (g_optionsCB)
    BufferAddress ddgiVolumes;  // 16: the frame's VolumeConstants records; 0 unless probe GI
    uint renderTarget;          // 24: "RTSR Color", storage
    uint depthOutput;           // 28: this frame's "RTSR Depth", storage
    uint velocityOutput;        // 32: "RTSR Velocity", storage
    uint brdfIbl;               // 36: sampled; none: 0xffffffff
    uint brdfSkin;              // 40
    uint environment;           // 44: the sky's lighting cube, while EnableSky
    uint scene;                 // 48: the top-level structure
    uint ddgiTable;             // 52: the probe atlases are reached through the records
    uint ddgiVolumeCount;       // 56
    uint padding0;              // 60: keeps the block a whole number of addresses
};
TAVRIN_CHECK_SIZE(ReflectionTraceConstants, 64)
TAVRIN_CHECK_OFFSET(ReflectionTraceConstants, renderTarget, 24)
TAVRIN_CHECK_OFFSET(ReflectionTraceConstants, ddgiVolumeCount, 56)
TAVRIN_CHECK_PUSH_CONSTANTS(ReflectionTraceConstants)

struct ReflectionTemporalConstants {
    float2 RcpBufferDim;      //  0
    float RcpSpeedLimiter;    //  8: the smallest weight of this frame against the history
    float2 ViewportJitter;    // 12: the trace is not jittered: zero
    uint VelocityBuffer;      // 20: sampled views from here
    uint InColor;             // 24
    uint InTemporalColor;     // 28
    uint InTemporalWeight;    // 32
    uint CurDepth;            // 36
    uint PreDepth;            // 40
    uint OutTemporalColor;    // 44: storage views
    uint OutTemporalWeight;   // 48
    uint OutResult;           // 52
};
TAVRIN_CHECK_SIZE(ReflectionTemporalConstants, 56)
TAVRIN_CHECK_OFFSET(ReflectionTemporalConstants, VelocityBuffer, 20)
TAVRIN_CHECK_PUSH_CONSTANTS(ReflectionTemporalConstants)

TAVRIN_SHARED_END

#endif
