// The bindless descriptor set (set 0 of every pipeline layout). A descriptor-table root
// parameter is a push-constant heap index into these arrays; the arrays of one binding alias
// each other, so a heap index reads the same view through whichever array suits its type.
//
//   binding 0  sampled images        g_Textures2D, g_Textures2DArray, g_TexturesCube, ...
//   binding 1  storage images        g_RWTextures2D, ... (no format: formatted access through
//                                    TAVRIN_STORAGE_IMAGES below)
//   binding 2  storage buffers       g_WordBuffers (raw 32-bit words, read-only); typed views
//                                    declared per element type with TAVRIN_STORAGE_BUFFERS
//   binding 3  samplers              g_Samplers
//   binding 4  acceleration structures  g_Scenes, when TAVRIN_BINDLESS_SCENES is defined before
//                                    this file is included (it needs ray query or ray tracing)
//
// The build compares every shader's set-0 bindings with these numbers, so a shader that declares
// a binding with another descriptor type fails the build.
#ifndef TAVRIN_BINDLESS_GLSL
#define TAVRIN_BINDLESS_GLSL
#extension GL_EXT_nonuniform_qualifier : require
#extension GL_EXT_samplerless_texture_functions : require
#extension GL_EXT_scalar_block_layout : require

#define TAVRIN_BINDING_SAMPLED_IMAGES 0
#define TAVRIN_BINDING_STORAGE_IMAGES 1
#define TAVRIN_BINDING_STORAGE_BUFFERS 2
#define TAVRIN_BINDING_SAMPLERS 3
#define TAVRIN_BINDING_SCENES 4

layout(set = 0, binding = 0) uniform texture2D g_Textures2D[];
layout(set = 0, binding = 0) uniform texture2DArray g_Textures2DArray[];
layout(set = 0, binding = 0) uniform textureCube g_TexturesCube[];
layout(set = 0, binding = 0) uniform texture3D g_Textures3D[];
layout(set = 0, binding = 0) uniform texture2DMS g_Textures2DMS[];
layout(set = 0, binding = 0) uniform utexture2D g_UintTextures2D[];

layout(set = 0, binding = 1) uniform writeonly image2D g_RWTextures2D[];
layout(set = 0, binding = 1) uniform writeonly image2DArray g_RWTextures2DArray[];
layout(set = 0, binding = 1) uniform writeonly image3D g_RWTextures3D[];

layout(set = 0, binding = 2, scalar) readonly buffer TavrinWordBuffer { uint words[]; } g_WordBuffers[];

layout(set = 0, binding = 3) uniform sampler g_Samplers[];

#ifdef TAVRIN_BINDLESS_SCENES
layout(set = 0, binding = 4) uniform accelerationStructureEXT g_Scenes[];
#endif

/// Storage images read and written with a declared format:
///   TAVRIN_STORAGE_IMAGES(rgba16f, image2D, g_RWColor)
#define TAVRIN_STORAGE_IMAGES(fmt, imageType, name) \
    layout(set = 0, binding = 1, fmt) uniform imageType name[];

/// Storage buffers holding an array of `Type`:
///   TAVRIN_STORAGE_BUFFERS(VertexBuffers, Vertex, g_Vertices)  ->  g_Vertices[index].items[i]
#define TAVRIN_STORAGE_BUFFERS(Block, Type, name) \
    layout(set = 0, binding = 2, scalar) buffer Block { Type items[]; } name[];

#endif
