// Ray-traced ambient occlusion: the options block the ray-generation shader reads (g_optionsCB,
// one 256-byte slot per frame), and the push constants of the trace, the temporal pass and the
// separable denoiser, one slot per root parameter.
#ifndef TAVRIN_SHARED_RTAO_CONSTANTS_H
#define TAVRIN_SHARED_RTAO_CONSTANTS_H
#include "SharedTypes.h"

TAVRIN_SHARED_BEGIN

struct RtaoOptions {
    float m_distance;      //  0: longest occlusion ray
    float m_falloff;       //  4: 0: every hit within reach occludes fully; more: far hits count less
    float m_accentuation;  //  8: the result is raised to 1 + this
    int32 m_numSamples;    // 12: rays per pixel
};
TAVRIN_CHECK_SIZE(RtaoOptions, 16)

struct RtaoTraceConstants {
    uint aoOutput;          //  0: "RTAO_Output", storage
    uint depthOutput;       //  4: this frame's "RTAO Depth", storage
    uint velocityOutput;    //  8: "RTAO Velocity", storage
    uint scene;             // 12: the top-level structure
    BufferAddress camera;   // 16: CameraBuffer (g_sceneCB)
    BufferAddress options;  // 24: RtaoOptions (g_optionsCB)
};
TAVRIN_CHECK_SIZE(RtaoTraceConstants, 32)
TAVRIN_CHECK_OFFSET(RtaoTraceConstants, camera, 16)
TAVRIN_CHECK_PUSH_CONSTANTS(RtaoTraceConstants)

struct RtaoTemporalConstants {
    float2 RcpBufferDim;    //  0
    float RcpSpeedLimiter;  //  8: the smallest weight of this frame against the history
    uint VelocityBuffer;    // 12: sampled views from here
    uint InAO;              // 16
    uint InTemporal;        // 20
    uint CurDepth;          // 24
    uint PreDepth;          // 28
    uint OutTemporal;       // 32: storage views
    uint OutResult;         // 36
};
TAVRIN_CHECK_SIZE(RtaoTemporalConstants, 40)
TAVRIN_CHECK_PUSH_CONSTANTS(RtaoTemporalConstants)

struct RtaoDenoiseConstants {
    float2 _Resolution;      //  0
    int32 _IsHorizontal;     //  8
    float _DepthThreshold;   // 12: 1 / the depth step (linear, 0 .. 1) at which a neighbour stops counting
    uint inputImage;         // 16: "input", sampled
    uint texture_lineardepth;  // 20: sampled
    uint outputImage;        // 24: "output", storage
};
TAVRIN_CHECK_SIZE(RtaoDenoiseConstants, 28)
TAVRIN_CHECK_PUSH_CONSTANTS(RtaoDenoiseConstants)

TAVRIN_SHARED_END

#endif
