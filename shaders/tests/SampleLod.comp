#version 460
// Samples a texture at one coordinate and level of detail through static sampler s0 and writes
// the texel to element 0 of a storage buffer, so tests can check filtering.
#include "Bindless.glsl"
#include "tests/SampleLodConstants.h"
TAVRIN_PUSH_CONSTANTS(SampleLodConstants, pc)

layout(local_size_x = 1) in;

layout(set = 1, binding = 0) uniform sampler s_Sampler;
TAVRIN_STORAGE_BUFFERS(SampleOutputs, vec4, g_Outputs)

void main() {
    g_Outputs[nonuniformEXT(pc.outputIndex)].items[0] =
        textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.textureIndex)], s_Sampler), pc.uv, pc.lod);
}
