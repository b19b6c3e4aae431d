#pragma once
// Motion states that tie a rigid body to a bone node.
//
// Bullet reads a body's transform from its motion state and, for simulated bodies, writes the
// simulated transform back into it. Every transform a state hands over is in the file's space:
// MirrorZ(offset * node.global), where `offset` is the body's rest transform relative to the
// node's global transform (model space). Reset puts a state back on the bone's pose; Reflect
// writes a simulated transform onto the node. States never own their node.
#include <LinearMath/btMotionState.h>

#include "core/Math.h"

namespace Vesma {

class MMDNode;

class MMDMotionState : public btMotionState {
public:
    ~MMDMotionState() override = default;
    void getWorldTransform(btTransform& worldTrans) const override = 0;
    void setWorldTransform(const btTransform& worldTrans) override = 0;
    /// Returns the stored transform to its starting value.
    virtual void Reset() = 0;
    /// Writes the stored transform onto the bound node, where the state does so.
    virtual void ReflectGlobalTransform() = 0;
};

/// A plain store for a body without a bone: starts at, and resets to, its initial transform.
class DefaultMotionState : public MMDMotionState {
public:
    explicit DefaultMotionState(const Math::mat4& transform);
    void getWorldTransform(btTransform& worldTrans) const override { worldTrans = m_transform; }
    void setWorldTransform(const btTransform& worldTrans) override { m_transform = worldTrans; }
    void Reset() override { m_transform = m_initialTransform; }
    void ReflectGlobalTransform() override {}

private:
    btTransform m_initialTransform;
    btTransform m_transform;
};

/// A simulated body driving its node: reset takes the node's pose; reflect sets the node's global
/// transform to inverse offset * MirrorZ(stored), all four rows.
class DynamicMotionState : public MMDMotionState {
public:
    /// Runs Reset once.
    DynamicMotionState(MMDNode* node, const Math::mat4& offset, bool override = true);
    void getWorldTransform(btTransform& worldTrans) const override { worldTrans = m_transform; }
    void setWorldTransform(const btTransform& worldTrans) override { m_transform = worldTrans; }
    void Reset() override;
    void ReflectGlobalTransform() override;

protected:
    /// The body's pose as it would set the node's global transform.
    Math::mat4 SimulatedGlobal() const;

    MMDNode* m_node;
    Math::mat4 m_offset;
    Math::mat4 m_invOffset;
    btTransform m_transform;
    bool m_override;
};

/// As DynamicMotionState, but reflect leaves the node's global translation row as the bone
/// animation set it: the body turns the bone without moving it.
class DynamicAndBoneMergeMotionState : public DynamicMotionState {
public:
    /// Runs Reset once.
    DynamicAndBoneMergeMotionState(MMDNode* node, const Math::mat4& offset, bool override = true)
        : DynamicMotionState(node, offset, override) {}
    void ReflectGlobalTransform() override;
};

/// A body that follows its node: every read computes MirrorZ(offset * node.global) afresh;
/// writes, reset and reflect do nothing.
class KinematicMotionState : public MMDMotionState {
public:
    KinematicMotionState(MMDNode* node, const Math::mat4& offset);
    void getWorldTransform(btTransform& worldTrans) const override;
    void setWorldTransform(const btTransform&) override {}
    void Reset() override {}
    void ReflectGlobalTransform() override {}

private:
    MMDNode* m_node;
    Math::mat4 m_offset;
};

}  // namespace Vesma
