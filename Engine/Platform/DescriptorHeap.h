#pragma once
// Descriptor heaps. The shader-visible CBV/SRV/UAV heap is one bindless descriptor set whose
// arrays (sampled images, storage images, storage buffers, samplers) are indexed by the heap
// index; render-target, depth-stencil and CPU-only heaps hold image views and view records that
// the command list and CopyDescriptorsSimple read. Indices are stable for the heap's life.
#include <cstdint>
#include <memory>

#include "Engine/Platform/Types.h"

namespace Engine::Platform {

class Device;
struct DescriptorHeapImpl;

class DescriptorHeap {
public:
    DescriptorHeap(std::shared_ptr<Device> device, DescriptorHeapType type, uint32_t capacity, bool shaderVisible);
    ~DescriptorHeap();
    DescriptorHeap(const DescriptorHeap&) = delete;
    DescriptorHeap& operator=(const DescriptorHeap&) = delete;

    DescriptorHeapType Type() const { return m_type; }
    uint32_t Capacity() const { return m_capacity; }
    bool ShaderVisible() const { return m_shaderVisible; }
    DescriptorHeapImpl& Impl() const { return *m_impl; }

private:
    std::shared_ptr<Device> m_device;
    DescriptorHeapType m_type;
    uint32_t m_capacity;
    bool m_shaderVisible;
    std::unique_ptr<DescriptorHeapImpl> m_impl;
};

/// A slot in a heap (the original platform's CPU descriptor handle).
struct CpuDescriptor {
    DescriptorHeap* heap = nullptr;
    uint32_t index = 0;
};

}  // namespace Engine::Platform
