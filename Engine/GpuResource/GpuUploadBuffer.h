#pragma once
// Upload-heap buffers for data the CPU writes every frame. The memory stays mapped for the
// buffer's life. StructuredBuffer<T> keeps a staging array of T and one GPU copy per frame in
// flight: copy f starts at f * elements * sizeof(T).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "Engine/Platform/Device.h"

namespace Engine {

class GpuUploadBuffer {
public:
    virtual ~GpuUploadBuffer() = default;
    Platform::Resource* GetResource() const { return m_resource.get(); }

protected:
    /// Creates the buffer (`bytes` is taken as a 32-bit size) and names it if a name is given.
    void Allocate(Platform::Device& device, uint64_t bytes, std::u16string_view name = {});
    /// Pointer for CPU writes; throws HrException when the buffer cannot be mapped.
    uint8_t* MapCpuWriteOnly();

    std::shared_ptr<Platform::Resource> m_resource;
};

template <typename T>
class StructuredBuffer : public GpuUploadBuffer {
public:
    void Create(Platform::Device& device, uint32_t numElements, uint32_t numCopies, std::u16string_view name = {}) {
        m_staging.assign(numElements, T{});
        m_copies = numCopies;
        Allocate(device, uint64_t(numCopies) * numElements * sizeof(T), name);
        m_mapped = MapCpuWriteOnly();
    }
    /// Writes the staging array into copy `copyIndex` (the frame index).
    void CopyStagingToGpu(uint32_t copyIndex = 0) {
        std::memcpy(m_mapped + CopyOffset(copyIndex), m_staging.data(), m_staging.size() * sizeof(T));
    }
    /// Writes `elements` (at most one copy's worth) straight into copy `copyIndex`, bypassing the
    /// staging array, for data the caller already holds in its own list.
    void CopyToGpu(std::span<const T> elements, uint32_t copyIndex) {
        std::memcpy(m_mapped + CopyOffset(copyIndex), elements.data(), std::min(elements.size(), m_staging.size()) * sizeof(T));
    }
    T& operator[](size_t index) { return m_staging[index]; }
    const T& operator[](size_t index) const { return m_staging[index]; }
    T* Staging() { return m_staging.data(); }
    uint32_t NumElementsPerCopy() const { return static_cast<uint32_t>(m_staging.size()); }
    uint32_t NumCopies() const { return m_copies; }
    uint64_t CopySize() const { return m_staging.size() * sizeof(T); }
    uint64_t CopyOffset(uint32_t copyIndex) const { return uint64_t(copyIndex) * CopySize(); }
    /// Device address of copy `copyIndex`.
    uint64_t GpuVirtualAddress(uint32_t copyIndex = 0) const { return m_resource->GetGpuVirtualAddress() + CopyOffset(copyIndex); }

private:
    std::vector<T> m_staging;
    uint8_t* m_mapped = nullptr;
    uint32_t m_copies = 0;
};

}  // namespace Engine
