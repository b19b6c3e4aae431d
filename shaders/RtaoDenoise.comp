#version 460
// One direction of the separable depth-aware blur of the occlusion: a 9-tap Gaussian whose taps
// count less the further their linear depth lies from the centre's (none past 1 / threshold), so
// the blur stays on its surface and depth edges stay sharp. 256 threads run along the blur axis.
#include "Bindless.glsl"
#include "shared/RtaoConstants.h"
TAVRIN_PUSH_CONSTANTS(RtaoDenoiseConstants, pc)
TAVRIN_STORAGE_IMAGES(r8, image2D, g_Outputs)

layout(local_size_x = 256, local_size_y = 1) in;

const int kRadius = 4;
const float kWeights[kRadius + 1] = float[](0.2270, 0.1945, 0.1216, 0.0540, 0.0162);

void main() {
    const ivec2 size = ivec2(pc._Resolution);
    const bool horizontal = pc._IsHorizontal != 0;
    const ivec2 pixel = horizontal ? ivec2(gl_GlobalInvocationID.x, gl_WorkGroupID.y)
                                   : ivec2(gl_WorkGroupID.x, gl_WorkGroupID.y * 256u + gl_LocalInvocationID.x);
    if (any(greaterThanEqual(pixel, size))) return;
    const ivec2 step = horizontal ? ivec2(1, 0) : ivec2(0, 1);
    const float centreDepth = texelFetch(g_Textures2D[nonuniformEXT(pc.texture_lineardepth)], pixel, 0).r;
    float sum = 0.0, weightSum = 0.0;
    for (int i = -kRadius; i <= kRadius; ++i) {
        const ivec2 p = clamp(pixel + step * i, ivec2(0), size - 1);
        const float depth = texelFetch(g_Textures2D[nonuniformEXT(pc.texture_lineardepth)], p, 0).r;
        const float w = kWeights[abs(i)] * clamp(1.0 - abs(depth - centreDepth) * pc._DepthThreshold, 0.0, 1.0);
        sum += texelFetch(g_Textures2D[nonuniformEXT(pc.inputImage)], p, 0).r * w;
        weightSum += w;
    }
    imageStore(g_Outputs[nonuniformEXT(pc.outputImage)], pixel, vec4(sum / max(weightSum, 1e-6)));
}
