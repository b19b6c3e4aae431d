#pragma once
// The free slots of EngineCore's descriptor heaps. A slot is taken from the slots given back
// whose last use the GPU has finished, else from the unused end of its heap; it is given back
// when the last copy of the DescriptorHandle that took it goes away, and becomes free again once
// the GPU has finished the frame being recorded at that moment (a frame in flight may still read
// the view it held). So a scene load, which makes its textures and traced passes anew, reuses the
// slots of the scene before rather than filling the heap load by load.
//
// Thread-safe: handles are taken on the render thread and on scene tasks, and textures may be
// dropped on any thread.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Engine::Platform {
class DescriptorHeap;
class Fence;
}  // namespace Engine::Platform

namespace Engine {

class EngineCore;

class DescriptorSlots : public std::enable_shared_from_this<DescriptorSlots> {
public:
    /// Heaps by kind: the four heap types by value, then the CPU-only CBV/SRV/UAV heap.
    static constexpr uint32_t kCpuHeapKind = 4;

    /// `core` supplies the frame fence; null (tests of the bookkeeping alone): every slot given
    /// back is free at once.
    explicit DescriptorSlots(const EngineCore* core) : m_core(core) {}
    /// The core is going away: later returns are dropped.
    void Detach();

    /// A free slot of `heap` (kind `kind`): a returned one whose fence has passed, else the next
    /// unused index, counted in `used`. -1 when the heap is full.
    int32_t Take(uint32_t kind, const Platform::DescriptorHeap& heap, int32_t& used);
    /// Gives slot `index` of kind `kind` back, free once the frame being recorded has finished.
    void Return(uint32_t kind, int32_t index);
    /// Slots given back and not taken again, of kind `kind`.
    size_t ReturnedCount(uint32_t kind) const;

private:
    struct Returned {
        int32_t index;
        uint64_t fence;  // free once the frame fence reaches this
    };

    mutable std::mutex m_lock;
    const EngineCore* m_core;
    bool m_detached = false;
    std::array<std::vector<Returned>, 5> m_returned;
};

}  // namespace Engine
