#pragma once
// Compares what a shader expects (its reflected interface) with the root signature its pipeline
// is created with. Every mismatch that would make the shader read the wrong bytes or the wrong
// descriptors is reported.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Engine/Platform/Pipeline.h"
#include "shaders/check/ShaderInterface.h"

namespace ShaderCheck {

/// Rules: each push-constant member lies inside the block and inside one root parameter; a
/// descriptor-table parameter is read as one 32-bit integer (the heap index) at its start; a
/// buffer-address parameter is read as a buffer reference or a 64-bit integer (or two 32-bit
/// halves) at its start. Set 0 holds only the bindless arrays, each at its own binding number
/// and declared unsized; set 1 holds only the static samplers of the root signature; no other
/// set, and no uniform buffers, combined samplers, input attachments or texel buffers.
/// The push-constant block may also take no more than the 128 bytes every device offers.
std::vector<std::string> CheckShaderInterface(const ShaderInterface& shader, const Engine::Platform::RootSignatureDesc& layout);

/// A struct declared in shaders/shared/ and its size on the C++ side.
struct SharedStructSize {
    std::string_view name;
    uint32_t bytes = 0;
};

/// The structs of shaders/shared/ with their C++ sizes.
std::span<const SharedStructSize> SharedStructSizes();

/// Every struct of `shared` that the shader lays out in a block must end exactly where the C++
/// struct does: a block declared without scalar layout moves members (a float3 to a 16-byte
/// boundary), and the moved end shows it.
std::vector<std::string> CheckSharedStructSizes(const ShaderInterface& shader, std::span<const SharedStructSize> shared);

}  // namespace ShaderCheck
