#pragma once
// What material morphs do to one material in one frame. Each material has a multiply record, which
// starts from the material's own colours and which multiply morphs scale, and an add record, which
// starts at zero and which add morphs offset. The sum of the two (and the texture factors of each)
// is what the renderer's material receives.
#include "core/Math.h"
#include "model/io/PMXFile.h"

namespace Vesma {

struct MaterialMorphFactors {
    Math::vec4 diffuse;
    Math::vec3 specular;
    float specularPower = 0.0f;
    Math::vec3 ambient;
    Math::vec4 edgeColor;
    float edgeSize = 0.0f;
    Math::vec4 textureFactor;
    Math::vec4 sphereTextureFactor;
    Math::vec4 toonTextureFactor;
};

/// The material values a frame's morphs produce; the model copies them into its render material.
struct MaterialMorphResult {
    Math::vec4 diffuse;
    Math::vec3 specular;
    float specularPower = 0.0f;
    Math::vec3 ambient;
    Math::vec4 edgeColor;
    float edgeSize = 0.0f;
    Math::vec4 textureMulFactor;
    Math::vec4 spTextureMulFactor;
    Math::vec4 toonTextureMulFactor;
    Math::vec4 textureAddFactor;
    Math::vec4 spTextureAddFactor;
    Math::vec4 toonTextureAddFactor;
};

/// The multiply record at the start of a frame: the material's colours and outline as loaded, the
/// three texture factors all ones. (The add record starts as MaterialMorphFactors{}, all zeros.)
/// Starting the outline from the material's own values rather than from ones gives the same
/// product, and lets the sum with the add record be the outline's colour and size as for the
/// other colours.
MaterialMorphFactors InitialMultiplyFactors(const Math::vec4& diffuse, const Math::vec3& specular, float specularPower,
                                            const Math::vec3& ambient, const Math::vec4& edgeColor = {1, 1, 1, 1},
                                            float edgeSize = 1.0f);

/// One material-morph offset at `weight`: a multiply offset moves every field of `mul` towards
/// field x offset by the weight; an add offset adds offset x weight to `add`. Other operations do
/// nothing. The offset's material index is the caller's business.
void ApplyMaterialMorphOffset(const PMXMaterialMorph& offset, float weight, MaterialMorphFactors& mul,
                              MaterialMorphFactors& add);

/// Colours and outline := multiply + add, field by field; texture factors: those of each record.
MaterialMorphResult CombineMaterialMorph(const MaterialMorphFactors& mul, const MaterialMorphFactors& add);

}  // namespace Vesma
