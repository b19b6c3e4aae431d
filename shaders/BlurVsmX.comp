#version 460
// Moment blur, across: one slice of the moment array into the temporary map.
#include "Bindless.glsl"
#include "Evsm.glsl"
#include "shared/ShadowData.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(BlurVsmConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba32f, image2D, g_Output)

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const int size = int(pc._ShadowMapSize);
    if (p.x >= size || p.y >= size) return;
    const float width = BlurKernelWidth(pc._CascadeScale.x, pc._Cascade0Scale.x, pc._FilterSize);
    const int radius = int(pc._SampleRadius);
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (int i = -radius; i <= radius; ++i) {
        const float w = BoxTapWeight(i, width);
        const ivec3 at = ivec3(clamp(p.x + i, 0, size - 1), p.y, int(pc._CascadeIdx));
        sum += w * texelFetch(g_Textures2DArray[nonuniformEXT(pc.source)], at, 0);
        total += w;
    }
    imageStore(g_Output[nonuniformEXT(pc.dest)], p, sum / max(total, 1e-6));
}
