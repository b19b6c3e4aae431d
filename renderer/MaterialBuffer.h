#pragma once
// The per-material constant record the model shaders read (constant buffer b1, 320 bytes, packed
// as the shaders pack constant buffers: no field straddles a 16-byte row), how it is filled from a
// PMX material and from the extended values, and the block every material starts from.
#include <cstddef>
#include <cstdint>

#include "core/Math.h"
#include "model/ExtendedMaterial.h"
#include "model/io/PMXFile.h"

namespace ProjectTavrin {

struct MaterialBuffer {
    Math::vec4 diffuse;
    Math::vec3 specular;
    float specularPower = 0.0f;
    Math::vec3 ambient;
    float edgeSize = 0.0f;
    Math::vec4 edgeColor;
    int32_t textureIndex = -1;
    int32_t spTextureIndex = -1;
    int32_t spTextureMode = 0;
    int32_t toonTextureIndex = -1;
    Math::vec4 textureMulFactor;
    Math::vec4 spTextureMulFactor;
    Math::vec4 toonTextureMulFactor;
    Math::vec4 textureAddFactor;
    Math::vec4 spTextureAddFactor;
    Math::vec4 toonTextureAddFactor;
    Math::vec3 subsurfaceColor;
    float subsurface = 0.0f;
    Math::vec3 baseColorTint;
    float metallic = 0.0f;
    Math::vec3 specularTint;
    float roughness = 0.0f;
    float emission = 0.0f;
    float curvature = 0.0f;
    float thickness = 0.0f;
    float occlusion = 0.0f;
    Math::vec3 clothFuzzColor;
    float cloth = 0.0f;
    float clearCoat = 0.0f;
    float clearCoatRoughness = 0.0f;
    float anisotropy = 0.0f;
    uint32_t shadingModel = 0;
    int32_t curvatureTextureIndex = -1;
    int32_t thicknessTextureIndex = -1;
    int32_t occlusionTextureIndex = -1;
    int32_t normalTextureIndex = -1;
    int32_t bothFace = 0;
    int32_t shadowCaster = 0;
    int32_t shadowReceiver = 0;
    int32_t edgeFlag = 0;
    /// First index of the material in the model's index buffer, and how many indices it draws.
    int32_t beginIndex = 0;
    int32_t vertexCount = 0;
    uint32_t padding[2] = {0, 0};
};

#define TAVRIN_MATERIAL_OFFSET(field, offset) \
    static_assert(offsetof(MaterialBuffer, field) == (offset), "MaterialBuffer::" #field " must sit at byte " #offset)
TAVRIN_MATERIAL_OFFSET(diffuse, 0);
TAVRIN_MATERIAL_OFFSET(specular, 16);
TAVRIN_MATERIAL_OFFSET(specularPower, 28);
TAVRIN_MATERIAL_OFFSET(ambient, 32);
TAVRIN_MATERIAL_OFFSET(edgeSize, 44);
TAVRIN_MATERIAL_OFFSET(edgeColor, 48);
TAVRIN_MATERIAL_OFFSET(textureIndex, 64);
TAVRIN_MATERIAL_OFFSET(spTextureIndex, 68);
TAVRIN_MATERIAL_OFFSET(spTextureMode, 72);
TAVRIN_MATERIAL_OFFSET(toonTextureIndex, 76);
TAVRIN_MATERIAL_OFFSET(textureMulFactor, 80);
TAVRIN_MATERIAL_OFFSET(spTextureMulFactor, 96);
TAVRIN_MATERIAL_OFFSET(toonTextureMulFactor, 112);
TAVRIN_MATERIAL_OFFSET(textureAddFactor, 128);
TAVRIN_MATERIAL_OFFSET(spTextureAddFactor, 144);
TAVRIN_MATERIAL_OFFSET(toonTextureAddFactor, 160);
TAVRIN_MATERIAL_OFFSET(subsurfaceColor, 176);
TAVRIN_MATERIAL_OFFSET(subsurface, 188);
TAVRIN_MATERIAL_OFFSET(baseColorTint, 192);
TAVRIN_MATERIAL_OFFSET(metallic, 204);
TAVRIN_MATERIAL_OFFSET(specularTint, 208);
TAVRIN_MATERIAL_OFFSET(roughness, 220);
TAVRIN_MATERIAL_OFFSET(emission, 224);
TAVRIN_MATERIAL_OFFSET(curvature, 228);
TAVRIN_MATERIAL_OFFSET(thickness, 232);
TAVRIN_MATERIAL_OFFSET(occlusion, 236);
TAVRIN_MATERIAL_OFFSET(clothFuzzColor, 240);
TAVRIN_MATERIAL_OFFSET(cloth, 252);
TAVRIN_MATERIAL_OFFSET(clearCoat, 256);
TAVRIN_MATERIAL_OFFSET(clearCoatRoughness, 260);
TAVRIN_MATERIAL_OFFSET(anisotropy, 264);
TAVRIN_MATERIAL_OFFSET(shadingModel, 268);
TAVRIN_MATERIAL_OFFSET(curvatureTextureIndex, 272);
TAVRIN_MATERIAL_OFFSET(thicknessTextureIndex, 276);
TAVRIN_MATERIAL_OFFSET(occlusionTextureIndex, 280);
TAVRIN_MATERIAL_OFFSET(normalTextureIndex, 284);
TAVRIN_MATERIAL_OFFSET(bothFace, 288);
TAVRIN_MATERIAL_OFFSET(shadowCaster, 292);
TAVRIN_MATERIAL_OFFSET(shadowReceiver, 296);
TAVRIN_MATERIAL_OFFSET(edgeFlag, 300);
TAVRIN_MATERIAL_OFFSET(beginIndex, 304);
TAVRIN_MATERIAL_OFFSET(vertexCount, 308);
#undef TAVRIN_MATERIAL_OFFSET
static_assert(sizeof(MaterialBuffer) == 320, "MaterialBuffer is the shaders' 320-byte material record");

/// The block every material starts from and a reset returns to. Its index range is 0, 0: the
/// caller sets the material's own.
MaterialBuffer DefaultMaterialBuffer();

/// The PMX material's colours, texture indices, sphere and toon modes and draw flags written over
/// `block` (index range untouched). `textureCount` is the size of the model's texture table from
/// the file: an index outside it names no texture (-1).
void ApplyPmxMaterial(MaterialBuffer& block, const Vesma::PMXMaterial& material, std::size_t textureCount);

/// The extended values (subsurface colour ... shading model) written over `block`.
void ApplyExtendedMaterial(MaterialBuffer& block, const Vesma::ExtendedMaterial& values);

/// The extended values a block holds (what the extended-material file stores).
Vesma::ExtendedMaterial ExtendedValuesOf(const MaterialBuffer& block);

}  // namespace ProjectTavrin
