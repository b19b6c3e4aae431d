#include "shaders/check/ShaderInterfaceCheck.h"

#include <algorithm>

#include "Engine/Platform/PushConstantLayout.h"

namespace ShaderCheck {
namespace {

using Engine::Platform::PushConstantLayout;
using Engine::Platform::RootParameterType;
using Engine::Platform::RootSignatureDesc;

// The bindless set: binding number -> the one descriptor kind it holds.
constexpr DescriptorKind kBindlessKinds[] = {DescriptorKind::SampledImage, DescriptorKind::StorageImage,
                                             DescriptorKind::StorageBuffer, DescriptorKind::Sampler,
                                             DescriptorKind::AccelerationStructure};
constexpr uint32_t kBindlessBindings = sizeof(kBindlessKinds) / sizeof(kBindlessKinds[0]);
constexpr uint32_t kStaticSamplerSet = 1;
// maxPushConstantsSize is at least this on every Vulkan device.
constexpr uint32_t kGuaranteedPushConstantBytes = 128;

std::string Describe(const PushConstantMember& m) {
    return "push-constant member " + m.name + " (" + m.type + ", bytes " + std::to_string(m.offset) + ".." +
           std::to_string(m.offset + m.size) + ")";
}

const char* ParameterKind(RootParameterType type) {
    switch (type) {
    case RootParameterType::Constants: return "root constants";
    case RootParameterType::DescriptorTable: return "a descriptor table (a 32-bit heap index)";
    case RootParameterType::BufferAddress: return "a buffer address (64 bits)";
    }
    return "?";
}

void CheckMember(const PushConstantMember& m, const RootSignatureDesc& layout, const PushConstantLayout& push,
                 std::vector<std::string>& errors) {
    if (m.offset + m.size > push.bytes) {
        errors.push_back(Describe(m) + " lies past the end of the root signature's " + std::to_string(push.bytes) +
                         "-byte push-constant block");
        return;
    }
    for (size_t i = 0; i < push.parameters.size(); ++i) {
        const auto& range = push.parameters[i];
        const uint32_t end = range.offset + range.size;
        if (m.offset >= end || m.offset + m.size <= range.offset) continue;
        const std::string where = "root parameter " + std::to_string(i) + ", " + ParameterKind(layout.parameters[i].type);
        if (m.offset < range.offset || m.offset + m.size > end) {
            errors.push_back(Describe(m) + " straddles the edge of " + where + " (bytes " + std::to_string(range.offset) + ".." +
                             std::to_string(end) + ")");
            return;
        }
        switch (layout.parameters[i].type) {
        case RootParameterType::Constants: return;
        case RootParameterType::DescriptorTable:
            if (m.size != 4 || !m.integer) errors.push_back(Describe(m) + " is read from " + where + "; declare it uint");
            return;
        case RootParameterType::BufferAddress: {
            const bool whole = m.offset == range.offset && m.size == 8 && (m.type == "pointer" || m.integer);
            const bool half = m.size == 4 && m.integer;
            if (!whole && !half)
                errors.push_back(Describe(m) + " is read from " + where + "; declare it a buffer reference or uint64_t");
            return;
        }
        }
    }
    // Inside the block but in the padding before a buffer address: no parameter covers it.
    errors.push_back(Describe(m) + " lies in padding that no root parameter fills");
}

void CheckBinding(const DescriptorBinding& b, const RootSignatureDesc& layout, std::vector<std::string>& errors) {
    const std::string what = "binding " + b.name + " (set " + std::to_string(b.set) + ", binding " + std::to_string(b.binding) +
                             ", " + DescriptorKindName(b.kind) + ")";
    if (b.set == 0) {
        if (b.binding >= kBindlessBindings) {
            errors.push_back(what + ": the bindless set has bindings 0.." + std::to_string(kBindlessBindings - 1) + " only");
        } else if (kBindlessKinds[b.binding] != b.kind) {
            errors.push_back(what + ": binding " + std::to_string(b.binding) + " of the bindless set holds " +
                             DescriptorKindName(kBindlessKinds[b.binding]));
        } else if (!b.runtimeArray) {
            errors.push_back(what + ": bindless bindings are unsized arrays, declare it " + b.name + "[]");
        }
        return;
    }
    if (b.set == kStaticSamplerSet) {
        const bool known = std::any_of(layout.staticSamplers.begin(), layout.staticSamplers.end(),
                                       [&](const auto& s) { return s.shaderRegister == b.binding; });
        if (b.kind != DescriptorKind::Sampler)
            errors.push_back(what + ": set 1 holds only the root signature's static samplers");
        else if (!known)
            errors.push_back(what + ": the root signature has no static sampler at register " + std::to_string(b.binding));
        else if (b.runtimeArray)
            errors.push_back(what + ": a static sampler is a single sampler, not an array");
        return;
    }
    errors.push_back(what + ": pipeline layouts have set 0 (bindless) and set 1 (static samplers) only");
}

}  // namespace

std::vector<std::string> CheckShaderInterface(const ShaderInterface& shader, const RootSignatureDesc& layout) {
    std::vector<std::string> errors;
    const PushConstantLayout push = Engine::Platform::ComputePushConstantLayout(layout);
    if (push.bytes > kGuaranteedPushConstantBytes)
        errors.push_back("the root signature's push constants take " + std::to_string(push.bytes) + " bytes; every device offers " +
                         std::to_string(kGuaranteedPushConstantBytes) + ": move what does not change per draw into a buffer");
    for (const PushConstantMember& m : shader.pushConstants) CheckMember(m, layout, push, errors);
    for (const DescriptorBinding& b : shader.bindings) CheckBinding(b, layout, errors);
    return errors;
}

std::vector<std::string> CheckSharedStructSizes(const ShaderInterface& shader, std::span<const SharedStructSize> shared) {
    std::vector<std::string> errors;
    for (const LaidOutStruct& s : shader.structs)
        for (const SharedStructSize& c : shared)
            if (s.name == c.name && s.bytes != c.bytes)
                errors.push_back("struct " + s.name + " ends at byte " + std::to_string(s.bytes) + " in the shader but is " +
                                 std::to_string(c.bytes) + " bytes in C++; declare the block that holds it scalar");
    return errors;
}

}  // namespace ShaderCheck
