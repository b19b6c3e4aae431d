#version 460
// Builds mip i of a texture from mip i-1 with an area-weighted box filter: each destination
// texel averages the source texels its footprint covers, weighted by overlap, so odd sizes
// (5 -> 2) keep every source texel's contribution. Views are arrays: z picks the slice (a cube's
// face, an array's layer), and each slice is filtered on its own.
#include "Bindless.glsl"
#include "shared/GenerateMipsConstants.h"
TAVRIN_PUSH_CONSTANTS(GenerateMipsConstants, pc)

layout(local_size_x = 8, local_size_y = 8) in;

vec3 LinearToSrgb(vec3 c) {
    return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, greaterThan(c, vec3(0.0031308)));
}

void main() {
    const uvec2 dstSize = uvec2(round(1.0 / pc.texelSize));
    const uvec2 dst = gl_GlobalInvocationID.xy;
    const int slice = int(gl_GlobalInvocationID.z);
    if (dst.x >= dstSize.x || dst.y >= dstSize.y) return;
    const ivec2 srcSize = textureSize(g_Textures2DArray[nonuniformEXT(pc.srcIndex)], 0).xy;
    const vec2 ratio = vec2(srcSize) / vec2(dstSize);
    const vec2 lo = vec2(dst) * ratio;
    const vec2 hi = lo + ratio;
    vec4 sum = vec4(0.0);
    float weightSum = 0.0;
    for (int y = int(floor(lo.y)); y < int(ceil(hi.y)); ++y) {
        const float wy = min(hi.y, float(y + 1)) - max(lo.y, float(y));
        for (int x = int(floor(lo.x)); x < int(ceil(hi.x)); ++x) {
            const float wx = min(hi.x, float(x + 1)) - max(lo.x, float(x));
            sum += texelFetch(g_Textures2DArray[nonuniformEXT(pc.srcIndex)], ivec3(x, y, slice), 0) * (wx * wy);
            weightSum += wx * wy;
        }
    }
    vec4 color = sum / weightSum;
    if (pc.isSrgb != 0) color.rgb = LinearToSrgb(color.rgb);
    imageStore(g_RWTextures2DArray[nonuniformEXT(pc.dstIndex)], ivec3(dst, slice), color);
}
