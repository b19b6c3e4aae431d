#version 460
// Moment blur, down: the temporary map back into the cascade's slice of the moment array.
#include "Bindless.glsl"
#include "Evsm.glsl"
#include "shared/ShadowData.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(BlurVsmConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba32f, image2DArray, g_Moments)

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const int size = int(pc._ShadowMapSize);
    if (p.x >= size || p.y >= size) return;
    const float width = BlurKernelWidth(pc._CascadeScale.y, pc._Cascade0Scale.y, pc._FilterSize);
    const int radius = int(pc._SampleRadius);
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (int i = -radius; i <= radius; ++i) {
        const float w = BoxTapWeight(i, width);
        sum += w * texelFetch(g_Textures2D[nonuniformEXT(pc.source)], ivec2(p.x, clamp(p.y + i, 0, size - 1)), 0);
        total += w;
    }
    imageStore(g_Moments[nonuniformEXT(pc.dest)], ivec3(p, int(pc._CascadeIdx)), sum / max(total, 1e-6));
}
