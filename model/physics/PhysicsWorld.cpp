#include "model/physics/PhysicsWorld.h"

#include <cassert>
#include <new>

#include <btBulletDynamicsCommon.h>

#include "model/physics/MMDFilterCallback.h"

namespace Vesma {

PhysicsWorld::PhysicsWorld() = default;

PhysicsWorld::~PhysicsWorld() { Destroy(); }

bool PhysicsWorld::Create() {
    Destroy();
    try {
        m_broadphase = std::make_unique<btDbvtBroadphase>();
        m_collisionConfig = std::make_unique<btDefaultCollisionConfiguration>(btDefaultCollisionConstructionInfo());
        m_dispatcher = std::make_unique<btCollisionDispatcher>(m_collisionConfig.get());
        m_solver = std::make_unique<btSequentialImpulseConstraintSolver>();
        m_world = std::make_unique<btDiscreteDynamicsWorld>(m_dispatcher.get(), m_broadphase.get(), m_solver.get(),
                                                            m_collisionConfig.get());
        m_world->setGravity(btVector3(0.0f, kGravityY, 0.0f));

        m_groundShape = std::make_unique<btStaticPlaneShape>(btVector3(0.0f, 1.0f, 0.0f), 0.0f);
        btTransform identity;
        identity.setIdentity();
        m_groundMS = std::make_unique<btDefaultMotionState>(identity);
        btRigidBody::btRigidBodyConstructionInfo groundInfo(0.0f, m_groundMS.get(), m_groundShape.get(),
                                                            btVector3(0.0f, 0.0f, 0.0f));
        m_groundBody = std::make_unique<btRigidBody>(groundInfo);
        m_world->addRigidBody(m_groundBody.get());

        m_filterCB = std::make_unique<MMDFilterCallback>();
        m_filterCB->m_nonFilteredProxy.push_back(m_groundBody->getBroadphaseProxy());
        m_world->getPairCache()->setOverlapFilterCallback(m_filterCB.get());
    } catch (const std::bad_alloc&) {
        Destroy();
        return false;
    }
    return true;
}

void PhysicsWorld::Destroy() {
    if (m_world && m_groundBody) {
        m_world->removeRigidBody(m_groundBody.get());
    }
    // Part by part in a fixed order. With no body and no constraint left, the world's destructor
    // touches neither the broadphase nor the dispatcher deleted before it. Should a caller have
    // left something in the world, the world goes first, while the parts it cleans up with exist.
    assert(!m_world || (m_world->getNumCollisionObjects() == 0 && m_world->getNumConstraints() == 0));
    if (m_world && (m_world->getNumCollisionObjects() != 0 || m_world->getNumConstraints() != 0)) {
        m_world.reset();
    }
    m_broadphase.reset();
    m_collisionConfig.reset();
    m_dispatcher.reset();
    m_solver.reset();
    m_world.reset();
    m_groundShape.reset();
    m_groundMS.reset();
    m_groundBody.reset();
    m_filterCB.reset();
}

}  // namespace Vesma
