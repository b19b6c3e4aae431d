#include "tests/support/PhysicsRigs.h"

#include <cmath>
#include <string>

#include "core/TextConvert.h"

namespace TestSupport {

using Vesma::PMXBone;
using Vesma::PMXJoint;
using Vesma::PMXRigidBody;
using Vesma::PMXRigidBodyOperation;
using Vesma::PMXRigidBodyShape;

namespace {

constexpr float kTwoPi = 6.28318530718f;

int AddBone(PhysicsRig& rig, const std::string& name, Math::vec3 position, int parent) {
    PMXBone bone;
    bone.name = Utf8ToUtf16(name);
    bone.position = position;
    bone.parentBoneIndex = parent;
    bone.appendBoneIndex = -1;
    rig.bones.push_back(bone);
    return static_cast<int>(rig.bones.size()) - 1;
}

int AddBody(PhysicsRig& rig, const std::string& name, int bone, PMXRigidBodyShape shape, Math::vec3 size,
            Math::vec3 position, Math::vec3 rotation, PMXRigidBodyOperation op, uint8_t group, uint16_t mask) {
    PMXRigidBody body;
    body.name = Utf8ToUtf16(name);
    body.boneIndex = bone;
    body.group = group;
    body.collisionGroup = mask;
    body.shape = shape;
    body.shapeSize = size;
    body.translate = position;
    body.rotate = rotation;
    body.mass = 1.0f;
    body.translateDimmer = 0.5f;
    body.rotateDimmer = 0.5f;
    body.repulsion = 0.0f;
    body.friction = 0.5f;
    body.op = op;
    rig.rigidBodies.push_back(body);
    return static_cast<int>(rig.rigidBodies.size()) - 1;
}

void AddJoint(PhysicsRig& rig, int a, int b, Math::vec3 position, bool spring) {
    PMXJoint joint;
    joint.name = u"joint";
    joint.rigidbodyAIndex = a;
    joint.rigidbodyBIndex = b;
    joint.translate = position;
    joint.rotateLowerLimit = {-0.6f, -0.2f, -0.6f};
    joint.rotateUpperLimit = {0.6f, 0.2f, 0.6f};
    if (spring) {
        joint.springRotateFactor = {20.0f, 0.0f, 20.0f};
    }
    rig.joints.push_back(joint);
}

// A chain of dynamic bodies whose first link hangs from `anchorBody`; positions[k] is link k.
void AddChain(PhysicsRig& rig, const std::string& name, int anchorBone, int anchorBody, Math::vec3 anchorPosition,
              const std::vector<Math::vec3>& positions, PMXRigidBodyShape shape, Math::vec3 size, Math::vec3 rotation,
              uint8_t group, uint16_t mask) {
    int parentBone = anchorBone;
    int previousBody = anchorBody;
    Math::vec3 previousPosition = anchorPosition;
    for (size_t k = 0; k < positions.size(); ++k) {
        const std::string linkName = name + "_" + std::to_string(k);
        const int bone = AddBone(rig, linkName, positions[k], parentBone);
        const int body = AddBody(rig, linkName, bone, shape, size, positions[k], rotation,
                                 PMXRigidBodyOperation::Dynamic, group, mask);
        AddJoint(rig, previousBody, body, (previousPosition + positions[k]) * 0.5f, k % 2 == 0);
        parentBone = bone;
        previousBody = body;
        previousPosition = positions[k];
    }
}

}  // namespace

PhysicsRig MakeHairAndSkirtRig(const HairAndSkirtShape& shape) {
    PhysicsRig rig;
    const Math::vec3 hipPosition{0.0f, 10.0f, 0.0f};
    const Math::vec3 headPosition{0.0f, 15.0f, 0.0f};
    AddBone(rig, "root", {0.0f, 0.0f, 0.0f}, -1);
    const int hip = AddBone(rig, "hip", hipPosition, 0);
    const int head = AddBone(rig, "head", headPosition, hip);

    constexpr uint16_t kAll = 0xFFFF;
    const uint16_t hairMask = kAll & ~(1u << 3) & ~(1u << 4);
    const uint16_t skirtMask = kAll & ~(1u << 4) & ~(1u << 3);
    const int headBody = AddBody(rig, "head", head, PMXRigidBodyShape::Sphere, {1.0f, 0, 0}, headPosition, {},
                                 PMXRigidBodyOperation::Static, 0, kAll);
    const int hipBody = AddBody(rig, "hip", hip, PMXRigidBodyShape::Sphere, {1.2f, 0, 0}, hipPosition, {},
                                PMXRigidBodyOperation::Static, 0, kAll);

    // Colliders around the torso and down the legs, kept clear of the chains' rest positions.
    for (int i = 0; i < shape.colliders; ++i) {
        const float a = kTwoPi * static_cast<float>(i) / static_cast<float>(shape.colliders);
        const int onHead = i % 4 == 0;
        const Math::vec3 centre = onHead ? headPosition : hipPosition;
        const Math::vec3 p{0.4f * std::cos(a), centre.y + (onHead ? -2.0f : -1.5f - 0.3f * (i % 5)), 0.4f * std::sin(a)};
        AddBody(rig, "collider_" + std::to_string(i), onHead ? head : hip, PMXRigidBodyShape::Sphere,
                {0.3f, 0, 0}, p, {}, PMXRigidBodyOperation::Static, 0, kAll);
    }

    for (int s = 0; s < shape.hairStrands; ++s) {
        const float a = kTwoPi * static_cast<float>(s) / static_cast<float>(shape.hairStrands);
        const Math::vec3 root = headPosition + Math::vec3{1.3f * std::cos(a), 0.0f, 1.3f * std::sin(a)};
        std::vector<Math::vec3> links;
        for (int k = 0; k < shape.hairLinks; ++k) {
            links.push_back(root + Math::vec3{0.15f * k * std::cos(a), -0.9f * (k + 1), 0.15f * k * std::sin(a)});
        }
        AddChain(rig, "hair" + std::to_string(s), head, headBody, root, links, PMXRigidBodyShape::Capsule,
                 {0.2f, 0.5f, 0.0f}, {}, 3, hairMask);
    }

    for (int c = 0; c < shape.skirtColumns; ++c) {
        const float a = kTwoPi * static_cast<float>(c) / static_cast<float>(shape.skirtColumns);
        std::vector<Math::vec3> links;
        for (int k = 0; k < shape.skirtLinks; ++k) {
            const float r = 1.6f + 0.25f * static_cast<float>(k);
            links.push_back({r * std::cos(a), hipPosition.y - 0.6f * static_cast<float>(k + 1), r * std::sin(a)});
        }
        const Math::vec3 top{1.4f * std::cos(a), hipPosition.y, 1.4f * std::sin(a)};
        AddChain(rig, "skirt" + std::to_string(c), hip, hipBody, top, links, PMXRigidBodyShape::Box,
                 {0.35f, 0.25f, 0.05f}, {0.0f, -a, 0.0f}, 4, skirtMask);
    }
    return rig;
}

}  // namespace TestSupport
