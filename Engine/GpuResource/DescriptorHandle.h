#pragma once
// A descriptor slot taken from one of EngineCore's heaps. The index is what shaders use to reach
// the view in the bindless arrays (the original platform's GPU handle); a handle not allocated
// yet holds index -1. Slots are taken front to back and never returned.
#include <cstdint>

#include "Engine/Platform/DescriptorHeap.h"

namespace Engine {

struct DescriptorHandle {
    Platform::DescriptorHeap* heap = nullptr;
    int32_t index = -1;

    bool IsNull() const { return index < 0; }
    Platform::CpuDescriptor Cpu() const { return {heap, static_cast<uint32_t>(index)}; }
    /// Heap index as a shader sees it.
    uint32_t Gpu() const { return static_cast<uint32_t>(index); }
};

/// Takes the next free slot of the heap of `type` (CbvSrvUav is the shader-visible heap).
/// Throws HrException (out of pool memory) when the heap is full.
DescriptorHandle AllocateDescriptor(Platform::DescriptorHeapType type);
/// Takes the next free slot of the CPU-only CBV/SRV/UAV heap.
DescriptorHandle AllocateCpuDescriptor();

}  // namespace Engine
