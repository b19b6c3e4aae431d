#pragma once
// A GPU resource: a buffer or a texture with its own dedicated memory block (the original
// platform's committed resource). Upload and read-back resources stay mapped for their whole life.
#include <cstdint>
#include <memory>
#include <string_view>

#include "Engine/Platform/Types.h"

namespace Engine::Platform {

class Device;
struct ResourceImpl;

class Resource : public std::enable_shared_from_this<Resource> {
public:
    /// A typeless colour texture takes the format of `clearValue` when that is a typed colour
    /// format (not sRGB) of the same size: its clears then write that format's bits, as its views
    /// read them.
    Resource(std::shared_ptr<Device> device, HeapType heap, const ResourceDesc& desc, const ClearValue* clearValue = nullptr);
    ~Resource();
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    const ResourceDesc& Desc() const { return m_desc; }
    HeapType Heap() const { return m_heap; }
    Device& GetDevice() const { return *m_device; }

    /// Host pointer to the start of an upload or read-back buffer; throws HrException for
    /// device-local resources. Read-back memory is made visible to the host on every call.
    void* Map();
    /// Buffer device address (the original platform's GPU virtual address); 0 for textures.
    uint64_t GetGpuVirtualAddress() const;
    /// Debug name shown by graphics debuggers and in validation messages.
    void SetName(std::u16string_view name);
    void SetName(std::string_view name);
    const std::string& Name() const;

    ResourceImpl& Impl() const { return *m_impl; }

private:
    std::shared_ptr<Device> m_device;
    HeapType m_heap;
    ResourceDesc m_desc;
    std::unique_ptr<ResourceImpl> m_impl;
};

}  // namespace Engine::Platform
