#include "Engine/Platform/PushConstantLayout.h"

namespace Engine::Platform {

PushConstantLayout ComputePushConstantLayout(const RootSignatureDesc& desc) {
    PushConstantLayout layout;
    uint32_t offset = 0;
    for (const RootParameter& p : desc.parameters) {
        if (p.type == RootParameterType::BufferAddress) offset = (offset + 7) & ~7u;
        const uint32_t size = p.type == RootParameterType::Constants ? 4 * p.num32BitValues
                              : p.type == RootParameterType::BufferAddress ? 8 : 4;
        layout.parameters.push_back({offset, size});
        offset += size;
    }
    layout.bytes = offset;
    return layout;
}

}  // namespace Engine::Platform
