#pragma once
// The CPU skinning loop: one frame's matrices, rotations and morph offsets applied to the
// compact per-vertex records built at load (SkinLayout), a vertex range at a time.
#include <cstddef>
#include <cstdint>

#include "core/Math.h"
#include "model/skin/SkinLayout.h"

namespace Vesma {

struct ModelVertex;

/// A 3x4 row-vector transform padded to four rows of four: rows 0-2 rotate/scale, row 3 translates.
struct alignas(16) BlendMatrix {
    float rows[4][4];
};

/// A skinning matrix as a unit dual quaternion (QDEF); invalid when the matrix can't be decomposed.
struct SkinDualQuat {
    Math::quat real;
    Math::quat dual;
    bool valid = false;
};

/// Per-vertex morph flags: which offsets the morph pass wrote this frame.
constexpr uint8_t kMorphPositionFlag = 1;
constexpr uint8_t kMorphUVFlag = 2;

/// What one frame's skinning reads; written before the fan-out, read-only while it runs.
struct SkinFrame {
    const BlendMatrix* matrices = nullptr;    // MatrixCount(): skin[i] * placement, placement, zero
    const Math::quat* rotations = nullptr;    // per node: rotation of global[i] * placement (SDEF)
    const SkinDualQuat* dualQuats = nullptr;  // per node (QDEF)
    const Math::vec3* morphPositions = nullptr;  // per vertex, read where the flag says
    const Math::vec4* morphUVs = nullptr;
    const uint8_t* morphFlags = nullptr;  // per vertex: kMorphPositionFlag | kMorphUVFlag
};

/// Skins vertices [begin, end) into `out` (the whole output list): previous position := position,
/// then position, normal and UV from the rest vertex, its offsets and its bones.
void SkinVertices(const SkinLayout& layout, const SkinFrame& frame, ModelVertex* out, std::size_t begin,
                  std::size_t end);

}  // namespace Vesma
