#version 460
// Bloom pyramid and its application, one shader with a mode per step:
//   0 extract: the scene's light above the threshold, downsampled to the first level
//   1 downsample: one level to the next (2 x 2 box of bilinear taps)
//   2 blur: a 3 x 3 tent at the smallest level
//   3 upsample: blurred lower level blended into the higher one (factor in `threshold`)
//   4 apply: the bloom added to the scene (LDR path)
//   5 tone map: exposure, bloom and (when enabled) a filmic curve on the scene (HDR path)
//   6 extract (HDR path): as 0 on the exposed scene, and the luma of each texel for the
//     exposure histogram (0 black, 1-255 log2 luminance over the exposure block's range)
#extension GL_EXT_nonuniform_qualifier : require
#include "shared/PostConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(BloomConstants, pc)
layout(set = 0, binding = 0) uniform texture2D g_Textures2D[];
layout(set = 0, binding = 1, rgba16f) uniform image2D g_Images[];
layout(set = 0, binding = 1, r8ui) uniform writeonly uimage2D g_LumaImages[];
layout(set = 0, binding = 2, std430) buffer ExposureBlock { float values[]; } g_Buffers[];
layout(set = 1, binding = 0) uniform sampler LinearClamp;

float ExposureValue(uint index) { return g_Buffers[nonuniformEXT(pc.exposure)].values[index]; }

vec3 Tap(uint slot, vec2 uv) { return textureLod(sampler2D(g_Textures2D[nonuniformEXT(slot)], LinearClamp), uv, 0.0).rgb; }

vec3 Box4(uint slot, vec2 uv, vec2 texel) {
    return 0.25 * (Tap(slot, uv + texel * vec2(-0.5, -0.5)) + Tap(slot, uv + texel * vec2(0.5, -0.5)) +
                   Tap(slot, uv + texel * vec2(-0.5, 0.5)) + Tap(slot, uv + texel * vec2(0.5, 0.5)));
}

vec3 Tent(uint slot, vec2 uv, vec2 texel) {
    vec3 sum = vec3(0.0);
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) sum += Tap(slot, uv + texel * vec2(x, y)) * ((2 - abs(x)) * (2 - abs(y)));
    return sum / 16.0;
}

vec3 Filmic(vec3 x) {
    // A rational fit of the ACES curve, with white at about 11.
    return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (p.x >= size.x || p.y >= size.y) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.inverseOutputSize;
    vec4 result;
    if (pc.mode == 0u || pc.mode == 6u) {
        // Source texels per output texel: average a 2 x 2 set of bilinear taps spread over them.
        const vec2 srcTexel = pc.inverseOutputSize * 0.5;
        vec3 c = Box4(pc.sourceA, uv, srcTexel);
        if (pc.mode == 6u) {
            c *= ExposureValue(0);
            const float lum = dot(c, vec3(0.2126, 0.7152, 0.0722));
            uint code = 0u;
            if (lum > 1e-6) code = uint(clamp((log2(lum) - ExposureValue(2)) * ExposureValue(5), 0.0, 1.0) * 254.0 + 1.5);
            imageStore(g_LumaImages[nonuniformEXT(pc.luma)], p, uvec4(code));
        }
        const float luma = max(max(c.r, c.g), c.b);
        result = vec4(c * (max(luma - pc.threshold, 0.0) / max(luma, 1e-4)), 1.0);
    } else if (pc.mode == 1u) {
        result = vec4(Box4(pc.sourceA, uv, pc.inverseOutputSize * 0.5), 1.0);
    } else if (pc.mode == 2u) {
        result = vec4(Tent(pc.sourceA, uv, pc.inverseOutputSize), 1.0);
    } else if (pc.mode == 3u) {
        const vec3 higher = Tap(pc.sourceA, uv);
        const vec3 lower = Tent(pc.sourceB, uv, pc.inverseOutputSize * 2.0);
        result = vec4(mix(higher, lower, pc.threshold), 1.0);
    } else {
        const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.dest)], p);
        const vec3 bloom = Tap(pc.sourceA, uv);
        vec3 c = scene.rgb + bloom * pc.strength;
        if (pc.mode == 5u) {
            c *= ExposureValue(0);
            if (pc.enableTonemap != 0u) c = Filmic(c);
        }
        result = vec4(c, scene.a);
    }
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, result);
}
