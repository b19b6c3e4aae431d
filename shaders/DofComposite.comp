#version 460
// Depth of field, step 3: the blurred half-size image blended over the scene by each pixel's
// own circle of confusion (and by the blurred foreground's coverage). Pixels in focus with no
// blurred foreground over them are not written, so the focus plane keeps its exact values.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/DofConstants.h"

layout(local_size_x = 8, local_size_y = 8) in;
TAVRIN_PUSH_CONSTANTS(DofConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Images)
layout(set = 0, binding = TAVRIN_BINDING_STORAGE_BUFFERS, std430) readonly buffer FocusWords { uint words[]; } g_FocusBuffers[];
layout(set = 1, binding = 0) uniform sampler LinearClamp;

#include "DofCommon.glsl"

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.texelSize.z) || p.y >= int(pc.texelSize.w)) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.texelSize.xy;
    const ivec2 depthSize = textureSize(g_Textures2D[nonuniformEXT(pc.depth)], 0);
    const float depth = texelFetch(g_Textures2D[nonuniformEXT(pc.depth)], min(p, depthSize - 1), 0).r;
    const float coc = abs(CircleOfConfusion(ViewDistance(depth), FocusDistance()));
    const vec4 blurred = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.source)], LinearClamp), uv, 0.0);
    // Below one pixel of blur the scene stays as it is; from two on the blurred image takes over.
    const float texel = pc.texelSize.y;
    const float amount = max(smoothstep(texel, texel * 2.0, coc), blurred.a);
    if (amount <= 0.0) return;
    const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.scene)], p);
    imageStore(g_Images[nonuniformEXT(pc.scene)], p, vec4(mix(scene.rgb, blurred.rgb, amount), scene.a));
}
