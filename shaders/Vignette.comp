#version 460
// Vignette: the scene darkened towards the corners in place, by the natural fall-off of a lens
// (1 / (1 + r^2)^2, r the distance from the centre in heights, scaled by the fall-off amount).
// The centre keeps its value.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(VignetteConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Images)

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.texelSize.x) || p.y >= int(pc.texelSize.y)) return;
    const vec2 uv = (vec2(p) + 0.5) / pc.texelSize;
    const vec2 offset = (uv - 0.5) * vec2(pc.aspect, 1.0) * 2.0;
    const float r = length(offset) * pc.falloff;
    const float r2 = r * r + 1.0;
    const float factor = 1.0 / (r2 * r2);
    const vec4 c = imageLoad(g_Images[nonuniformEXT(pc.scene)], p);
    imageStore(g_Images[nonuniformEXT(pc.scene)], p, vec4(c.rgb * factor, c.a));
}
