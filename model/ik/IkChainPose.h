#pragma once
// The transforms an IK solve reads and moves, held compactly while it runs.
//
// A solve turns only its links, and reads only the globals of the links, the target and the IK
// node. The pose keeps those nodes and their ancestors inside the links' subtrees ("entries"),
// parents first, each with its local and global transform. Turning a link recomputes its local
// and the globals of the entries below it, with the same arithmetic the nodes use, so the solve
// sees exactly what updating the nodes would give; the rest of each subtree (toes, skirt bones
// hanging off the chain) is left for one update when the solve ends.
//
// Entries are listed in pre-order of the tree, so each link's entries below it are one range.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/Math.h"
#include "model/skeleton/MMDNode.h"

namespace Vesma {

class IkChainPose {
public:
    /// Lists the entries for `links` (none null), `target` and `ikNode`. The node
    /// tree must not change afterwards.
    void Build(std::span<MMDNode* const> links, const MMDNode* target, const MMDNode* ikNode);

    /// Start of a solve: takes every non-link entry's local from its node, sets every link's IK
    /// rotate to identity (without touching the nodes) and, with `globals`, computes all globals
    /// (UpdateGlobals).
    void Begin(bool globals = true);
    /// Every entry's global from the locals, parents first.
    void UpdateGlobals();

    /// Sets link `link`'s IK rotate, recomputes its local and every global below it.
    void SetLinkIKRotate(std::size_t link, const Math::quat& ik);
    const Math::quat& GetLinkIKRotate(std::size_t link) const { return m_entries[m_links[link].entry].ik; }
    /// Inner rotation of link `link`'s local parts (animate rotate (x) rotate for a plain bone).
    const Math::quat& GetLinkInnerRotate(std::size_t link) const { return m_links[link].parts.inner; }
    const Math::mat4& GetLinkGlobal(std::size_t link) const { return m_entries[m_links[link].entry].global; }

    Math::vec3 GetTargetPosition() const { return PositionOf(m_target, m_targetNode); }
    Math::vec3 GetIKPosition() const { return PositionOf(m_ikEntry, m_ikNode); }

    /// End of a solve: every link node takes its IK rotate and local from the pose, then the
    /// whole subtree of every link is brought up to date.
    void Commit() const;

    std::size_t GetEntryCount() const { return m_entries.size(); }

private:
    friend class IkLaneSolver;

    struct Entry {
        MMDNode* node = nullptr;
        int32_t parent = -1;                       // entry index, or -1
        const Math::mat4* outerParent = nullptr;   // parent's global when the parent isn't an entry
        bool affine = true;                        // local's last column is (0, 0, 0, 1)
        bool isLink = false;
        Math::quat ik;
        Math::mat4 local;
        Math::mat4 global;
    };
    struct Link {
        std::size_t entry = 0;
        std::size_t end = 0;  // one past the last entry of its subtree
        MMDNode::LocalParts parts;
    };

    Math::vec3 PositionOf(int32_t entry, const MMDNode* node) const {
        return entry >= 0 ? m_entries[entry].global.Translation() : node->GetGlobalTransform().Translation();
    }
    void UpdateGlobal(Entry& e) const;

    std::vector<Entry> m_entries;
    std::vector<Link> m_links;
    // Links whose subtrees together cover every link; they are what Commit updates.
    std::vector<MMDNode*> m_topLinks;
    const MMDNode* m_targetNode = nullptr;
    const MMDNode* m_ikNode = nullptr;
    int32_t m_target = -1;
    int32_t m_ikEntry = -1;
};

}  // namespace Vesma
