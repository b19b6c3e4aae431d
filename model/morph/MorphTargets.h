#pragma once
// Where the morph pass writes: buffers the model owns, with per-vertex position and UV offsets
// and per-material multiply/add factor records, and optionally the tracker that lets a pass
// replace the previous pass's offsets instead of adding to them.
#include <span>

#include "core/Math.h"
#include "model/morph/MaterialMorph.h"

namespace Vesma {

class MorphVertexTracker;

/// Where the morph pass writes. The buffers belong to the model; offsets that fall outside them
/// are ignored.
struct MorphTargets {
    std::span<Math::vec3> positionOffsets;  // one per vertex
    std::span<Math::vec4> uvOffsets;        // one per vertex
    std::span<MaterialMorphFactors> materialMul;  // one per material
    std::span<MaterialMorphFactors> materialAdd;  // one per material
    /// Optional. Without it a pass adds onto whatever the offset buffers hold; with it the pass
    /// replaces what the previous tracked pass wrote (see MorphVertexTracker).
    MorphVertexTracker* tracker = nullptr;
};

}  // namespace Vesma
