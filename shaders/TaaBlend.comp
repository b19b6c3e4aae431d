#version 460
// The current colour blended into the history fetched along the motion, two pixels side by side
// a thread. The history is clamped to the current 3 x 3 neighbourhood so that changed pixels do
// not smear, and history whose depth lies outside the neighbourhood's depths is another surface
// and dropped, so a disoccluded pixel shows at once. A history texel of alpha 0 (never written)
// takes the current colour.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/TaaConstants.h"
#include "ClampedFetch.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(TaaBlendConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];
layout(set = 1, binding = 0) uniform sampler LinearBorder;

// Relative depth difference still taken for the same surface: a surface moving along the view
// direction changes its depth between frames, and the 16-bit linear depth rounds.
const float kDepthTolerance = 0.05;

void Blend(ivec2 p) {
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
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    const ivec2 p = ivec2(gl_GlobalInvocationID.x * 2u, gl_GlobalInvocationID.y);
    for (int i = 0; i < 2; ++i)
        if (p.x + i < size.x && p.y < size.y) Blend(p + ivec2(i, 0));
}
