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

void MMDNode::ComputeLocalTransform() {
    const Math::vec3 t = m_translate + m_animTranslate;
    Math::quat r = m_animRotate * m_rotate;
    if (m_enableIK) {
        r = m_ikRotate * r;
    }
    SetLocalFromTR(t, r);
}

void MMDNode::SetLocalFromTR(const Math::vec3& t, const Math::quat& r) {
    // Scaling(s) * R * Translation(t): the scale multiplies the rows of R and t fills the fourth
    // row, so the product is written out directly.
    const Math::mat4 rot = Math::RotationQuaternion(r);
    for (int row = 0; row < 3; ++row) {
        const float s = m_scale[row];
        for (int col = 0; col < 3; ++col) {
            m_local.m[row][col] = rot.m[row][col] * s;
        }
        m_local.m[row][3] = 0.0f;
    }
    m_local.m[3][0] = t.x;
    m_local.m[3][1] = t.y;
    m_local.m[3][2] = t.z;
    m_local.m[3][3] = 1.0f;
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
