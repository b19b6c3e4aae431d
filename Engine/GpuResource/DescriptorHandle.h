#pragma once
// A descriptor slot taken from one of EngineCore's heaps. The index is what shaders use to reach
// the view in the bindless arrays (the original platform's GPU handle); a handle not allocated
// yet holds index -1. Copies share the slot; when the last copy goes away the slot goes back to
// its heap (DescriptorSlots), free for a new view once the GPU is done with the old one.
#include <cstdint>
#include <memory>

#include "Engine/Platform/DescriptorHeap.h"

namespace Engine {

class DescriptorSlotLease;

struct DescriptorHandle {
    Platform::DescriptorHeap* heap = nullptr;
    int32_t index = -1;
    /// Keeps the slot taken while any copy of the handle lives (none for hand-made handles).
    std::shared_ptr<const DescriptorSlotLease> lease;

    bool IsNull() const { return index < 0; }
    Platform::CpuDescriptor Cpu() const { return {heap, static_cast<uint32_t>(index)}; }
    /// Heap index as a shader sees it.
    uint32_t Gpu() const { return static_cast<uint32_t>(index); }
};

/// Takes a free slot of the heap of `type` (CbvSrvUav is the shader-visible heap). Throws
/// HrException (out of pool memory) when the heap is full.
DescriptorHandle AllocateDescriptor(Platform::DescriptorHeapType type);
/// Takes a free slot of the CPU-only CBV/SRV/UAV heap.
DescriptorHandle AllocateCpuDescriptor();

}  // namespace Engine
