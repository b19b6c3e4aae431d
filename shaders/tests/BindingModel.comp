#version 460
// Reads a texture through a heap index and a static sampler, scales it by a vector read through
// a buffer address, and writes the result through a storage-buffer heap index.
#extension GL_EXT_buffer_reference : require
#extension GL_EXT_nonuniform_qualifier : require

layout(local_size_x = 1) in;

layout(set = 0, binding = 0) uniform texture2D g_Textures[];
layout(set = 0, binding = 2, std430) buffer Outputs { vec4 values[]; } g_Outputs[];
layout(set = 1, binding = 3) uniform sampler s_Linear;

layout(buffer_reference, std430, buffer_reference_align = 16) readonly buffer Params {
    vec4 scale;
};

layout(push_constant) uniform BindingConstants {
    uint textureIndex;  // root parameter 0: descriptor table
    uint outputIndex;   // root parameter 1: descriptor table
    Params params;      // root parameter 2: buffer address
} pc;

void main() {
    const vec4 texel = textureLod(sampler2D(g_Textures[nonuniformEXT(pc.textureIndex)], s_Linear), vec2(0.5, 0.5), 0.0);
    g_Outputs[nonuniformEXT(pc.outputIndex)].values[0] = texel * pc.params.scale;
}
