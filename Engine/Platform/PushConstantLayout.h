#pragma once
// Where each root parameter of a root signature lives in the push-constant block. Shared by the
// pipeline layouts and the build-time shader-interface check, so both place parameters alike.
#include <cstdint>
#include <vector>

#include "Engine/Platform/Pipeline.h"

namespace Engine::Platform {

struct PushConstantRange {
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct PushConstantLayout {
    std::vector<PushConstantRange> parameters;  ///< one per root parameter, in order
    uint32_t bytes = 0;                         ///< size of the whole block
};

/// Root constants take 4 bytes each, a descriptor table one 32-bit heap index, a buffer address
/// 8 bytes aligned to 8.
PushConstantLayout ComputePushConstantLayout(const RootSignatureDesc& desc);

}  // namespace Engine::Platform
