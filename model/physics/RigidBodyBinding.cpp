#include "model/physics/RigidBodyBinding.h"

#include <btBulletDynamicsCommon.h>

#include "model/physics/BulletConvert.h"
#include "model/physics/MMDMotionState.h"
#include "model/skeleton/MMDNodeManager.h"

namespace Vesma {

namespace {

std::unique_ptr<btCollisionShape> MakeShape(PMXRigidBodyShape shape, const Math::vec3& size) {
    switch (shape) {
        case PMXRigidBodyShape::Sphere:
            return std::make_unique<btSphereShape>(size.x);
        case PMXRigidBodyShape::Box:
            return std::make_unique<btBoxShape>(ToBtVector(size));
        case PMXRigidBodyShape::Capsule:
            return std::make_unique<btCapsuleShape>(size.x, size.y);
    }
    return nullptr;
}

}  // namespace

RigidBodyBinding::RigidBodyBinding() = default;

RigidBodyBinding::~RigidBodyBinding() { Destroy(); }

void RigidBodyBinding::Destroy() {
    // The body refers to its motion state and shape, so it goes first.
    m_rigidBody.reset();
    m_kinematicMotionState.reset();
    m_activeMotionState.reset();
    m_shape.reset();
}

Math::mat4 RigidBodyBinding::RestTransform(const PMXRigidBody& pmx) {
    return Math::RotationY(pmx.rotate.y) * Math::RotationX(pmx.rotate.x) * Math::RotationZ(pmx.rotate.z) *
           Math::Translation(pmx.translate);
}

bool RigidBodyBinding::Create(const PMXRigidBody& pmx, const MMDNodeManager& nodes, MMDNode* node) {
    Destroy();

    MMDNode* reference = node ? node : nodes.GetNode(0);
    if (!reference) {
        return false;
    }
    m_shape = MakeShape(pmx.shape, pmx.shapeSize);
    if (!m_shape) {
        return false;
    }

    const PMXRigidBodyOperation op = pmx.op;
    float mass = 0.0f;
    btVector3 inertia(0.0f, 0.0f, 0.0f);
    if (op != PMXRigidBodyOperation::Static && pmx.mass > 0.0f) {
        mass = pmx.mass;
        m_shape->calculateLocalInertia(mass, inertia);
    }

    const Math::mat4 rest = Math::MirrorZ(RestTransform(pmx));
    m_offset = rest * Math::Inverse(reference->GetGlobalTransform());
    m_invOffset = Math::Inverse(m_offset);

    switch (op) {
        case PMXRigidBodyOperation::Static:
            m_kinematicMotionState = std::make_unique<KinematicMotionState>(reference, m_offset);
            break;
        case PMXRigidBodyOperation::Dynamic:
        case PMXRigidBodyOperation::DynamicAndBoneMerge:
            m_kinematicMotionState = std::make_unique<KinematicMotionState>(reference, m_offset);
            if (!node) {
                // A free body starts, and is reset to, its own rest transform in file space.
                m_activeMotionState = std::make_unique<DefaultMotionState>(Math::MirrorZ(rest));
            } else if (op == PMXRigidBodyOperation::Dynamic) {
                m_activeMotionState = std::make_unique<DynamicMotionState>(node, m_offset);
            } else {
                m_activeMotionState = std::make_unique<DynamicAndBoneMergeMotionState>(node, m_offset);
            }
            break;
        default:
            // An operation this code does not know: the body has no motion state at all.
            break;
    }

    btMotionState* motionState =
        op != PMXRigidBodyOperation::Static ? m_activeMotionState.get() : m_kinematicMotionState.get();
    btRigidBody::btRigidBodyConstructionInfo info(mass, motionState, m_shape.get(), inertia);
    info.m_linearDamping = pmx.translateDimmer;
    info.m_angularDamping = pmx.rotateDimmer;
    info.m_restitution = pmx.repulsion;
    info.m_friction = pmx.friction;
    info.m_rollingFriction = 0.0f;
    info.m_spinningFriction = 0.0f;
    info.m_linearSleepingThreshold = 0.8f;
    info.m_angularSleepingThreshold = 1.0f;
    info.m_additionalDamping = true;
    info.m_additionalDampingFactor = 0.005f;
    info.m_additionalLinearDampingThresholdSqr = 0.01f;
    info.m_additionalAngularDampingThresholdSqr = 0.01f;
    info.m_additionalAngularDampingFactor = 0.01f;
    m_rigidBody = std::make_unique<btRigidBody>(info);

    m_rigidBody->setUserPointer(this);
    m_rigidBody->setSleepingThresholds(0.01f, 0.0017453292f);  // 0.1 degree per second
    if (m_rigidBody->getActivationState() != DISABLE_SIMULATION) {
        m_rigidBody->setActivationState(DISABLE_DEACTIVATION);
    }
    if (op == PMXRigidBodyOperation::Static) {
        m_rigidBody->setCollisionFlags(m_rigidBody->getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT);
    }

    m_rigidBodyType = op;
    m_group = pmx.group;
    m_groupMask = pmx.collisionGroup;
    m_node = node;
    m_name = pmx.name;
    return true;
}

void RigidBodyBinding::AddToWorld(btDiscreteDynamicsWorld* world) {
    world->addRigidBody(m_rigidBody.get(), 1 << (m_group & 31), m_groupMask);
}

void RigidBodyBinding::RemoveFromWorld(btDiscreteDynamicsWorld* world) { world->removeRigidBody(m_rigidBody.get()); }

void RigidBodyBinding::SetActivation() {
    MMDMotionState* state = nullptr;
    if (m_rigidBodyType != PMXRigidBodyOperation::Static) {
        m_rigidBody->setCollisionFlags(m_rigidBody->getCollisionFlags() & ~btCollisionObject::CF_KINEMATIC_OBJECT);
        state = m_activeMotionState.get();
    } else {
        state = m_kinematicMotionState.get();
    }
    // setMotionState also copies the state's transform into the body.
    m_rigidBody->setMotionState(state);
}

void RigidBodyBinding::ResetTransform() {
    if (m_rigidBodyType != PMXRigidBodyOperation::Static) {
        m_rigidBody->setCollisionFlags(m_rigidBody->getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT);
    }
    m_rigidBody->setMotionState(m_kinematicMotionState.get());
    if (m_activeMotionState) {
        m_activeMotionState->Reset();
    }
}

void RigidBodyBinding::Reflect() {
    if (m_activeMotionState) {
        m_activeMotionState->ReflectGlobalTransform();
    }
    if (m_kinematicMotionState) {
        m_kinematicMotionState->ReflectGlobalTransform();
    }
    if (m_node) {
        const MMDNode* parent = m_node->GetParent();
        m_node->SetLocalTransform(parent ? m_node->GetGlobalTransform() * Math::Inverse(parent->GetGlobalTransform())
                                         : m_node->GetGlobalTransform());
    }
}

void RigidBodyBinding::ClearMotion(btDiscreteDynamicsWorld* world) {
    if (btBroadphaseProxy* proxy = m_rigidBody->getBroadphaseHandle()) {
        world->getBroadphase()->getOverlappingPairCache()->cleanProxyFromPairs(proxy, world->getDispatcher());
    }
    m_rigidBody->setLinearVelocity(btVector3(0.0f, 0.0f, 0.0f));
    m_rigidBody->setAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    m_rigidBody->clearForces();
}

}  // namespace Vesma
