#pragma once
// One bone of a skeleton: its rest pose, the values animation, morphs and IK write into it each
// frame, and its local, global (model-space) and inverse bind transforms.
//
// Nodes form a tree through parent / first-child / sibling links. Children keep insertion order;
// the first child's previous-sibling link points at the last child so appending is O(1). Nodes
// never move once created (others keep pointers to them); the owner is the model's node list.
#include <string>

#include "core/Math.h"

namespace Vesma {

class MMDNode {
public:
    MMDNode() = default;
    virtual ~MMDNode() = default;
    MMDNode(const MMDNode&) = delete;
    MMDNode& operator=(const MMDNode&) = delete;

    /// Start of a frame: translate, rotate and scale return to their initial values; animate
    /// translate := 0, animate rotate := identity, IK rotate := identity; then BeginUpdateHook.
    void BeginUpdate() {
        RestorePose();
        BeginUpdateHook();
    }

    /// Called on every node once the frame's node pass is done.
    virtual void EndUpdateHook() {}

    /// What the local transform is built from, apart from the IK rotate: local :=
    /// Scaling(scale) * RotationQuaternion(r) * Translation(t) with r = outer (x) IK rotate (x)
    /// inner, the IK rotate only when `appliesIK` and outer only when `hasOuter`.
    struct LocalParts {
        Math::vec3 t;
        Math::quat inner;
        Math::quat outer;
        Math::vec3 scale{1, 1, 1};
        bool hasOuter = false;
        bool appliesIK = false;
    };
    /// Here t = translate + animate translate, inner = animate rotate (x) rotate, no outer, and the
    /// IK rotate applies when IK is enabled on this node.
    virtual LocalParts GetLocalParts() const {
        LocalParts parts;
        parts.t = m_translate + m_animTranslate;
        parts.inner = m_animRotate * m_rotate;
        parts.scale = m_scale;
        parts.appliesIK = m_enableIK;
        return parts;
    }
    /// The local transform `parts` give with the IK rotate `ik`.
    static Math::mat4 ComposeLocal(const LocalParts& parts, const Math::quat& ik) {
        Math::quat r = parts.inner;
        if (parts.appliesIK) r = ik * r;
        if (parts.hasOuter) r = parts.outer * r;
        // Scaling(s) * R * Translation(t): the scale multiplies the rows of R and t fills the
        // fourth row. Bones almost always have scale 1, which multiplies exactly.
        Math::mat4 local = Math::RotationQuaternion(r);
        const Math::vec3& s = parts.scale;
        if (!(s.x == 1.0f && s.y == 1.0f && s.z == 1.0f)) {
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) local.m[row][col] *= s[row];
            }
        }
        local.SetTranslation(parts.t);
        return local;
    }

    /// local := ComposeLocal(GetLocalParts(), IK rotate).
    void ComputeLocalTransform() { m_local = ComposeLocal(GetLocalParts(), m_ikRotate); }

    /// global := local * parent.global (local for a root), then the same for the whole subtree in
    /// child-list order. Iterative, so deep chains from hostile files can't exhaust the stack.
    void UpdateGlobalTransform();
    /// global := local * parent.global (local for a root) for this node alone; the subtree is
    /// left as it is.
    void UpdateOwnGlobalTransform();

    /// Appends `child` as the last child. Refuses (returns false) a null child, this node itself,
    /// or a node that already has a parent. The caller keeps the links free of cycles.
    bool AddChild(MMDNode* child);

    // ---- identity and links ----
    const std::u16string& GetName() const { return m_name; }
    void SetName(std::u16string name) { m_name = std::move(name); }
    MMDNode* GetParent() const { return m_parent; }
    MMDNode* GetFirstChild() const { return m_firstChild; }
    MMDNode* GetNext() const { return m_next; }
    /// For a first child this is the last child of the parent.
    MMDNode* GetPrev() const { return m_prev; }

    /// Set on every node that is a link of some IK chain.
    bool IsIKEnabled() const { return m_enableIK; }
    void EnableIK(bool enable) { m_enableIK = enable; }

    // ---- pose ----
    const Math::vec3& GetTranslate() const { return m_translate; }
    void SetTranslate(const Math::vec3& t) { m_translate = t; }
    const Math::quat& GetRotate() const { return m_rotate; }
    void SetRotate(const Math::quat& r) { m_rotate = r; }
    const Math::vec3& GetScale() const { return m_scale; }
    void SetScale(const Math::vec3& s) { m_scale = s; }

    const Math::vec3& GetAnimateTranslate() const { return m_animTranslate; }
    void SetAnimateTranslate(const Math::vec3& t) { m_animTranslate = t; }
    const Math::quat& GetAnimateRotate() const { return m_animRotate; }
    void SetAnimateRotate(const Math::quat& r) { m_animRotate = r; }

    /// The pose a weighted motion evaluation blends from.
    const Math::vec3& GetBaseAnimateTranslate() const { return m_baseAnimTranslate; }
    void SetBaseAnimateTranslate(const Math::vec3& t) { m_baseAnimTranslate = t; }
    const Math::quat& GetBaseAnimateRotate() const { return m_baseAnimRotate; }
    void SetBaseAnimateRotate(const Math::quat& r) { m_baseAnimRotate = r; }
    /// Base := the current animate values.
    void SaveBaseAnimation() {
        m_baseAnimTranslate = m_animTranslate;
        m_baseAnimRotate = m_animRotate;
    }
    /// Base := zero translation and identity rotation.
    void ClearBaseAnimation() {
        m_baseAnimTranslate = {};
        m_baseAnimRotate = Math::quat::Identity();
    }

    const Math::quat& GetIKRotate() const { return m_ikRotate; }
    void SetIKRotate(const Math::quat& r) { m_ikRotate = r; }

    // ---- transforms ----
    const Math::mat4& GetLocalTransform() const { return m_local; }
    void SetLocalTransform(const Math::mat4& m) { m_local = m; }
    const Math::mat4& GetGlobalTransform() const { return m_global; }
    void SetGlobalTransform(const Math::mat4& m) { m_global = m; }
    const Math::mat4& GetInverseInitTransform() const { return m_inverseInit; }
    void SetInverseInitTransform(const Math::mat4& m) { m_inverseInit = m; }

    // ---- rest pose, restored by BeginUpdate ----
    const Math::vec3& GetInitialTranslate() const { return m_initTranslate; }
    const Math::quat& GetInitialRotate() const { return m_initRotate; }
    const Math::vec3& GetInitialScale() const { return m_initScale; }
    /// Initial translate/rotate/scale := the current translate/rotate/scale.
    void SaveInitialTRS() {
        m_initTranslate = m_translate;
        m_initRotate = m_rotate;
        m_initScale = m_scale;
    }

protected:
    /// Per-class part of BeginUpdate.
    virtual void BeginUpdateHook() {}

    /// BeginUpdate without the hook.
    void RestorePose() {
        m_translate = m_initTranslate;
        m_rotate = m_initRotate;
        m_scale = m_initScale;
        m_animTranslate = {};
        m_animRotate = Math::quat::Identity();
        m_ikRotate = Math::quat::Identity();
    }
    /// The transforms for in-place writes by subclasses' per-frame passes.
    Math::mat4& LocalTransformRef() { return m_local; }
    Math::mat4& GlobalTransformRef() { return m_global; }

private:
    std::u16string m_name;
    bool m_enableIK = false;

    MMDNode* m_parent = nullptr;
    MMDNode* m_firstChild = nullptr;
    MMDNode* m_next = nullptr;
    MMDNode* m_prev = nullptr;

    Math::vec3 m_translate;
    Math::quat m_rotate;
    Math::vec3 m_scale{1, 1, 1};

    Math::vec3 m_animTranslate;
    Math::quat m_animRotate;
    Math::vec3 m_baseAnimTranslate;
    Math::quat m_baseAnimRotate;

    Math::quat m_ikRotate;

    Math::mat4 m_local;
    Math::mat4 m_global;
    Math::mat4 m_inverseInit;

    Math::vec3 m_initTranslate;
    Math::quat m_initRotate;
    Math::vec3 m_initScale{1, 1, 1};
};

}  // namespace Vesma
