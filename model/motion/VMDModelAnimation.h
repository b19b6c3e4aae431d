#pragma once
// The body motion of one model: the bone, IK and morph keys of one or more VMD files bound to the
// nodes, IK solvers and morphs of a PMXModel, one key controller per animated target.
//
// Evaluate(frame, weight) writes the animate translate/rotate of the nodes, the enable flag of the
// IK solvers and the morph weights for a (fractional) frame at 30 frames per second. A weight below
// 1 blends from the base animation the model saved (PMXModel::SaveBaseAnimation).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Math.h"
#include "model/motion/BezierCurve.h"

namespace Vesma {

class MMDIkSolver;
class MMDMorph;
class MMDNode;
class PMXModel;
struct VMDFile;
struct VMDMotionKey;

/// One bone key in model space. The curves shape the segment that ends at this key.
struct BoneKey {
    int32_t frame = 0;
    Math::vec3 translation;
    Math::quat rotation;
    BezierCurve txBezier;
    BezierCurve tyBezier;
    BezierCurve tzBezier;
    BezierCurve rotBezier;
    /// Bytes 2 and 3 of the key's first interpolation row as stored: the authoring tool's per-key
    /// physics switch (0x00 0x00, or 0x63 0x0F). Kept for the physics; no curve reads them.
    std::array<uint8_t, 2> physicsSwitch{};
};

/// The model-space key of one file record: translation z negated, rotation mirrored
/// (MirrorVmdRotation), and each channel's curve read from its own interpolation row.
BoneKey BoneKeyFromRecord(const VMDMotionKey& record);

struct IKKey {
    int32_t frame = 0;
    bool enable = true;
};

struct MorphKey {
    int32_t frame = 0;
    float weight = 0.0f;
};

class NodeController {
public:
    /// A controller for `node`. When the node is a PMX bone with a fixed axis, the axis is taken
    /// now and every rotation the controller writes is a turn about it.
    explicit NodeController(MMDNode* node);
    /// Writes the node's animate translate/rotate for `frame`, blended from its base values by
    /// `weight` unless the weight is exactly 1. A fixed-axis bone gets the result's turn about
    /// its axis (ReduceToFixedAxis).
    void Evaluate(float frame, float weight);

    MMDNode* GetNode() const { return m_node; }
    /// The keys, for changing them: what the last evaluation worked out between two keys is
    /// dropped, so take the list afresh for every change.
    std::vector<BoneKey>& Keys() {
        m_segment.index = kNoSegment;
        return m_keys;
    }
    const std::vector<BoneKey>& Keys() const { return m_keys; }
    void SortKeys();

private:
    static constexpr std::size_t kNoSegment = static_cast<std::size_t>(-1);
    // What evaluations between keys[index - 1] and keys[index] share, worked out when playback
    // enters the span: consecutive frames mostly fall between the same two keys.
    struct Segment {
        std::size_t index = kNoSegment;
        int32_t frame0 = 0;
        int32_t frame1 = 0;
        Math::vec3 translation0;
        Math::vec3 delta;  // keys[index].translation - translation0
        Math::SlerpArc arc;
        // Per translation channel x, y, z: 0 its own curve, 1 the rotation's, 2 x's, 3 y's value
        // (the curves are equal).
        uint8_t source[3] = {0, 0, 0};
    };
    void EnterSegment(std::size_t index);

    MMDNode* m_node;
    std::vector<BoneKey> m_keys;
    std::size_t m_cachedIndex = 0;
    Segment m_segment;
    bool m_hasFixedAxis = false;
    Math::vec3 m_fixedAxis;  // unit, or zero: no turn at all
};

class IKController {
public:
    explicit IKController(MMDIkSolver* solver) : m_solver(solver) {}
    /// Switches the solver on or off as the key at or before `frame` says (no keys: on); with a
    /// weight below 1 the solver takes its base enable.
    void Evaluate(float frame, float weight);

    MMDIkSolver* GetSolver() const { return m_solver; }
    std::vector<IKKey>& Keys() { return m_keys; }
    const std::vector<IKKey>& Keys() const { return m_keys; }
    void SortKeys();

private:
    MMDIkSolver* m_solver;
    std::vector<IKKey> m_keys;
    std::size_t m_cachedIndex = 0;
};

class MorphController {
public:
    explicit MorphController(MMDMorph* morph) : m_morph(morph) {}
    /// Sets the morph weight linearly between keys (no keys: the weight is left as it is),
    /// blended from the base weight by `weight` unless the weight is exactly 1.
    void Evaluate(float frame, float weight);

    MMDMorph* GetMorph() const { return m_morph; }
    std::vector<MorphKey>& Keys() { return m_keys; }
    const std::vector<MorphKey>& Keys() const { return m_keys; }
    void SortKeys();

private:
    MMDMorph* m_morph;
    std::vector<MorphKey> m_keys;
    std::size_t m_cachedIndex = 0;
};

class VMDModelAnimation {
public:
    VMDModelAnimation() = default;
    ~VMDModelAnimation();
    VMDModelAnimation(const VMDModelAnimation&) = delete;
    VMDModelAnimation& operator=(const VMDModelAnimation&) = delete;

    /// Binds the motion to `model`, which it keeps alive. Always succeeds.
    bool Bind(std::shared_ptr<PMXModel> model);
    const std::shared_ptr<PMXModel>& GetModel() const { return m_model; }

    /// Merges the bone, IK and morph keys of `vmd` into the controllers (names that match nothing
    /// in the model are skipped) and sorts every key list by frame. Returns false only when no
    /// model is bound.
    bool AddMotion(const VMDFile& vmd);

    /// Nodes, then IK solvers, then morphs, for a frame at 30 per second.
    void Evaluate(float frame, float weight = 1.0f);

    /// Lets the model's physics settle: saves the current pose as the base, then runs 60 frames
    /// (ModelFrame, without skinning) with one 1/30 s physics step each while the motion is blended
    /// in from the base pose at `frame` (weights 1/60 ... 1). A frame that is not finite runs none.
    void WarmUpPhysics(float frame);

    /// The latest last-key frame over every controller (0 when there are none).
    int32_t MaxKeyFrame() const;
    /// MaxKeyFrame as of the last AddMotion.
    int32_t GetMaxKeyFrame() const { return m_maxKeyFrame; }

    const std::vector<std::unique_ptr<NodeController>>& GetNodeControllers() const { return m_nodeControllers; }
    const std::vector<std::unique_ptr<IKController>>& GetIKControllers() const { return m_ikControllers; }
    const std::vector<std::unique_ptr<MorphController>>& GetMorphControllers() const { return m_morphControllers; }

private:
    std::shared_ptr<PMXModel> m_model;
    std::vector<std::unique_ptr<NodeController>> m_nodeControllers;
    std::vector<std::unique_ptr<IKController>> m_ikControllers;
    std::vector<std::unique_ptr<MorphController>> m_morphControllers;
    int32_t m_maxKeyFrame = 0;
};

/// Model-space rotation of a VMD key rotation: the quaternion of the z-mirrored rotation matrix,
/// normalised. A zero or non-finite quaternion gives identity.
Math::quat MirrorVmdRotation(const Math::quat& q);

}  // namespace Vesma
