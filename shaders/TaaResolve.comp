#version 460
// The new history back into the scene as it is.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/TaaConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(TaaResolveConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba16f) uniform writeonly image2D g_Images[];

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    const ivec2 size = imageSize(g_Images[nonuniformEXT(pc.dest)]);
    if (p.x >= size.x || p.y >= size.y) return;
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, vec4(texelFetch(g_Textures2D[nonuniformEXT(pc.history)], p, 0).rgb, 1.0));
}
