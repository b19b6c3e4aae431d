// The bindless descriptor set (set 0 of every pipeline layout). A descriptor-table root
// parameter is a push-constant heap index into these arrays.
#ifndef TAVRIN_BINDLESS_GLSL
#define TAVRIN_BINDLESS_GLSL
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require

layout(set = 0, binding = 0) uniform texture2D g_Textures2D[];
layout(set = 0, binding = 0) uniform texture2DArray g_Textures2DArray[];
layout(set = 0, binding = 0) uniform textureCube g_TexturesCube[];
layout(set = 0, binding = 0) uniform texture3D g_Textures3D[];
layout(set = 0, binding = 0) uniform texture2DMS g_Textures2DMS[];
layout(set = 0, binding = 3) uniform sampler g_Samplers[];

#endif
