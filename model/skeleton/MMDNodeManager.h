#pragma once
// The node list of a model: owns one PMXNode per bone in file order. Nodes are held through
// owned pointers, so pointers to them stay valid as nodes are added.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "model/skeleton/PMXNode.h"

namespace Vesma {

class MMDNodeManager {
public:
    size_t GetNodeCount() const { return m_nodes.size(); }
    /// Index of the first node whose name equals `name` exactly, or -1.
    int FindNodeIndex(std::u16string_view name) const;
    /// The node at `index`, or null when the index is out of range (-1, the file's "no bone",
    /// included).
    PMXNode* GetNode(int64_t index) const {
        return index >= 0 && static_cast<uint64_t>(index) < m_nodes.size() ? m_nodes[index].get() : nullptr;
    }

    /// Appends a new, unlinked node.
    PMXNode* AddNode();
    void Clear() { m_nodes.clear(); }

    const std::vector<std::unique_ptr<PMXNode>>& GetNodes() const { return m_nodes; }

private:
    std::vector<std::unique_ptr<PMXNode>> m_nodes;
};

}  // namespace Vesma
