#include "Engine/GpuResource/DescriptorHandle.h"

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/DescriptorSlots.h"
#include "core/HrException.h"

namespace Engine {

/// Gives its slot back when the last handle holding it goes away.
class DescriptorSlotLease {
public:
    DescriptorSlotLease(std::weak_ptr<DescriptorSlots> slots, uint32_t kind, int32_t index)
        : m_slots(std::move(slots)), m_kind(kind), m_index(index) {}
    ~DescriptorSlotLease() {
        if (auto slots = m_slots.lock()) slots->Return(m_kind, m_index);
    }
    DescriptorSlotLease(const DescriptorSlotLease&) = delete;
    DescriptorSlotLease& operator=(const DescriptorSlotLease&) = delete;

private:
    std::weak_ptr<DescriptorSlots> m_slots;
    uint32_t m_kind;
    int32_t m_index;
};

namespace {

// VK_ERROR_OUT_OF_POOL_MEMORY: the heap has no free slot left.
constexpr int32_t kHeapFull = -1000069000;

DescriptorHandle Take(EngineCore& core, uint32_t kind, Platform::DescriptorHeap* heap, int32_t& used) {
    const std::shared_ptr<DescriptorSlots>& slots = core.GetDescriptorSlots();
    const int32_t index = heap ? slots->Take(kind, *heap, used) : -1;
    if (index < 0) throw HrException(kHeapFull);
    return DescriptorHandle{heap, index, std::make_shared<DescriptorSlotLease>(slots, kind, index)};
}

}  // namespace

DescriptorHandle AllocateDescriptor(Platform::DescriptorHeapType type) {
    EngineCore& core = *EngineCore::GetInstance();
    return Take(core, static_cast<uint32_t>(type), core.GetHeap(type), core.DescriptorCount(type));
}

DescriptorHandle AllocateCpuDescriptor() {
    EngineCore& core = *EngineCore::GetInstance();
    return Take(core, DescriptorSlots::kCpuHeapKind, core.GetCpuCbvSrvUavHeap(), core.CpuCbvSrvUavCount());
}

}  // namespace Engine
