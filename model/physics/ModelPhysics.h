#pragma once
// A model's physics: its world, one binding per usable PMX rigid body and one per usable joint,
// and the two per-frame operations that run between the node pass and skinning.
//
// Owned by the model together with the node list it was built on; the nodes must outlive it.
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "model/physics/JointBinding.h"
#include "model/io/PMXFile.h"
#include "model/physics/PhysicsWorld.h"
#include "model/physics/RigidBodyBinding.h"

namespace Vesma {

class MMDNode;
class MMDNodeManager;

class ModelPhysics {
public:
    ModelPhysics();
    ~ModelPhysics();
    ModelPhysics(const ModelPhysics&) = delete;
    ModelPhysics& operator=(const ModelPhysics&) = delete;

    /// Creates the world, then every rigid body and every joint in file order, from nodes whose
    /// global transforms hold the rest pose. Returns false when the world can't be created or a
    /// rigid body has a shape byte other than 0-2 (MessageLog says which); what was built up to
    /// then stays and is cleaned up by Clear.
    ///
    /// Entries that can't be bound are skipped and the model goes on loading, with one message per
    /// kind: rigid bodies whose bone index is neither -1 nor a bone, or that carry non-finite
    /// numbers, or that have no bone while the model has no bones at all; joints whose body index
    /// is out of range or names a skipped body, or that carry non-finite numbers. Joints with a
    /// body index of -1 or with both indices equal are skipped silently.
    bool Build(std::span<const PMXRigidBody> rigidBodies, std::span<const PMXJoint> joints, MMDNodeManager& nodes);

    /// Takes every joint and body out of the world and deletes them, then the world.
    void Clear();

    /// Puts every body back on its bone's current pose with no motion: one 1/60 s step with every
    /// body kinematic, bones updated from the result, pairs dropped and velocities zeroed. Simulated
    /// bodies stay kinematic until the next StepPhysics.
    void ResetPhysics();

    /// Advances the simulation by `elapsed` seconds (fixed 1/120 s steps, at most 10 per call) and
    /// writes simulated bodies onto their bones, then refreshes every global transform. A negative
    /// or non-finite `elapsed` steps nothing.
    void StepPhysics(float elapsed);

    PhysicsWorld& GetWorld() { return m_world; }
    const std::vector<std::unique_ptr<RigidBodyBinding>>& GetRigidBodies() const { return m_rigidBodies; }
    const std::vector<std::unique_ptr<JointBinding>>& GetJoints() const { return m_joints; }
    /// The binding built from file rigid body `index`, or null when it was skipped or is out of
    /// range.
    RigidBodyBinding* GetRigidBodyByFileIndex(int64_t index) const;
    /// The nodes that simulated bodies move (operation 1 or 2 with a bone), each once, in body
    /// order.
    std::vector<MMDNode*> GetSimulatedNodes() const;

private:
    void UpdateRootGlobalTransforms();

    PhysicsWorld m_world;
    std::vector<std::unique_ptr<RigidBodyBinding>> m_rigidBodies;
    std::vector<std::unique_ptr<JointBinding>> m_joints;
    std::vector<RigidBodyBinding*> m_bodyByFileIndex;
    MMDNodeManager* m_nodes = nullptr;
};

}  // namespace Vesma
