// Feeds arbitrary bytes to the shader-interface check's JSON reader and reflection reader, then
// checks the result against a root signature. Every input must end in a value or an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shaders/check/JsonValue.h"
#include "shaders/check/ShaderInterface.h"
#include "shaders/check/ShaderInterfaceCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ShaderCheck::JsonParseResult json = ShaderCheck::ParseJson(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!json.Ok() && !json.value.IsNull()) std::abort();
    const ShaderCheck::ShaderInterfaceResult reflected = ShaderCheck::ReadShaderInterface(json.value);
    using Engine::Platform::RootParameter;
    const Engine::Platform::RootSignatureDesc layout{
        {RootParameter::Constants(2), RootParameter::BufferAddress(), RootParameter::DescriptorTable()}, {}};
    // Every member the reader keeps has a size; every error it gives says something.
    for (const auto& member : reflected.shader.pushConstants)
        if (member.size == 0) std::abort();
    for (const auto& error : reflected.errors)
        if (error.empty()) std::abort();
    for (const auto& error : ShaderCheck::CheckShaderInterface(reflected.shader, layout))
        if (error.empty()) std::abort();
    for (const auto& laidOut : reflected.shader.structs)
        if (laidOut.bytes == 0) std::abort();
    for (const auto& error : ShaderCheck::CheckSharedStructSizes(reflected.shader, ShaderCheck::SharedStructSizes()))
        if (error.empty()) std::abort();
    return 0;
}
