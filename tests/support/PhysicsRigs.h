#pragma once
// Skeletons with rigid bodies and joints for physics tests and benchmarks.
#include <vector>

#include "model/io/PMXFile.h"

namespace TestSupport {

struct PhysicsRig {
    std::vector<Vesma::PMXBone> bones;
    std::vector<Vesma::PMXRigidBody> rigidBodies;
    std::vector<Vesma::PMXJoint> joints;
};

struct HairAndSkirtShape {
    int hairStrands = 10;
    int hairLinks = 6;
    int skirtColumns = 12;
    int skirtLinks = 5;
    /// Kinematic spheres on the hip and head bones, standing in for the torso, arms and legs.
    int colliders = 28;
};

/// A character-like rig. Bones: 0 "root" at the origin, 1 "hip" at (0, 10, 0), 2 "head" at
/// (0, 15, 0), then one bone per chain link. Bodies, in this order: a kinematic sphere on the head
/// and one on the hip (the chains' anchors), the colliders, then the hair strands (capsules hanging
/// around the head, group 3) and the skirt columns (boxes in a ring around the hip, group 4), each
/// chain a run of dynamic bodies on a chain of bones. Hair collides with neither hair nor skirt;
/// skirt collides with no skirt. One joint joins every link to the one above it (the first link
/// to its anchor), with rotation limits and a few springs. The default shape has 150 bodies and
/// 120 joints.
PhysicsRig MakeHairAndSkirtRig(const HairAndSkirtShape& shape = {});

}  // namespace TestSupport
