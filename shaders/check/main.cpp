// Build step: checks one compiled shader's reflection against the root signature it is
// registered with, and the sizes of the shared structs it lays out (read from the reflection of
// an unoptimised compile, which keeps their names) against the C++ structs; writes the stamp
// file only when everything agrees.
//   tavrin_shader_check --shader FILE --reflection FILE.json [--named-reflection FILE.json] --stamp FILE.ok
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "shaders/ShaderRegistry.h"
#include "shaders/check/JsonValue.h"
#include "shaders/check/ShaderInterface.h"
#include "shaders/check/ShaderInterfaceCheck.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: tavrin_shader_check --shader FILE --reflection FILE.json [--named-reflection FILE.json] --stamp FILE\n");
    return 2;
}

/// The interface read from one reflection file; nothing (after a message) when it cannot be read.
std::optional<ShaderCheck::ShaderInterfaceResult> ReadReflection(const std::string& shader, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "shaders/%s: cannot read %s\n", shader.c_str(), path.c_str());
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    const ShaderCheck::JsonParseResult json = ShaderCheck::ParseJson(text.str());
    if (!json.Ok()) {
        std::fprintf(stderr, "shaders/%s: malformed reflection %s: %s\n", shader.c_str(), path.c_str(), json.error.c_str());
        return std::nullopt;
    }
    return ShaderCheck::ReadShaderInterface(json.value);
}

}  // namespace

int main(int argc, char** argv) {
    std::string shader, reflectionPath, namedPath, stampPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--shader") shader = argv[i + 1];
        else if (option == "--reflection") reflectionPath = argv[i + 1];
        else if (option == "--named-reflection") namedPath = argv[i + 1];
        else if (option == "--stamp") stampPath = argv[i + 1];
        else return Usage();
    }
    if (argc % 2 == 0 || shader.empty() || reflectionPath.empty() || stampPath.empty()) return Usage();

    const Engine::ShaderRegistration* registration = Engine::FindRegisteredShader(shader);
    if (!registration) {
        std::fprintf(stderr, "shaders/%s: not registered; add it with its root signature to shaders/ShaderRegistry.cpp\n",
                     shader.c_str());
        return 1;
    }
    const std::optional<ShaderCheck::ShaderInterfaceResult> reflected = ReadReflection(shader, reflectionPath);
    if (!reflected) return 1;
    std::vector<std::string> errors = reflected->errors;
    const std::vector<std::string> mismatches = ShaderCheck::CheckShaderInterface(reflected->shader, registration->layout());
    errors.insert(errors.end(), mismatches.begin(), mismatches.end());
    if (!namedPath.empty()) {
        const std::optional<ShaderCheck::ShaderInterfaceResult> named = ReadReflection(shader, namedPath);
        if (!named) return 1;
        const std::vector<std::string> sizes = ShaderCheck::CheckSharedStructSizes(named->shader, ShaderCheck::SharedStructSizes());
        errors.insert(errors.end(), sizes.begin(), sizes.end());
    }
    for (const std::string& e : errors) std::fprintf(stderr, "shaders/%s: %s\n", shader.c_str(), e.c_str());
    if (!errors.empty()) return 1;
    std::ofstream stamp(stampPath, std::ios::trunc);
    stamp << "ok\n";
    return stamp ? 0 : 1;
}
