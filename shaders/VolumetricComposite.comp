#version 460
// Volumetric light, the composite at full size: the scene dimmed by what the medium lets through
// and lit by what it scatters, both filtered up from half size.
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#include "Bindless.glsl"
#include "shared/VolumetricConstants.h"

layout(local_size_x = 16, local_size_y = 16) in;
TAVRIN_PUSH_CONSTANTS(VolumetricCompositeConstants, pc)
TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_Images)
layout(set = 1, binding = 0) uniform sampler LinearClamp;

void main() {
    const ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= int(pc.texelSize.x) || p.y >= int(pc.texelSize.y)) return;
    const vec2 uv = (vec2(p) + 0.5) * pc.texelSize.zw;
    const vec4 fog = textureLod(sampler2D(g_Textures2D[nonuniformEXT(pc.fog)], LinearClamp), uv, 0.0);
    const vec4 scene = imageLoad(g_Images[nonuniformEXT(pc.scene)], p);
    imageStore(g_Images[nonuniformEXT(pc.scene)], p, vec4(scene.rgb * fog.a + fog.rgb, scene.a));
}
