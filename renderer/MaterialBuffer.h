#pragma once
// How the per-material record the model shaders read (shaders/shared/MaterialBuffer.h, 320
// bytes) is filled from a PMX material and from the extended values, and the block every
// material starts from.
#include <cstddef>
#include <optional>

#include "model/ExtendedMaterial.h"
#include "model/io/PMXFile.h"
#include "shaders/shared/MaterialBuffer.h"

namespace ProjectTavrin {

using MaterialBuffer = Engine::Shared::MaterialBuffer;

/// What a block's `materialStyle` holds: a style of the material's own, or none, in which case
/// the render settings' `MaterialStyle` applies.
enum class MaterialStyleChoice : uint32_t {
    FromSettings = 0,
    PhysicallyBased = 1,
    Classic = 2,
};

MaterialStyleChoice StyleChoiceOf(const std::optional<Vesma::MaterialStyle>& style);
std::optional<Vesma::MaterialStyle> StyleOfChoice(uint32_t choice);
/// The style `block` is drawn in when the render settings say `settings`.
Vesma::MaterialStyle ResolveMaterialStyle(const MaterialBuffer& block, Vesma::MaterialStyle settings);

/// The block every material starts from and a reset returns to. Its index range is 0, 0: the
/// caller sets the material's own.
MaterialBuffer DefaultMaterialBuffer();

/// The PMX material's colours, texture indices, sphere mode and draw flags written over `block`
/// (index range untouched). `textureCount` is the size of the model's texture table from the
/// file: an index outside it names no texture (-1). A toon of the model's own is its texture
/// index; a shared toon (toon01 ... toon10) is no index here: the model's texture table finds it.
void ApplyPmxMaterial(MaterialBuffer& block, const Vesma::PMXMaterial& material, std::size_t textureCount);

/// The extended values (subsurface colour ... shading model, material style) written over `block`.
void ApplyExtendedMaterial(MaterialBuffer& block, const Vesma::ExtendedMaterial& values);

/// The extended values a block holds (what the extended-material file stores).
Vesma::ExtendedMaterial ExtendedValuesOf(const MaterialBuffer& block);

}  // namespace ProjectTavrin
