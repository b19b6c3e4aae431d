#version 460
// Fits the final image into the output: scaled to the largest size that keeps its aspect,
// centred, with black bars on the remaining sides.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(ResampleConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba8) uniform writeonly image2D g_Images[];
layout(set = 1, binding = 0) uniform sampler LinearClamp;

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.destWidth) || p.y >= int(pc.destHeight)) return;
    const vec2 dest = vec2(pc.destWidth, pc.destHeight);
    // Image size inside the output, in output pixels.
    vec2 fitted = dest;
    if (dest.x / dest.y > pc.aspectRatio) fitted.x = dest.y * pc.aspectRatio;
    else fitted.y = dest.x / pc.aspectRatio;
    const vec2 origin = (dest - fitted) * 0.5;
    const vec2 uv = (vec2(p) + 0.5 - origin) / fitted;
    vec4 c = vec4(0.0, 0.0, 0.0, 1.0);
    if (all(greaterThanEqual(uv, vec2(0.0))) && all(lessThanEqual(uv, vec2(1.0))))
        c = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.source)], LinearClamp), uv, 0.0);
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, c);
}
