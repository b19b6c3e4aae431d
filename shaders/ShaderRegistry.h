#pragma once
// Every shader compiled from shaders/ with the root signature its pipeline is created with.
#include <span>
#include <string_view>

#include "Engine/Platform/Pipeline.h"

namespace Engine {

struct ShaderRegistration {
    std::string_view file;  ///< path under shaders/, e.g. "GenerateMips.comp" or "tests/BindingModel.comp"
    Platform::RootSignatureDesc (*layout)();
};

std::span<const ShaderRegistration> RegisteredShaders();
/// The registration of `file`, or null when the shader is not registered.
const ShaderRegistration* FindRegisteredShader(std::string_view file);

}  // namespace Engine
