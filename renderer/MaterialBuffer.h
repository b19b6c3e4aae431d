#pragma once
// How the per-material record the model shaders read (shaders/shared/MaterialBuffer.h, 320
// bytes) is filled from a PMX material and from the extended values, and the block every
// material starts from.
#include <cstddef>

#include "model/ExtendedMaterial.h"
#include "model/io/PMXFile.h"
#include "shaders/shared/MaterialBuffer.h"

namespace ProjectTavrin {

using MaterialBuffer = Engine::Shared::MaterialBuffer;

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
