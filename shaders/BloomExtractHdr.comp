#version 460
// The exposed scene's light above the threshold, downsampled into the first bloom level (HDR
// path), and the luma of each of its texels for the exposure histogram: 0 for black, 1-255 the
// log2 luminance over the exposure block's range.
#extension GL_EXT_nonuniform_qualifier : require
#include "Bindless.glsl"
#include "shared/BloomConstants.h"
#include "BloomFilters.glsl"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(BloomExtractHdrConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, r8ui) uniform writeonly uimage2D g_LumaImages[];
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) readonly buffer ExposureBlock { float values[]; } g_Buffers[];

float ExposureValue(uint index) { return g_Buffers[nonuniformEXT(pc.exposure)].values[index]; }

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (p.x >= size.x || p.y >= size.y) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.inverseOutputSize;
    const vec3 c = Box4(pc.source, uv, pc.inverseOutputSize * 0.5) * ExposureValue(0);
    const float lum = dot(c, vec3(0.2126, 0.7152, 0.0722));
    uint code = 0u;
    if (lum > 1e-6) code = uint(clamp((log2(lum) - ExposureValue(2)) * ExposureValue(5), 0.0, 1.0) * 254.0 + 1.5);
    imageStore(g_LumaImages[nonuniformEXT(pc.luma)], p, uvec4(code));
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, BrightPart(c, pc.threshold));
}
