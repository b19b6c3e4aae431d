#version 460
// Blends this frame's traced occlusion with the history reprojected along the surface's motion.
// The history holds (occlusion, frames accumulated); this frame weighs 1 / (frames + 1), never
// less than RcpSpeedLimiter, so a still scene's noise falls over the frames and a moving one
// keeps up. History of another surface is dropped (TemporalReprojection.glsl). Each thread of an
// 8 x 8 group does two pixels side by side.
#include "Bindless.glsl"
#include "shared/RtaoConstants.h"
#include "TemporalReprojection.glsl"
TAVRIN_PUSH_CONSTANTS(RtaoTemporalConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_TemporalImages)
TAVRIN_STORAGE_IMAGES(r8, image2D, g_ResultImages)

layout(set = 1, binding = 0) uniform sampler LinearClamp;
layout(local_size_x = 8, local_size_y = 8) in;

void Filter(ivec2 pixel, ivec2 size) {
    if (any(greaterThanEqual(pixel, size))) return;
    const float ao = texelFetch(g_Textures2D[nonuniformEXT(pc.InAO)], pixel, 0).r;
    vec2 previous;
    vec2 history = vec2(ao, 0.0);
    if (ReprojectHistory(pixel, pc.RcpBufferDim, pc.VelocityBuffer, pc.CurDepth, pc.PreDepth, LinearClamp, previous))
        history = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.InTemporal)], LinearClamp), previous, 0.0).rg;
    if (any(isnan(history)) || any(isinf(history))) history = vec2(ao, 0.0);
    const float frames = clamp(history.y, 0.0, 255.0);
    // At most all of this frame, whatever limit a setting gives.
    const float weight = clamp(max(1.0 / (frames + 1.0), pc.RcpSpeedLimiter), 0.0, 1.0);
    const float result = mix(history.x, ao, weight);
    imageStore(g_TemporalImages[nonuniformEXT(pc.OutTemporal)], pixel, vec4(result, frames + 1.0, 0.0, 0.0));
    imageStore(g_ResultImages[nonuniformEXT(pc.OutResult)], pixel, vec4(result));
}

void main() {
    const ivec2 size = ivec2(round(1.0 / pc.RcpBufferDim));
    const ivec2 base = ivec2(gl_GlobalInvocationID.x * 2u, gl_GlobalInvocationID.y);
    Filter(base, size);
    Filter(base + ivec2(1, 0), size);
}
