#version 460
// The graded HDR scene colour into the 8-bit final image (saturated), blue first when the
// output image stores its channels that way.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/PostConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(FinalCopyConstants, pc)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_IMAGES, rgba8) uniform writeonly image2D g_Images[];

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.width) || p.y >= int(pc.height)) return;
    vec4 c = clamp(texelFetch(g_Textures2D[nonuniformEXT(pc.source)], p, 0), 0.0, 1.0);
    c.a = 1.0;
    imageStore(g_Images[nonuniformEXT(pc.dest)], p, pc.swapRedBlue != 0u ? c.bgra : c);
}
