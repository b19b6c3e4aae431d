#pragma once
// Compares what a shader expects (its reflected interface) with the root signature its pipeline
// is created with. Every mismatch that would make the shader read the wrong bytes or the wrong
// descriptors is reported.
#include <string>
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
std::vector<std::string> CheckShaderInterface(const ShaderInterface& shader, const Engine::Platform::RootSignatureDesc& layout);

}  // namespace ShaderCheck
