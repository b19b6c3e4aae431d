#version 460
// The equirectangular environment image into mip 0 of the environment cube: each texel of each
// face reads the image in its own direction (bilinear, wrapping around the vertical axis).
#include "Bindless.glsl"
#include "SkyMapping.glsl"
#include "shared/SkyConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(SphereToCubeConstants, pc)
layout(set = 1, binding = 0) uniform sampler EquirectSampler;  // linear, wrap u, clamp v

void main() {
    const uvec3 id = gl_GlobalInvocationID;
    if (id.x >= pc.faceSize || id.y >= pc.faceSize || id.z >= 6u) return;
    const vec3 dir = CubeFaceDirection(id.z, (vec2(id.xy) + 0.5) / float(pc.faceSize));
    const vec4 c = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.image)], EquirectSampler), EquirectUv(dir), 0.0);
    imageStore(g_RWTextures2DArray[nonuniformEXT(pc.target)], ivec3(id), vec4(c.rgb, 1.0));
}
