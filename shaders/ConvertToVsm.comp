#version 460
// One cascade's tile of the depth atlas into exponential moments in its slice of the array.
#include "Bindless.glsl"
#include "Evsm.glsl"
#include "shared/ShadowData.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(ConvertToVsmConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba32f, image2DArray, g_Moments)

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const int size = int(pc._ShadowMapSize);
    if (p.x >= size || p.y >= size) return;
    const float depth = texelFetch(g_Textures2D[nonuniformEXT(pc.shadowMap)], ivec2(p.x + int(pc._CascadeIdx) * size, p.y), 0).r;
    const vec4 moments = EvsmMoments(depth, vec2(pc._PositiveExponent, pc._NegativeExponent));
    imageStore(g_Moments[nonuniformEXT(pc.vsm)], ivec3(p, int(pc._CascadeIdx)), moments);
}
