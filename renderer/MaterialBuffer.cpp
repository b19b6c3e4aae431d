#include "renderer/MaterialBuffer.h"

namespace ProjectTavrin {
namespace {

int32_t TextureIndexOrNone(int32_t index, std::size_t textureCount) {
    return index >= 0 && static_cast<std::size_t>(index) < textureCount ? index : -1;
}

bool HasDrawFlag(uint8_t drawMode, Vesma::PMXDrawModeFlags flag) { return (drawMode & static_cast<uint8_t>(flag)) != 0; }

}  // namespace

MaterialStyleChoice StyleChoiceOf(const std::optional<Vesma::MaterialStyle>& style) {
    if (!style) return MaterialStyleChoice::FromSettings;
    return *style == Vesma::MaterialStyle::Classic ? MaterialStyleChoice::Classic : MaterialStyleChoice::PhysicallyBased;
}

std::optional<Vesma::MaterialStyle> StyleOfChoice(uint32_t choice) {
    switch (static_cast<MaterialStyleChoice>(choice)) {
    case MaterialStyleChoice::PhysicallyBased: return Vesma::MaterialStyle::PhysicallyBased;
    case MaterialStyleChoice::Classic: return Vesma::MaterialStyle::Classic;
    case MaterialStyleChoice::FromSettings: break;
    }
    return std::nullopt;
}

Vesma::MaterialStyle ResolveMaterialStyle(const MaterialBuffer& block, Vesma::MaterialStyle settings) {
    return StyleOfChoice(block.materialStyle).value_or(settings);
}

MaterialBuffer DefaultMaterialBuffer() {
    MaterialBuffer b;
    b.diffuse = {1, 1, 1, 1};
    b.specular = {0, 0, 0};
    b.specularPower = 1.0f;
    b.ambient = {0.2f, 0.2f, 0.2f};
    b.edgeSize = 0.0f;
    b.edgeColor = {0, 0, 0, 1};
    b.textureIndex = -1;
    b.spTextureIndex = -1;
    b.spTextureMode = 0;
    b.toonTextureIndex = -1;
    b.textureMulFactor = b.spTextureMulFactor = b.toonTextureMulFactor = {1, 1, 1, 1};
    b.textureAddFactor = b.spTextureAddFactor = b.toonTextureAddFactor = {0, 0, 0, 0};
    // Red on purpose: loading replaces it with the extended value, so it only shows after a reset.
    b.subsurfaceColor = {1, 0, 0};
    b.subsurface = 1.0f;
    b.baseColorTint = {1, 1, 1};
    b.metallic = 0.0f;
    b.specularTint = {1, 1, 1};
    b.roughness = 1.0f;
    b.emission = 0.0f;
    b.curvature = 1.0f;
    b.thickness = 0.0f;
    b.occlusion = 1.0f;
    b.clothFuzzColor = {1, 1, 1};
    b.cloth = 1.0f;
    b.clearCoat = 1.0f;
    b.clearCoatRoughness = 0.0f;
    b.anisotropy = 0.0f;
    b.shadingModel = static_cast<uint32_t>(Vesma::ShadingModel::Default);
    b.curvatureTextureIndex = b.thicknessTextureIndex = b.occlusionTextureIndex = b.normalTextureIndex = -1;
    b.bothFace = 0;
    b.shadowCaster = 1;
    b.shadowReceiver = 1;
    b.edgeFlag = 0;
    b.materialStyle = static_cast<uint32_t>(MaterialStyleChoice::FromSettings);
    return b;
}

void ApplyPmxMaterial(MaterialBuffer& b, const Vesma::PMXMaterial& m, std::size_t textureCount) {
    using Vesma::PMXDrawModeFlags;
    b.diffuse = m.diffuse;
    b.specular = m.specular;
    b.specularPower = m.specularPower;
    b.ambient = m.ambient;
    b.edgeSize = m.edgeSize;
    b.edgeColor = m.edgeColor;
    b.textureIndex = TextureIndexOrNone(m.textureIndex, textureCount);
    if (m.sphereTextureIndex != -1) b.spTextureIndex = TextureIndexOrNone(m.sphereTextureIndex, textureCount);
    switch (m.sphereMode) {
    case Vesma::PMXSphereMode::Multiply: b.spTextureMode = 1; break;
    case Vesma::PMXSphereMode::Add: b.spTextureMode = 2; break;
    case Vesma::PMXSphereMode::SubTexture: b.spTextureMode = 3; break;
    default: b.spTextureMode = 0; break;
    }
    b.toonTextureIndex = m.toonMode == Vesma::PMXToonMode::Common ? -1 : TextureIndexOrNone(m.toonTextureIndex, textureCount);
    b.bothFace = HasDrawFlag(m.drawMode, PMXDrawModeFlags::BothFace) ? 1 : 0;
    b.shadowCaster =
        HasDrawFlag(m.drawMode, PMXDrawModeFlags::GroundShadow) || HasDrawFlag(m.drawMode, PMXDrawModeFlags::CastSelfShadow) ? 1 : 0;
    b.shadowReceiver = HasDrawFlag(m.drawMode, PMXDrawModeFlags::ReceiveSelfShadow) ? 1 : 0;
    b.edgeFlag = HasDrawFlag(m.drawMode, PMXDrawModeFlags::DrawEdge) ? 1 : 0;
}

void ApplyExtendedMaterial(MaterialBuffer& b, const Vesma::ExtendedMaterial& e) {
    b.subsurfaceColor = e.subsurfaceColor;
    b.subsurface = e.subsurface;
    b.baseColorTint = e.baseColorTint;
    b.metallic = e.metallic;
    b.specularTint = e.specularTint;
    b.roughness = e.roughness;
    b.emission = e.emission;
    b.curvature = e.curvature;
    b.thickness = e.thickness;
    b.occlusion = e.occlusion;
    b.anisotropy = e.anisotropy;
    b.cloth = e.cloth;
    b.clothFuzzColor = e.clothFuzzColor;
    b.clearCoat = e.clearCoat;
    b.clearCoatRoughness = e.clearCoatRoughness;
    b.shadingModel = e.shadingModel;
    b.materialStyle = static_cast<uint32_t>(StyleChoiceOf(e.materialStyle));
}

Vesma::ExtendedMaterial ExtendedValuesOf(const MaterialBuffer& b) {
    Vesma::ExtendedMaterial e;
    e.subsurfaceColor = b.subsurfaceColor;
    e.subsurface = b.subsurface;
    e.baseColorTint = b.baseColorTint;
    e.metallic = b.metallic;
    e.specularTint = b.specularTint;
    e.roughness = b.roughness;
    e.emission = b.emission;
    e.curvature = b.curvature;
    e.thickness = b.thickness;
    e.occlusion = b.occlusion;
    e.anisotropy = b.anisotropy;
    e.cloth = b.cloth;
    e.clothFuzzColor = b.clothFuzzColor;
    e.clearCoat = b.clearCoat;
    e.clearCoatRoughness = b.clearCoatRoughness;
    e.shadingModel = b.shadingModel;
    e.materialStyle = StyleOfChoice(b.materialStyle);
    return e;
}

}  // namespace ProjectTavrin
