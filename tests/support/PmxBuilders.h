#pragma once
// Ready-made PMX records for tests, benchmarks and fuzz seeds. Write them with WritePmx.
#include <cstddef>
#include <cstdint>

#include "model/io/PMXFile.h"

namespace TestSupport {

/// A small model that uses every section and every variant the format has: all five weight types
/// (with a -1 bone), faces, textures (one with an empty path), both toon modes, bones with every
/// optional block (tail index and offset, append rotation and translation, fixed and local axes,
/// external parent, IK with limited and unlimited links), all eleven morph kinds, display frames
/// with bone and morph targets, all rigid-body shapes and operations, joints, and, for a version
/// above 2.0, soft bodies with anchors and pins. Additional UVs are filled up to the header's
/// count. Texts are non-ASCII. Every index fits in one byte, so any index size works.
Vesma::PMXFile MakeEveryVariantPmx(const Vesma::PMXHeader& header);

struct LargePmxShape {
    size_t vertices = 200000;
    size_t bones = 500;
    size_t morphs = 1000;
    size_t rigidBodies = 200;
    size_t materials = 20;
};

/// A model of roughly a real character's size: a vertex grid (mixed BDEF1/BDEF2/BDEF4/SDEF),
/// about two faces per vertex, a bone chain with some IK bones, morphs of every kind, rigid bodies
/// and joints between neighbours. 4-byte indices, UTF-16 texts.
Vesma::PMXFile MakeLargePmx(const LargePmxShape& shape = {});

}  // namespace TestSupport
