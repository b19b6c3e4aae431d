#pragma once
// Cyclic-coordinate-descent IK: bends a chain of bones so that its end (the target node) reaches
// the position of the bone that carries the IK (the IK node).
//
// Links may be limited to Euler-angle ranges; a link limited on a single axis turns only about that
// axis ("plane mode"). Each step turns a link by at most the solver's limit angle, and the solve
// keeps the iteration that came closest to the goal. The solver writes nothing but the IK rotate of
// its link nodes; the nodes apply it as IK rotate (x) animate rotate (x) rotate.
//
// A solver borrows its nodes from the model's node list and never moves once created (the IK node
// points back at it). The node tree must be complete before the first Solve: the solver keeps the
// part of the links' subtrees it reads (IkChainPose) and works on that until the solve ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Math.h"
#include "model/ik/IkChainPose.h"
#include "model/skeleton/MMDNode.h"

namespace Vesma {

/// One bone of an IK chain with its limits (radians, model space) and the per-solve state.
struct MMDIkLink {
    MMDNode* node = nullptr;
    bool axisLimit = false;
    Math::vec3 limitMax;
    Math::vec3 limitMin;
    /// Euler angles the limited step has reached so far in this solve.
    Math::vec3 prevAngle;
    /// The node's IK rotate after the best iteration so far.
    Math::quat saveIKRotate;
    /// Accumulated angle of the single-axis mode.
    float planeModeAngle = 0.0f;
};

/// The largest turn of one link in one step, with the sines and cosines the solver needs of it.
struct StepLimit {
    explicit StepLimit(float limitAngle);
    float angle;
    float sin;
    float cos;
    float halfSin;
    float halfCos;
};

class MMDIkSolver {
public:
    MMDIkSolver() = default;
    MMDIkSolver(const MMDIkSolver&) = delete;
    MMDIkSolver& operator=(const MMDIkSolver&) = delete;

    /// Appends a link. A limited link keeps `limitMin` and `limitMax` as given (model space).
    void AddIKLink(MMDNode* node, bool axisLimit = false, const Math::vec3& limitMin = {},
                   const Math::vec3& limitMax = {});

    /// Runs the whole solve for this frame: up to the loop count of iterations, stopping at the
    /// first that ends no nearer the goal than the best so far and going back to the best. Does
    /// nothing while disabled or without an IK and a target node.
    void Solve();

    /// Builds the solver's working copy of its chain if the links or nodes changed since the last
    /// one. False when the solver can't run (no IK or target node, or a missing link).
    bool PreparePose();
    /// Counts the working copies built; one solver's copy only changes shape with a new count.
    uint64_t GetPoseGeneration() const { return m_poseGeneration; }

    MMDNode* GetIKNode() const { return m_ikNode; }
    void SetIKNode(MMDNode* node) {
        m_ikNode = node;
        m_poseValid = false;
    }
    MMDNode* GetTargetNode() const { return m_targetNode; }
    void SetTargetNode(MMDNode* node) {
        m_targetNode = node;
        m_poseValid = false;
    }
    /// The IK node's name (empty without an IK node); the IK manager finds solvers by it.
    const std::u16string& GetName() const;

    std::vector<MMDIkLink>& GetLinks() { return m_links; }
    const std::vector<MMDIkLink>& GetLinks() const { return m_links; }

    /// Iterations per solve.
    uint32_t GetIterateCount() const { return m_iterateCount; }
    void SetIterateCount(uint32_t count) { m_iterateCount = count; }
    /// Largest rotation of one link in one step, radians.
    float GetLimitAngle() const { return m_limitAngle; }
    void SetLimitAngle(float angle) {
        m_limitAngle = angle;
        m_stepLimit = StepLimit(angle);
    }

    /// Written by the motion every frame.
    bool IsEnabled() const { return m_enable; }
    void Enable(bool enable) { m_enable = enable; }
    /// What a weighted motion blend falls back to.
    bool GetBaseEnabled() const { return m_baseEnable; }
    void SetBaseEnabled(bool enable) { m_baseEnable = enable; }
    void SaveBaseAnimation() { m_baseEnable = m_enable; }
    void ClearBaseAnimation() { m_baseEnable = true; }

private:
    friend class IkLaneSolver;

    // Solve = BeginSolve, Iterate, then the pose's Commit. Without `globals`, the pose's globals
    // are left for the caller (IkChainPose::UpdateGlobals).
    void BeginSolve(bool globals = true);
    void Iterate();
    void SolveCore(uint32_t iteration);
    void SolvePlane(uint32_t iteration, std::size_t linkIndex, int axis, const Math::vec3& ikPosition);

    std::vector<MMDIkLink> m_links;
    MMDNode* m_ikNode = nullptr;
    MMDNode* m_targetNode = nullptr;
    uint32_t m_iterateCount = 1;
    float m_limitAngle = 6.2831855f;
    StepLimit m_stepLimit{6.2831855f};
    IkChainPose m_pose;
    bool m_poseValid = false;
    uint64_t m_poseGeneration = 0;
    // Per link, the inverse of its inner rotation (animate rotate (x) rotate) during a solve.
    std::vector<Math::quat> m_inverseInner;
    bool m_enable = true;
    bool m_baseEnable = true;
};

/// Euler angles (x, y, z) of a rotation whose row-vector matrix is RotationX(x) * RotationY(y) *
/// RotationZ(z) (upper 3x3 of `m`). Of the equivalent triples, the one nearest to `reference`
/// (compared with every angle wrapped to one turn) is returned; at gimbal lock the reference
/// decides which of x and z is held at 0 or pi.
Math::vec3 DecomposeEuler(const Math::mat4& m, const Math::vec3& reference);

}  // namespace Vesma
