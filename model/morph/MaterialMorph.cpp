#include "model/morph/MaterialMorph.h"

namespace Vesma {

namespace {

// f + (f * v - f) * w: at weight 1 the field is multiplied by v, at weight 0 left alone.
template <typename T>
void MultiplyTowards(T& f, const T& v, float w) {
    f = f + (f * v - f) * w;
}

template <typename T>
void AddScaled(T& f, const T& v, float w) {
    f = f + v * w;
}

}  // namespace

MaterialMorphFactors InitialMultiplyFactors(const Math::vec4& diffuse, const Math::vec3& specular, float specularPower,
                                            const Math::vec3& ambient, const Math::vec4& edgeColor, float edgeSize) {
    const Math::vec4 ones(1, 1, 1, 1);
    MaterialMorphFactors mul;
    mul.diffuse = diffuse;
    mul.specular = specular;
    mul.specularPower = specularPower;
    mul.ambient = ambient;
    mul.edgeColor = edgeColor;
    mul.edgeSize = edgeSize;
    mul.textureFactor = ones;
    mul.sphereTextureFactor = ones;
    mul.toonTextureFactor = ones;
    return mul;
}

void ApplyMaterialMorphOffset(const PMXMaterialMorph& offset, float weight, MaterialMorphFactors& mul,
                              MaterialMorphFactors& add) {
    switch (offset.opType) {
        case PMXMaterialMorphOp::Mul:
            MultiplyTowards(mul.diffuse, offset.diffuse, weight);
            MultiplyTowards(mul.specular, offset.specular, weight);
            MultiplyTowards(mul.specularPower, offset.specularPower, weight);
            MultiplyTowards(mul.ambient, offset.ambient, weight);
            MultiplyTowards(mul.edgeColor, offset.edgeColor, weight);
            MultiplyTowards(mul.edgeSize, offset.edgeSize, weight);
            MultiplyTowards(mul.textureFactor, offset.textureFactor, weight);
            MultiplyTowards(mul.sphereTextureFactor, offset.sphereTextureFactor, weight);
            MultiplyTowards(mul.toonTextureFactor, offset.toonTextureFactor, weight);
            break;
        case PMXMaterialMorphOp::Add:
            AddScaled(add.diffuse, offset.diffuse, weight);
            AddScaled(add.specular, offset.specular, weight);
            AddScaled(add.specularPower, offset.specularPower, weight);
            AddScaled(add.ambient, offset.ambient, weight);
            AddScaled(add.edgeColor, offset.edgeColor, weight);
            AddScaled(add.edgeSize, offset.edgeSize, weight);
            AddScaled(add.textureFactor, offset.textureFactor, weight);
            AddScaled(add.sphereTextureFactor, offset.sphereTextureFactor, weight);
            AddScaled(add.toonTextureFactor, offset.toonTextureFactor, weight);
            break;
        default:
            break;
    }
}

MaterialMorphResult CombineMaterialMorph(const MaterialMorphFactors& mul, const MaterialMorphFactors& add) {
    MaterialMorphResult r;
    r.diffuse = mul.diffuse + add.diffuse;
    r.specular = mul.specular + add.specular;
    r.specularPower = mul.specularPower + add.specularPower;
    r.ambient = mul.ambient + add.ambient;
    r.edgeColor = mul.edgeColor + add.edgeColor;
    r.edgeSize = mul.edgeSize + add.edgeSize;
    r.textureMulFactor = mul.textureFactor;
    r.spTextureMulFactor = mul.sphereTextureFactor;
    r.toonTextureMulFactor = mul.toonTextureFactor;
    r.textureAddFactor = add.textureFactor;
    r.spTextureAddFactor = add.sphereTextureFactor;
    r.toonTextureAddFactor = add.toonTextureFactor;
    return r;
}

}  // namespace Vesma
