#include "model/skeleton/MMDNodeManager.h"

namespace Vesma {

int MMDNodeManager::FindNodeIndex(std::u16string_view name) const {
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i]->GetName() == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

PMXNode* MMDNodeManager::AddNode() {
    m_nodes.push_back(std::make_unique<PMXNode>());
    return m_nodes.back().get();
}

}  // namespace Vesma
