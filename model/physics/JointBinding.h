#pragma once
// One PMX joint as a Bullet 6-DOF spring constraint between two bound rigid bodies. Owns the
// constraint; the model's physics adds it to the world and takes it out before it dies.
#include <memory>

#include "model/io/PMXFile.h"

class btGeneric6DofSpringConstraint;
class btDiscreteDynamicsWorld;

namespace Vesma {

class RigidBodyBinding;

class JointBinding {
public:
    JointBinding();
    ~JointBinding();
    JointBinding(const JointBinding&) = delete;
    JointBinding& operator=(const JointBinding&) = delete;

    /// Builds the constraint between the bodies of `a` and `b`, anchored at the joint's transform
    /// relative to each body's current world transform. Limits are half the file's values; a
    /// spring is enabled only for a non-zero constant. The joint type byte is not consulted.
    /// Returns false when either binding is missing or both are the same.
    bool Create(const PMXJoint& pmx, RigidBodyBinding* a, RigidBodyBinding* b);

    /// addConstraint(constraint, disableCollisionsBetweenLinkedBodies = false).
    void AddToWorld(btDiscreteDynamicsWorld* world);
    void RemoveFromWorld(btDiscreteDynamicsWorld* world);

    btGeneric6DofSpringConstraint* GetConstraint() const { return m_constraint.get(); }

private:
    std::unique_ptr<btGeneric6DofSpringConstraint> m_constraint;
};

}  // namespace Vesma
