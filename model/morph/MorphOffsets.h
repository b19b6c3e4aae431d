#pragma once
// The offset records of each morph kind, as the morph manager keeps them in its per-kind lists.
// Positions and bone motions are in model space; a group's records name other morphs.
#include <cstdint>

#include "core/Math.h"
#include "model/io/PMXFile.h"

namespace Vesma {

class MMDNode;

struct PositionMorphOffset {
    uint32_t vertex = 0;
    Math::vec3 offset;  // model space
};

struct UVMorphOffset {
    uint32_t vertex = 0;
    Math::vec4 offset;
};

struct BoneMorphOffset {
    MMDNode* node = nullptr;
    Math::vec3 translate;  // model space
    Math::quat rotate;     // model space
};

/// As in the file; a material index of -1 means every material.
using MaterialMorphOffset = PMXMaterialMorph;

struct GroupMorphOffset {
    uint32_t morph = 0;  // index into the manager's morph list
    float weight = 0.0f;
};

}  // namespace Vesma
