#include "Engine/GpuResource/DescriptorHandle.h"

#include "Engine/EngineCore.h"
#include "core/HrException.h"

namespace Engine {
namespace {

// VK_ERROR_OUT_OF_POOL_MEMORY: the heap has no free slot left.
constexpr int32_t kHeapFull = -1000069000;

DescriptorHandle Take(Platform::DescriptorHeap* heap, int32_t& count) {
    if (!heap || count >= static_cast<int32_t>(heap->Capacity())) throw HrException(kHeapFull);
    return DescriptorHandle{heap, count++};
}

}  // namespace

DescriptorHandle AllocateDescriptor(Platform::DescriptorHeapType type) {
    EngineCore& core = *EngineCore::GetInstance();
    return Take(core.GetHeap(type), core.DescriptorCount(type));
}

DescriptorHandle AllocateCpuDescriptor() {
    EngineCore& core = *EngineCore::GetInstance();
    return Take(core.GetCpuCbvSrvUavHeap(), core.CpuCbvSrvUavCount());
}

}  // namespace Engine
