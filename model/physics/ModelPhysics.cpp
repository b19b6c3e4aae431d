#include "model/physics/ModelPhysics.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_set>

#include <btBulletDynamicsCommon.h>

#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/skeleton/MMDNodeManager.h"

namespace Vesma {

namespace {

bool Finite(const Math::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool Finite(const PMXRigidBody& b) {
    return Finite(b.shapeSize) && Finite(b.translate) && Finite(b.rotate) && std::isfinite(b.mass) &&
           std::isfinite(b.translateDimmer) && std::isfinite(b.rotateDimmer) && std::isfinite(b.repulsion) &&
           std::isfinite(b.friction);
}

bool Finite(const PMXJoint& j) {
    return Finite(j.translate) && Finite(j.rotate) && Finite(j.translateLowerLimit) && Finite(j.translateUpperLimit) &&
           Finite(j.rotateLowerLimit) && Finite(j.rotateUpperLimit) && Finite(j.springTranslateFactor) &&
           Finite(j.springRotateFactor);
}

bool IsShapeKnown(PMXRigidBodyShape shape) {
    return shape == PMXRigidBodyShape::Sphere || shape == PMXRigidBodyShape::Box ||
           shape == PMXRigidBodyShape::Capsule;
}

// Longer than any frame gap worth simulating; keeps Bullet's step count inside an int.
constexpr float kMaxElapsedSeconds = 10000.0f;

}  // namespace

ModelPhysics::ModelPhysics() = default;

ModelPhysics::~ModelPhysics() { Clear(); }

void ModelPhysics::Clear() {
    btDiscreteDynamicsWorld* world = m_world.GetDynamicsWorld();
    for (const auto& joint : m_joints) {
        if (world) joint->RemoveFromWorld(world);
    }
    m_joints.clear();
    for (const auto& body : m_rigidBodies) {
        if (world) body->RemoveFromWorld(world);
    }
    m_rigidBodies.clear();
    m_bodyByFileIndex.clear();
    m_world.Destroy();
    m_nodes = nullptr;
}

RigidBodyBinding* ModelPhysics::GetRigidBodyByFileIndex(int64_t index) const {
    return index >= 0 && static_cast<uint64_t>(index) < m_bodyByFileIndex.size() ? m_bodyByFileIndex[index] : nullptr;
}

std::vector<MMDNode*> ModelPhysics::GetSimulatedNodes() const {
    std::vector<MMDNode*> nodes;
    std::unordered_set<const MMDNode*> seen;
    for (const auto& body : m_rigidBodies) {
        MMDNode* node = body->GetNode();
        const PMXRigidBodyOperation op = body->GetOperation();
        const bool simulated =
            op == PMXRigidBodyOperation::Dynamic || op == PMXRigidBodyOperation::DynamicAndBoneMerge;
        if (node && simulated && seen.insert(node).second) nodes.push_back(node);
    }
    return nodes;
}

bool ModelPhysics::Build(std::span<const PMXRigidBody> rigidBodies, std::span<const PMXJoint> joints,
                         MMDNodeManager& nodes) {
    Clear();
    if (!m_world.Create()) {
        MessageLog::Instance().AppendUtf8("The physics world could not be created.");
        return false;
    }
    m_nodes = &nodes;
    btDiscreteDynamicsWorld* world = m_world.GetDynamicsWorld();
    const int64_t nodeCount = static_cast<int64_t>(nodes.GetNodeCount());

    m_bodyByFileIndex.assign(rigidBodies.size(), nullptr);
    size_t badBone = 0;
    size_t badNumbers = 0;
    for (size_t i = 0; i < rigidBodies.size(); ++i) {
        const PMXRigidBody& pmx = rigidBodies[i];
        if (!IsShapeKnown(pmx.shape)) {
            MessageLog::Instance().AppendUtf8("Rigid body " + std::to_string(i) + " (" + Utf16ToUtf8(pmx.name) +
                                              ") has an unknown shape type " +
                                              std::to_string(static_cast<unsigned>(pmx.shape)) + ".");
            return false;
        }
        const bool boneless = pmx.boneIndex == -1;
        if ((!boneless && (pmx.boneIndex < 0 || pmx.boneIndex >= nodeCount)) || (boneless && nodeCount == 0)) {
            ++badBone;
            continue;
        }
        if (!Finite(pmx)) {
            ++badNumbers;
            continue;
        }
        auto binding = std::make_unique<RigidBodyBinding>();
        if (!binding->Create(pmx, nodes, boneless ? nullptr : nodes.GetNode(pmx.boneIndex))) {
            MessageLog::Instance().AppendUtf8("Rigid body " + std::to_string(i) + " (" + Utf16ToUtf8(pmx.name) +
                                              ") could not be created.");
            return false;
        }
        binding->AddToWorld(world);
        m_bodyByFileIndex[i] = binding.get();
        m_rigidBodies.push_back(std::move(binding));
    }
    if (badBone > 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(badBone) +
                                          " rigid body(s) name a bone that does not exist and were skipped.");
    }
    if (badNumbers > 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(badNumbers) +
                                          " rigid body(s) hold invalid numbers (NaN or infinity) and were skipped.");
    }

    size_t badJoints = 0;
    for (const PMXJoint& pmx : joints) {
        if (pmx.rigidbodyAIndex == -1 || pmx.rigidbodyBIndex == -1 || pmx.rigidbodyAIndex == pmx.rigidbodyBIndex) {
            continue;
        }
        RigidBodyBinding* a = GetRigidBodyByFileIndex(pmx.rigidbodyAIndex);
        RigidBodyBinding* b = GetRigidBodyByFileIndex(pmx.rigidbodyBIndex);
        if (!a || !b || !Finite(pmx)) {
            ++badJoints;
            continue;
        }
        auto joint = std::make_unique<JointBinding>();
        if (!joint->Create(pmx, a, b)) {
            ++badJoints;
            continue;
        }
        joint->AddToWorld(world);
        m_joints.push_back(std::move(joint));
    }
    if (badJoints > 0) {
        MessageLog::Instance().AppendUtf8(std::to_string(badJoints) +
                                          " joint(s) name a missing or skipped rigid body, or hold invalid numbers, "
                                          "and were skipped.");
    }
    return true;
}

void ModelPhysics::UpdateRootGlobalTransforms() {
    for (const auto& node : m_nodes->GetNodes()) {
        if (!node->GetParent()) {
            node->UpdateGlobalTransform();
        }
    }
}

void ModelPhysics::ResetPhysics() {
    btDiscreteDynamicsWorld* world = m_world.GetDynamicsWorld();
    if (!world || !m_nodes) {
        return;
    }
    for (const auto& body : m_rigidBodies) {
        body->ResetTransform();
    }
    world->stepSimulation(1.0f / 60.0f, m_world.GetMaxSubStepCount(), m_world.GetFixedTimeStep());
    for (const auto& body : m_rigidBodies) {
        body->Reflect();
    }
    UpdateRootGlobalTransforms();
    for (const auto& body : m_rigidBodies) {
        body->ClearMotion(world);
    }
}

void ModelPhysics::StepPhysics(float elapsed) {
    btDiscreteDynamicsWorld* world = m_world.GetDynamicsWorld();
    if (!world || !m_nodes) {
        return;
    }
    if (!(elapsed >= 0.0f) || std::isinf(elapsed)) {
        elapsed = 0.0f;
    }
    elapsed = std::min(elapsed, kMaxElapsedSeconds);

    for (const auto& body : m_rigidBodies) {
        body->SetActivation();
    }
    world->stepSimulation(elapsed, m_world.GetMaxSubStepCount(), m_world.GetFixedTimeStep());
    for (const auto& body : m_rigidBodies) {
        body->Reflect();
    }
    UpdateRootGlobalTransforms();
}

}  // namespace Vesma
