#version 460
// Temporal anti-aliasing, one shader with a mode per step:
//   0 linearise: the resolved depth to view distance over the far plane, 2 x 2 pixels a thread
//   1 blend: the current colour into the history fetched along the motion, the history clamped
//     to the current neighbourhood so that disoccluded and changed pixels do not smear; history
//     whose depth lies outside the current neighbourhood's depths is another surface and dropped
//   2 sharpen: history back into the scene with an unsharp cross
//   3 resolve: history back into the scene as is
// A history texel of alpha 0 (never written) takes the current colour.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "shared/PostConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(TaaConstants, pc)
layout(set = 0, binding = 0) uniform texture2D g_Textures2D[];
layout(set = 0, binding = 1, rgba16f) uniform image2D g_Images[];
layout(set = 0, binding = 1) uniform writeonly image2D g_RWTextures2D[];
layout(set = 1, binding = 0) uniform sampler LinearBorder;

vec4 Fetch(uint slot, ivec2 p) {
    const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(slot)], 0);
    return texelFetch(g_Textures2D[nonuniformEXT(slot)], clamp(p, ivec2(0), size - 1), 0);
}

// Relative depth difference still taken for the same surface: a surface moving along the view
// direction changes its depth between frames, and the 16-bit linear depth rounds.
const float kDepthTolerance = 0.05;

void Linearise(ivec2 p) {
    const float d = Fetch(pc.curDepth, p).r;
    // View distance n f / (f - d (f - n)), stored over f.
    const float linear = pc.nearZ / (pc.farZ - d * (pc.farZ - pc.nearZ));
    imageStore(g_RWTextures2D[nonuniformEXT(pc.dest)], p, vec4(linear, 0.0, 0.0, 0.0));
}

void Blend(ivec2 p, ivec2 size) {
    const vec4 current = Fetch(pc.color, p);
    vec3 lo = current.rgb, hi = current.rgb;
    float nearest = 1.0, farthest = 0.0;
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) {
            const vec3 c = Fetch(pc.color, p + ivec2(x, y)).rgb;
            lo = min(lo, c);
            hi = max(hi, c);
            const float z = Fetch(pc.curDepth, p + ivec2(x, y)).r;
            nearest = min(nearest, z);
            farthest = max(farthest, z);
        }
    const vec2 velocity = Fetch(pc.velocity, p).xy;
    // The jitter moved the image by the change of the viewport offset; the history follows.
    const vec2 uv = (vec2(p) + 0.5) * pc.rcpBufferDim - velocity + pc.viewportJitter * pc.rcpBufferDim;
    vec4 history = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.historyIn)], LinearBorder), uv, 0.0);
    const float previousDepth = Fetch(pc.preDepth, ivec2(floor(uv / pc.rcpBufferDim))).r;
    const bool sameSurface = previousDepth >= nearest * (1.0 - kDepthTolerance) &&
                             previousDepth <= farthest * (1.0 + kDepthTolerance);
    vec3 result = current.rgb;
    if (history.a > 0.0 && sameSurface) {
        const vec3 clamped = clamp(history.rgb, lo, hi);
        result = mix(clamped, current.rgb, max(pc.rcpSpeedLimiter, 0.0));
    }
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(result, 1.0));
}

void main() {
    if (pc.mode == 0u) {
        const ivec2 size = textureSize(g_Textures2D[nonuniformEXT(pc.curDepth)], 0);
        const ivec2 p = ivec2(gl_GlobalInvocationID.xy * 2u);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                if (p.x + x < size.x && p.y + y < size.y) Linearise(p + ivec2(x, y));
        return;
    }
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (pc.mode == 1u) {
        // Two pixels per thread, side by side.
        const ivec2 p = ivec2(gl_GlobalInvocationID.x * 2u, gl_GlobalInvocationID.y);
        for (int i = 0; i < 2; ++i)
            if (p.x + i < size.x && p.y < size.y) Blend(p + ivec2(i, 0), size);
        return;
    }
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= size.x || p.y >= size.y) return;
    vec3 c = Fetch(pc.historyIn, p).rgb;
    if (pc.mode == 2u) {
        const vec3 cross = Fetch(pc.historyIn, p + ivec2(1, 0)).rgb + Fetch(pc.historyIn, p + ivec2(-1, 0)).rgb +
                           Fetch(pc.historyIn, p + ivec2(0, 1)).rgb + Fetch(pc.historyIn, p + ivec2(0, -1)).rgb;
        c = max(c * pc.sharpenWA - cross * pc.sharpenWB, vec3(0.0));
    }
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(c, 1.0));
}
