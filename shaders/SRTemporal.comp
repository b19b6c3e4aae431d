#version 460
// Blends this frame's traced reflections with the history reprojected along the surface's motion
// (TemporalReprojection.glsl). The history holds the colour and, beside it, the frames it
// accumulated; this frame weighs 1 / (frames + 1), never less than RcpSpeedLimiter, so a still
// scene's noise falls over the frames and a moving one keeps up. Each thread of an 8 x 8 group
// does two pixels side by side.
#include "Bindless.glsl"
#include "shared/ReflectionConstants.h"
#include "TemporalReprojection.glsl"
TAVRIN_PUSH_CONSTANTS(ReflectionTemporalConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_ColorImages)
TAVRIN_STORAGE_IMAGES(r16f, image2D, g_WeightImages)

layout(set = 1, binding = 0) uniform sampler LinearClamp;
layout(local_size_x = 8, local_size_y = 8) in;

void Filter(ivec2 pixel, ivec2 size) {
    if (any(greaterThanEqual(pixel, size))) return;
    const vec4 color = texelFetch(g_Textures2D[nonuniformEXT(pc.InColor)], pixel, 0);
    vec2 previous;
    vec4 history = color;
    float frames = 0.0;
    if (ReprojectHistory(pixel, pc.RcpBufferDim, pc.VelocityBuffer, pc.CurDepth, pc.PreDepth, LinearClamp, previous)) {
        history = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.InTemporalColor)], LinearClamp), previous, 0.0);
        frames = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.InTemporalWeight)], LinearClamp), previous, 0.0).r;
    }
    if (any(isnan(history)) || any(isinf(history)) || isnan(frames)) {
        history = color;
        frames = 0.0;
    }
    frames = clamp(frames, 0.0, 1024.0);
    // At most all of this frame, whatever limit a setting gives.
    const float weight = clamp(max(1.0 / (frames + 1.0), pc.RcpSpeedLimiter), 0.0, 1.0);
    const vec4 result = mix(history, color, weight);
    imageStore(g_ColorImages[nonuniformEXT(pc.OutTemporalColor)], pixel, result);
    imageStore(g_WeightImages[nonuniformEXT(pc.OutTemporalWeight)], pixel, vec4(frames + 1.0));
    imageStore(g_ColorImages[nonuniformEXT(pc.OutResult)], pixel, result);
}

void main() {
    const ivec2 size = ivec2(round(1.0 / pc.RcpBufferDim));
    const ivec2 base = ivec2(gl_GlobalInvocationID.x * 2u, gl_GlobalInvocationID.y);
    Filter(base, size);
    Filter(base + ivec2(1, 0), size);
}
