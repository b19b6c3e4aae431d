#include "model/physics/JointBinding.h"

#include <btBulletDynamicsCommon.h>

#include "model/physics/BulletConvert.h"
#include "model/physics/RigidBodyBinding.h"

namespace Vesma {

JointBinding::JointBinding() = default;

JointBinding::~JointBinding() = default;

bool JointBinding::Create(const PMXJoint& pmx, RigidBodyBinding* a, RigidBodyBinding* b) {
    m_constraint.reset();
    if (!a || !b || a == b) {
        return false;
    }
    btRigidBody* bodyA = a->GetRigidBody();
    btRigidBody* bodyB = b->GetRigidBody();

    btMatrix3x3 rotation;
    rotation.setEulerZYX(pmx.rotate.x, pmx.rotate.y, pmx.rotate.z);
    const btTransform joint(rotation, ToBtVector(pmx.translate));

    // Each frame is the joint transform seen from that body: inverse(body) applied after joint.
    const btTransform frameA = bodyA->getWorldTransform().inverse() * joint;
    const btTransform frameB = bodyB->getWorldTransform().inverse() * joint;

    m_constraint = std::make_unique<btGeneric6DofSpringConstraint>(*bodyA, *bodyB, frameA, frameB, true);
    m_constraint->setLinearLowerLimit(ToBtVector(pmx.translateLowerLimit * 0.5f));
    m_constraint->setLinearUpperLimit(ToBtVector(pmx.translateUpperLimit * 0.5f));
    m_constraint->setAngularLowerLimit(ToBtVector(pmx.rotateLowerLimit * 0.5f));
    m_constraint->setAngularUpperLimit(ToBtVector(pmx.rotateUpperLimit * 0.5f));

    for (int i = 0; i < 6; ++i) {
        const float stiffness = i < 3 ? pmx.springTranslateFactor[i] : pmx.springRotateFactor[i - 3];
        if (stiffness != 0.0f) {
            m_constraint->enableSpring(i, true);
            m_constraint->setStiffness(i, stiffness);
        }
    }
    return true;
}

void JointBinding::AddToWorld(btDiscreteDynamicsWorld* world) { world->addConstraint(m_constraint.get(), false); }

void JointBinding::RemoveFromWorld(btDiscreteDynamicsWorld* world) { world->removeConstraint(m_constraint.get()); }

}  // namespace Vesma
