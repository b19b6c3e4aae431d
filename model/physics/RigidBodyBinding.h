#pragma once
// One PMX rigid body as a Bullet body bound to a bone node.
//
// Operation 0 bodies follow their bone (kinematic); operation 1 bodies are simulated and drive
// their bone; operation 2 bodies are simulated and turn their bone but leave its position to the
// animation. The binding owns the shape, the motion states and the body; the model's physics
// (ModelPhysics) adds the body to its world and takes it out again before the binding dies.
#include <cstdint>
#include <memory>
#include <string>

#include "core/Math.h"
#include "model/io/PMXFile.h"

class btCollisionShape;
class btDiscreteDynamicsWorld;
class btRigidBody;

namespace Vesma {

class MMDMotionState;
class MMDNode;
class MMDNodeManager;

class RigidBodyBinding {
public:
    RigidBodyBinding();
    ~RigidBodyBinding();
    RigidBodyBinding(const RigidBodyBinding&) = delete;
    RigidBodyBinding& operator=(const RigidBodyBinding&) = delete;

    /// Builds the shape, motion states and body of `pmx`, bound to `node` (null for a body without
    /// a bone: node 0 of `nodes` then supplies the reference pose). Returns false, holding
    /// nothing, for a shape byte other than 0 (sphere), 1 (box) or 2 (capsule), or when there is
    /// no node to bind to. The node's global transform must hold its current pose.
    bool Create(const PMXRigidBody& pmx, const MMDNodeManager& nodes, MMDNode* node);

    /// addRigidBody(body, 1 << (group & 31), mask).
    void AddToWorld(btDiscreteDynamicsWorld* world);
    void RemoveFromWorld(btDiscreteDynamicsWorld* world);

    /// Start of a physics step: simulated bodies become dynamic and take the transform of their
    /// active state; operation 0 bodies take their bone's pose.
    void SetActivation();
    /// Start of a physics reset: every body is made kinematic on its bone's pose, and the active
    /// state returns to its starting transform.
    void ResetTransform();
    /// After a step: the active state, then the kinematic state, write onto the node; then the
    /// node's local transform is recomputed from its new global transform.
    void Reflect();
    /// End of a physics reset: drops the body's broadphase pairs and zeroes its velocities and
    /// accumulated forces.
    void ClearMotion(btDiscreteDynamicsWorld* world);

    btCollisionShape* GetShape() const { return m_shape.get(); }
    MMDMotionState* GetActiveMotionState() const { return m_activeMotionState.get(); }
    MMDMotionState* GetKinematicMotionState() const { return m_kinematicMotionState.get(); }
    btRigidBody* GetRigidBody() const { return m_rigidBody.get(); }
    PMXRigidBodyOperation GetOperation() const { return m_rigidBodyType; }
    uint8_t GetGroup() const { return m_group; }
    uint16_t GetGroupMask() const { return m_groupMask; }
    /// The bound node; null for a body without a bone.
    MMDNode* GetNode() const { return m_node; }
    /// Rest transform relative to the reference node's global transform (model space).
    const Math::mat4& GetOffset() const { return m_offset; }
    const Math::mat4& GetInverseOffset() const { return m_invOffset; }
    const std::u16string& GetName() const { return m_name; }

    /// Rest transform of a PMX rigid body in the file's space:
    /// RotationY(ry) * RotationX(rx) * RotationZ(rz) * Translation(p).
    static Math::mat4 RestTransform(const PMXRigidBody& pmx);

private:
    void Destroy();

    std::unique_ptr<btCollisionShape> m_shape;
    std::unique_ptr<MMDMotionState> m_activeMotionState;
    std::unique_ptr<MMDMotionState> m_kinematicMotionState;
    std::unique_ptr<btRigidBody> m_rigidBody;
    PMXRigidBodyOperation m_rigidBodyType = PMXRigidBodyOperation::Static;
    uint8_t m_group = 0;
    uint16_t m_groupMask = 0;
    MMDNode* m_node = nullptr;
    Math::mat4 m_offset;
    Math::mat4 m_invOffset;
    std::u16string m_name;
};

}  // namespace Vesma
