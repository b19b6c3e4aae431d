#pragma once
// One model's rigid-body world: the Bullet world with its broadphase, collision configuration,
// dispatcher and solver, a static ground plane at y = 0 that collides with every body whatever
// its group mask, and the fixed step the simulation advances by.
//
// The world works in the model file's own space (z not negated); transforms from model space
// pass through Math::MirrorZ on the way in and out (see RigidBodyBinding). Owned by the model.
// Bodies and constraints added to the world belong to their bindings, which must take them out
// again before the world is destroyed.
#include <memory>

class btBroadphaseInterface;
class btCollisionConfiguration;
class btCollisionDispatcher;
class btSequentialImpulseConstraintSolver;
class btDiscreteDynamicsWorld;
class btCollisionShape;
class btMotionState;
class btRigidBody;

namespace Vesma {

class MMDFilterCallback;

class PhysicsWorld {
public:
    /// Gravity along y, in model units per second squared (float bits 0xC2F84505).
    static constexpr float kGravityY = -124.1348f;

    PhysicsWorld();
    ~PhysicsWorld();
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;

    /// Builds the world, its gravity, the ground body and the filter callback. Returns false when
    /// they can't be created (the world is then left empty). A second call rebuilds from scratch.
    bool Create();
    /// Takes the ground out of the world and deletes every part. Safe on an empty world.
    void Destroy();

    /// Null until Create succeeds.
    btDiscreteDynamicsWorld* GetDynamicsWorld() const { return m_world.get(); }
    btRigidBody* GetGroundBody() const { return m_groundBody.get(); }
    MMDFilterCallback* GetFilterCallback() const { return m_filterCB.get(); }

    /// Simulation rate: the fixed step is 1 / fps seconds.
    double GetFPS() const { return m_fps; }
    float GetFixedTimeStep() const { return static_cast<float>(1.0 / m_fps); }
    int GetMaxSubStepCount() const { return m_maxSubStepCount; }

private:
    std::unique_ptr<btBroadphaseInterface> m_broadphase;
    std::unique_ptr<btCollisionConfiguration> m_collisionConfig;
    std::unique_ptr<btCollisionDispatcher> m_dispatcher;
    std::unique_ptr<btSequentialImpulseConstraintSolver> m_solver;
    std::unique_ptr<btDiscreteDynamicsWorld> m_world;
    std::unique_ptr<btCollisionShape> m_groundShape;
    std::unique_ptr<btMotionState> m_groundMS;
    std::unique_ptr<btRigidBody> m_groundBody;
    std::unique_ptr<MMDFilterCallback> m_filterCB;

    double m_fps = 120.0;
    int m_maxSubStepCount = 10;
};

}  // namespace Vesma
