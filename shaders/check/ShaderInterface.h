#pragma once
// What a compiled shader expects from its pipeline layout, read from the JSON reflection that
// `spirv-cross --reflect` writes: the members of its push-constant block and its descriptor
// bindings.
#include <cstdint>
#include <string>
#include <vector>

#include "shaders/check/JsonValue.h"

namespace ShaderCheck {

struct PushConstantMember {
    std::string name;  ///< the member path (optimised shaders carry _mN names)
    std::string type;  ///< GLSL type name, or "pointer" for a buffer reference
    uint32_t offset = 0;
    uint32_t size = 0;
    bool integer = false;  ///< int / uint scalar or vector: can hold a heap index or an address half
};

enum class DescriptorKind { SampledImage, StorageImage, StorageBuffer, UniformBuffer, Sampler, CombinedImageSampler,
                            AccelerationStructure, InputAttachment, TexelBuffer };

struct DescriptorBinding {
    std::string name;
    DescriptorKind kind = DescriptorKind::SampledImage;
    uint32_t set = 0;
    uint32_t binding = 0;
    bool runtimeArray = false;  ///< declared as name[] (an unsized array)
};

/// A struct as a block lays it out (every member at an offset): its name and extent, the end of
/// its last member. Structs the reflection gives without offsets (local copies) are left out.
struct LaidOutStruct {
    std::string name;
    uint32_t bytes = 0;
};

struct ShaderInterface {
    std::vector<PushConstantMember> pushConstants;  ///< flattened: nested structs give their leaves
    std::vector<DescriptorBinding> bindings;
    std::vector<LaidOutStruct> structs;
};

struct ShaderInterfaceResult {
    ShaderInterface shader;
    std::vector<std::string> errors;  ///< reflection the reader could not make sense of
};

ShaderInterfaceResult ReadShaderInterface(const JsonValue& reflection);
const char* DescriptorKindName(DescriptorKind kind);

}  // namespace ShaderCheck
