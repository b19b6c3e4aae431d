#pragma once
// Small hand-built models for the motion and per-frame update tests.
#include <memory>
#include <string>
#include <vector>

#include "model/io/PMXFile.h"
#include "model/PMXModel.h"

namespace ModelRigs {

constexpr uint16_t kIKFlag = 0x0020;
constexpr uint16_t kAppendRotateFlag = 0x0100;

/// A bone at a model-space position (the file stores z negated).
inline Vesma::PMXBone Bone(std::u16string name, Math::vec3 modelPosition, int32_t parent, int32_t depth = 0) {
    Vesma::PMXBone bone;
    bone.name = std::move(name);
    bone.position = {modelPosition.x, modelPosition.y, -modelPosition.z};
    bone.parentBoneIndex = parent;
    bone.deformDepth = depth;
    bone.appendBoneIndex = -1;
    bone.ikTargetBoneIndex = -1;
    return bone;
}

/// An IK bone (unlimited single link, full-turn step limit) that moves `target` by turning `link`.
inline Vesma::PMXBone IKBone(std::u16string name, Math::vec3 modelPosition, int32_t parent, int32_t target,
                             int32_t link, int32_t loops) {
    Vesma::PMXBone bone = Bone(std::move(name), modelPosition, parent);
    bone.boneFlag = kIKFlag;
    bone.ikTargetBoneIndex = target;
    bone.ikIterationCount = loops;
    bone.ikLimit = 2 * Math::kPi;
    Vesma::PMXIKLink ikLink;
    ikLink.ikBoneIndex = link;
    bone.ikLinks.push_back(ikLink);
    return bone;
}

inline Vesma::PMXVertex Vertex(Math::vec3 modelPosition, Vesma::PMXVertexWeight type, std::array<int32_t, 4> bones,
                               std::array<float, 4> weights) {
    Vesma::PMXVertex v;
    v.position = {modelPosition.x, modelPosition.y, -modelPosition.z};
    v.normal = {0, 0, -1};  // model-space +z
    v.uv = {0.25f, 0.5f};
    v.weightType = type;
    v.boneIndices = bones;
    v.boneWeights = weights;
    return v;
}

/// Loads `file` into a fresh model; the test fails if the load does.
inline std::shared_ptr<Vesma::PMXModel> LoadModel(Vesma::PMXFile file) {
    auto model = std::make_shared<Vesma::PMXModel>();
    if (!model->Load(std::move(file), u"rig")) return nullptr;
    return model;
}

}  // namespace ModelRigs
