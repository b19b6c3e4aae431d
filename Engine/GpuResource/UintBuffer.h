#pragma once
// A buffer of n 32-bit unsigned values with structured (stride 4) unordered-access and
// shader-resource views; it starts in the unordered-access state.
#include <cstdint>
#include <string>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/GpuResource.h"

namespace Engine {

class UintBuffer : public GpuResource {
public:
    void Create(std::u16string_view name, uint32_t count);
    uint32_t Count() const { return m_count; }

    DescriptorHandle uavHandle;
    DescriptorHandle uavCpuHandle;
    DescriptorHandle srvHandle;

private:
    uint32_t m_count = 0;
    std::u16string m_name;
};

}  // namespace Engine
