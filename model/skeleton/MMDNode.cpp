#include "model/skeleton/MMDNode.h"

namespace Vesma {

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
