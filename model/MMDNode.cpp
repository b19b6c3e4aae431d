#include "model/MMDNode.h"

namespace Vesma {

void MMDNode::BeginUpdate() {
    m_translate = m_initTranslate;
    m_rotate = m_initRotate;
    m_scale = m_initScale;
    m_animTranslate = {};
    m_animRotate = Math::quat::Identity();
    m_ikRotate = Math::quat::Identity();
    BeginUpdateHook();
}

MMDNode::LocalParts MMDNode::GetLocalParts() const {
    LocalParts parts;
    parts.t = m_translate + m_animTranslate;
    parts.inner = m_animRotate * m_rotate;
    parts.scale = m_scale;
    parts.appliesIK = m_enableIK;
    return parts;
}

Math::mat4 MMDNode::ComposeLocal(const LocalParts& parts, const Math::quat& ik) {
    Math::quat r = parts.inner;
    if (parts.appliesIK) r = ik * r;
    if (parts.hasOuter) r = parts.outer * r;
    // Scaling(s) * R * Translation(t): the scale multiplies the rows of R and t fills the fourth
    // row, so the product is written out directly.
    const Math::mat4 rot = Math::RotationQuaternion(r);
    Math::mat4 local;
    for (int row = 0; row < 3; ++row) {
        const float s = parts.scale[row];
        for (int col = 0; col < 3; ++col) {
            local.m[row][col] = rot.m[row][col] * s;
        }
        local.m[row][3] = 0.0f;
    }
    local.m[3][0] = parts.t.x;
    local.m[3][1] = parts.t.y;
    local.m[3][2] = parts.t.z;
    local.m[3][3] = 1.0f;
    return local;
}

void MMDNode::UpdateOwnGlobalTransform() {
    if (!m_parent) {
        m_global = m_local;
    } else if (Math::IsAffine(m_local)) {
        m_global = Math::MultiplyAffine(m_local, m_parent->m_global);
    } else {
        m_global = m_local * m_parent->m_global;
    }
}

void MMDNode::UpdateGlobalTransform() {
    // Pre-order walk of the subtree rooted here, the order a recursive update would take.
    MMDNode* node = this;
    for (;;) {
        node->UpdateOwnGlobalTransform();
        if (node->m_firstChild) {
            node = node->m_firstChild;
            continue;
        }
        while (node != this && !node->m_next) {
            node = node->m_parent;
        }
        if (node == this) {
            return;
        }
        node = node->m_next;
    }
}

bool MMDNode::AddChild(MMDNode* child) {
    if (!child || child == this || child->m_parent) {
        return false;
    }
    child->m_parent = this;
    child->m_next = nullptr;
    if (!m_firstChild) {
        m_firstChild = child;
        child->m_prev = child;
    } else {
        MMDNode* last = m_firstChild->m_prev;
        last->m_next = child;
        child->m_prev = last;
        m_firstChild->m_prev = child;
    }
    return true;
}

}  // namespace Vesma
