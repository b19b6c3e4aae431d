#pragma once
// The morphs of a model built from its PMX file: the file's morphs mapped onto the manager's
// kinds and offset lists, with the offsets that name nothing dropped and group work bounded.
#include <cstddef>
#include <span>

#include "model/io/PMXFile.h"

namespace Vesma {

class MMDMorphManager;
class MMDNodeManager;

/// Builds the morphs of a model from its PMX morphs: kinds mapped from the PMX types, offsets
/// converted to model space (positions and bone translations with z negated, bone rotations
/// mirrored to (-x, -y, z, w)), every weight 0. Offsets whose vertex, bone, material or morph
/// index doesn't exist (-1 is valid only as "every material") are dropped, and group work is
/// bounded (LimitGroupWork, to 16 times the direct offsets, at least 2^22). One message in
/// MessageLog reports each kind of fault.
void SetupPMXMorphs(std::span<const PMXMorph> morphs, const MMDNodeManager& nodes, size_t vertexCount,
                    size_t materialCount, MMDMorphManager& out);

}  // namespace Vesma
