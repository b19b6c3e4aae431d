#include "model/ik/IkChainPose.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace Vesma {

void IkChainPose::Build(std::span<MMDNode* const> links, const MMDNode* target, const MMDNode* ikNode) {
    m_entries.clear();
    m_links.clear();
    m_topLinks.clear();
    m_targetNode = target;
    m_ikNode = ikNode;

    // The nodes whose globals the solve reads, with all their ancestors. A node that isn't wanted
    // has no wanted descendant, so the walks below stop there.
    std::unordered_set<const MMDNode*> wanted;
    const auto markWithAncestors = [&](const MMDNode* node) {
        while (node && wanted.insert(node).second) node = node->GetParent();
    };
    markWithAncestors(target);
    markWithAncestors(ikNode);
    const std::unordered_set<const MMDNode*> linkNodes(links.begin(), links.end());
    for (const MMDNode* link : links) markWithAncestors(link);

    // Links with no link above them; their subtrees hold every link and don't overlap.
    for (MMDNode* link : links) {
        bool covered = false;
        for (const MMDNode* up = link->GetParent(); up && !covered; up = up->GetParent()) {
            covered = linkNodes.count(up) != 0;
        }
        if (!covered && std::find(m_topLinks.begin(), m_topLinks.end(), link) == m_topLinks.end()) {
            m_topLinks.push_back(link);
        }
    }

    // Pre-order walk of each top link's wanted subtree. `ends` closes each entry's range when the
    // walk comes back up to its depth.
    std::unordered_map<const MMDNode*, int32_t> entryOf;
    std::vector<std::size_t> ends;
    std::vector<std::pair<std::size_t, int>> open;  // entry, depth
    std::vector<std::pair<MMDNode*, int>> stack;
    std::vector<MMDNode*> children;
    for (MMDNode* top : m_topLinks) {
        stack.assign(1, {top, 0});
        while (!stack.empty()) {
            const auto [node, depth] = stack.back();
            stack.pop_back();
            while (!open.empty() && open.back().second >= depth) {
                ends[open.back().first] = m_entries.size();
                open.pop_back();
            }
            const int32_t index = static_cast<int32_t>(m_entries.size());
            entryOf[node] = index;
            Entry entry;
            entry.node = node;
            entry.isLink = linkNodes.count(node) != 0;
            if (const MMDNode* parent = node->GetParent()) {
                const auto found = entryOf.find(parent);
                if (found != entryOf.end()) {
                    entry.parent = found->second;
                } else {
                    entry.outerParent = &parent->GetGlobalTransform();
                }
            }
            m_entries.push_back(entry);
            ends.push_back(0);
            open.push_back({static_cast<std::size_t>(index), depth});

            children.clear();
            for (MMDNode* child = node->GetFirstChild(); child; child = child->GetNext()) {
                if (wanted.count(child) != 0) children.push_back(child);
            }
            for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, depth + 1});
        }
        for (const auto& [entry, depth] : open) ends[entry] = m_entries.size();
        open.clear();
    }

    for (MMDNode* link : links) {
        Link l;
        l.entry = static_cast<std::size_t>(entryOf.at(link));
        l.end = ends[l.entry];
        m_links.push_back(l);
    }
    const auto indexOf = [&](const MMDNode* node) {
        const auto found = entryOf.find(node);
        return found == entryOf.end() ? -1 : found->second;
    };
    m_target = indexOf(target);
    m_ikEntry = indexOf(ikNode);
}

void IkChainPose::UpdateGlobal(Entry& e) const {
    // The arithmetic of MMDNode::UpdateOwnGlobalTransform, so the results are the same bits.
    const Math::mat4* parent = e.parent >= 0 ? &m_entries[e.parent].global : e.outerParent;
    if (!parent) {
        e.global = e.local;
    } else if (e.affine) {
        e.global = Math::MultiplyAffine(e.local, *parent);
    } else {
        e.global = e.local * *parent;
    }
}

void IkChainPose::Begin(bool globals) {
    for (Link& link : m_links) link.parts = m_entries[link.entry].node->GetLocalParts();
    for (Entry& e : m_entries) {
        if (!e.isLink) {
            e.local = e.node->GetLocalTransform();
            e.affine = Math::IsAffine(e.local);
        }
    }
    for (const Link& link : m_links) {
        Entry& e = m_entries[link.entry];
        e.ik = Math::quat::Identity();
        e.local = MMDNode::ComposeLocal(link.parts, e.ik);
        e.affine = true;
    }
    if (globals) UpdateGlobals();
}

void IkChainPose::UpdateGlobals() {
    for (Entry& e : m_entries) UpdateGlobal(e);
}

void IkChainPose::SetLinkIKRotate(std::size_t link, const Math::quat& ik) {
    const Link& l = m_links[link];
    Entry& e = m_entries[l.entry];
    e.ik = ik;
    e.local = MMDNode::ComposeLocal(l.parts, ik);
    for (std::size_t i = l.entry; i < l.end; ++i) UpdateGlobal(m_entries[i]);
}

void IkChainPose::Commit() const {
    for (const Link& link : m_links) {
        const Entry& e = m_entries[link.entry];
        e.node->SetIKRotate(e.ik);
        e.node->SetLocalTransform(e.local);
    }
    for (MMDNode* top : m_topLinks) top->UpdateGlobalTransform();
}

}  // namespace Vesma
