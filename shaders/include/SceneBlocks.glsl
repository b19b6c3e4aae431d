// The camera block and the material block as the scene shaders read them through buffer
// addresses. Field order and offsets mirror renderer/CameraBuffer.h (384 bytes) and
// renderer/MaterialBuffer.h (320 bytes); matrices arrive transposed, so `v * M` applies them.
#ifndef TAVRIN_SCENE_BLOCKS_GLSL
#define TAVRIN_SCENE_BLOCKS_GLSL
#extension GL_EXT_scalar_block_layout : require
#extension GL_EXT_buffer_reference : require
#extension GL_EXT_buffer_reference_uvec2 : require

layout(buffer_reference, scalar, buffer_reference_align = 16) readonly buffer CameraBlock {
    mat4 prevView;
    mat4 prevProjection;
    mat4 view;
    mat4 projection;
    mat4 inverseViewProjection;
    vec4 screenSize;
    vec4 cameraWorldPos;
    vec4 cameraViewDir;
    float NearZ;
    float FarZ;
    int frameCount;
};

layout(buffer_reference, scalar, buffer_reference_align = 16) readonly buffer MaterialBlock {
    vec4 diffuse;
    vec3 specular;
    float specularPower;
    vec3 ambient;
    float edgeSize;
    vec4 edgeColor;
    int textureIndex;
    int spTextureIndex;
    int spTextureMode;
    int toonTextureIndex;
    vec4 textureMulFactor;
    vec4 spTextureMulFactor;
    vec4 toonTextureMulFactor;
    vec4 textureAddFactor;
    vec4 spTextureAddFactor;
    vec4 toonTextureAddFactor;
    vec3 subsurfaceColor;
    float subsurface;
    vec3 baseColorTint;
    float metallic;
    vec3 specularTint;
    float roughness;
    float emission;
    float curvature;
    float thickness;
    float occlusion;
    vec3 clothFuzzColor;
    float cloth;
    float clearCoat;
    float clearCoatRoughness;
    float anisotropy;
    uint shadingModel;
    int curvatureTextureIndex;
    int thicknessTextureIndex;
    int occlusionTextureIndex;
    int normalTextureIndex;
    int bothFace;
    int shadowCaster;
    int shadowReceiver;
    int edgeFlag;
    int beginIndex;
    int vertexCount;
};

#endif
