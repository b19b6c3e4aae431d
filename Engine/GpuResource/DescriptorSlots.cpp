#include "Engine/GpuResource/DescriptorSlots.h"

#include "Engine/EngineCore.h"

namespace Engine {

void DescriptorSlots::Detach() {
    std::lock_guard lock(m_lock);
    m_core = nullptr;
    m_detached = true;
    for (auto& list : m_returned) list.clear();
}

int32_t DescriptorSlots::Take(uint32_t kind, const Platform::DescriptorHeap& heap, int32_t& used) {
    std::lock_guard lock(m_lock);
    std::vector<Returned>& returned = m_returned.at(kind);
    const Platform::Fence* fence = m_core ? m_core->GetFence() : nullptr;
    const uint64_t completed = fence ? fence->GetCompletedValue() : UINT64_MAX;
    for (size_t i = 0; i < returned.size(); ++i) {
        if (returned[i].fence > completed) continue;
        const int32_t index = returned[i].index;
        returned[i] = returned.back();
        returned.pop_back();
        return index;
    }
    if (used >= static_cast<int32_t>(heap.Capacity())) return -1;
    return used++;
}

void DescriptorSlots::Return(uint32_t kind, int32_t index) {
    std::lock_guard lock(m_lock);
    if (m_detached || kind >= m_returned.size() || index < 0) return;
    // The value the frame now being recorded will signal: every use recorded so far, submitted
    // or not, is behind it.
    const uint64_t fence = m_core ? m_core->GetFenceValue(m_core->GetBackBufferIndex()) : 0;
    m_returned[kind].push_back({index, fence});
}

size_t DescriptorSlots::ReturnedCount(uint32_t kind) const {
    std::lock_guard lock(m_lock);
    return m_returned.at(kind).size();
}

}  // namespace Engine
