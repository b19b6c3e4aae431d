#include "shaders/check/ShaderInterface.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

namespace ShaderCheck {
namespace {

struct ScalarType {
    std::string_view name;
    uint32_t size;
    bool integer;
};

// Sizes under scalar block layout (matrices are column-major, tightly packed).
constexpr std::array kTypes{
    ScalarType{"float", 4, false},  ScalarType{"vec2", 8, false},    ScalarType{"vec3", 12, false},
    ScalarType{"vec4", 16, false},  ScalarType{"int", 4, true},      ScalarType{"ivec2", 8, true},
    ScalarType{"ivec3", 12, true},  ScalarType{"ivec4", 16, true},   ScalarType{"uint", 4, true},
    ScalarType{"uvec2", 8, true},   ScalarType{"uvec3", 12, true},   ScalarType{"uvec4", 16, true},
    ScalarType{"bool", 4, true},    ScalarType{"mat2", 16, false},   ScalarType{"mat3", 36, false},
    ScalarType{"mat4", 64, false},  ScalarType{"mat3x4", 48, false}, ScalarType{"mat4x3", 48, false},
    ScalarType{"double", 8, false}, ScalarType{"int64_t", 8, true},  ScalarType{"uint64_t", 8, true},
    ScalarType{"float16_t", 2, false}, ScalarType{"int16_t", 2, true}, ScalarType{"uint16_t", 2, true},
};

constexpr int kMaxStructDepth = 16;
// Struct visits while flattening the push constants: far above any real block, low enough that a
// reflection whose structs each hold many copies of the next cannot keep the reader busy.
constexpr int kMaxStructVisits = 4096;

const ScalarType* FindType(std::string_view name) {
    for (const ScalarType& t : kTypes)
        if (t.name == name) return &t;
    return nullptr;
}

// Far beyond any push-constant block, small enough that sizes cannot overflow.
constexpr double kMaxArrayElements = 4096;
constexpr double kMaxArrayStride = 4096;

/// Element count of an "array" entry (product of its literal dimensions); 0 for a runtime array
/// or one too large to be real.
uint64_t ArrayCount(const JsonValue& member) {
    double count = 1;
    for (const JsonValue& dim : member["array"].Items()) {
        const double n = dim.AsNumber(-1);
        if (!(n >= 0 && n <= kMaxArrayElements)) return 0;
        count *= n;
        if (count > kMaxArrayElements) return 0;
    }
    return static_cast<uint64_t>(count);
}

class Reader {
public:
    Reader(const JsonValue& root, ShaderInterfaceResult& out) : m_types(root["types"]), m_out(out) {}

    void Block(const std::string& typeKey, const std::string& prefix, uint32_t base, int depth) {
        if (depth > kMaxStructDepth) {
            m_out.errors.push_back("push-constant structs nest too deeply");
            return;
        }
        if (++m_visits > kMaxStructVisits) {
            if (m_visits == kMaxStructVisits + 1) m_out.errors.push_back("push-constant structs hold too many members");
            return;
        }
        const JsonValue& type = m_types[typeKey];
        if (!type.IsObject()) {
            m_out.errors.push_back("reflection names unknown type " + typeKey);
            return;
        }
        for (const JsonValue& member : type["members"].Items()) Member(member, prefix, base, depth);
    }

private:
    const JsonValue& m_types;
    ShaderInterfaceResult& m_out;
    int m_visits = 0;

    void Member(const JsonValue& member, const std::string& prefix, uint32_t base, int depth) {
        const std::string name = prefix + member["name"].AsString();
        const std::string& typeName = member["type"].AsString();
        const double offset = member["offset"].AsNumber(-1);
        if (!(offset >= 0 && offset <= 65536)) {
            m_out.errors.push_back("push-constant member " + name + " has no offset");
            return;
        }
        PushConstantMember out;
        out.name = name;
        out.type = typeName;
        out.offset = base + static_cast<uint32_t>(offset);
        const bool isArray = member.Has("array");
        if (member["physical_pointer"].AsBool()) {
            out.type = "pointer";
            out.size = 8;
        } else if (const ScalarType* scalar = FindType(typeName)) {
            out.size = scalar->size;
            out.integer = scalar->integer;
        } else if (m_types.Has(typeName) && !isArray) {
            Block(typeName, name + ".", out.offset, depth + 1);
            return;
        } else if (!m_types.Has(typeName)) {
            m_out.errors.push_back("push-constant member " + name + " has unknown type " + typeName);
            return;
        }
        if (isArray) {
            const uint64_t count = ArrayCount(member);
            const double stride = member["array_stride"].AsNumber(0);
            if (count == 0 || !(stride > 0 && stride <= kMaxArrayStride)) {
                m_out.errors.push_back("push-constant member " + name + " is an array without a fixed size");
                return;
            }
            out.size = static_cast<uint32_t>(count * static_cast<uint64_t>(stride));
            out.type += "[]";
        }
        m_out.shader.pushConstants.push_back(out);
    }
};

/// Extent of struct type `typeKey` as laid out in a block: the largest member end. Zero when a
/// member has no offset, an unknown type or a runtime size, or the struct contains itself. Each
/// type is measured once (`known`), so shared nested types cost nothing more.
uint32_t StructExtent(const JsonValue& types, const std::string& typeKey, std::map<std::string, uint32_t>& known) {
    if (const auto found = known.find(typeKey); found != known.end()) return found->second;
    known[typeKey] = 0;  // while measuring: a struct met again inside itself has no extent
    const JsonValue& type = types[typeKey];
    if (!type.IsObject() || type["members"].Items().empty()) return 0;
    uint64_t extent = 0;
    for (const JsonValue& member : type["members"].Items()) {
        const double offset = member["offset"].AsNumber(-1);
        if (!(offset >= 0 && offset <= 65536)) return 0;
        uint64_t size = 0;
        const std::string& typeName = member["type"].AsString();
        if (member["physical_pointer"].AsBool()) size = 8;
        else if (const ScalarType* scalar = FindType(typeName)) size = scalar->size;
        else if (types.Has(typeName)) size = StructExtent(types, typeName, known);
        if (size == 0) return 0;
        if (member.Has("array")) {
            const double stride = member["array_stride"].AsNumber(0);
            const uint64_t count = ArrayCount(member);
            if (count == 0 || !(stride > 0 && stride <= kMaxArrayStride)) return 0;
            size = count * static_cast<uint64_t>(stride);
        }
        extent = std::max<uint64_t>(extent, static_cast<uint64_t>(offset) + size);
    }
    // Beyond any real block; keeps the sum of nested extents far from overflowing.
    if (extent > (1u << 24)) return 0;
    return known[typeKey] = static_cast<uint32_t>(extent);
}

void ReadLaidOutStructs(const JsonValue& types, ShaderInterfaceResult& out) {
    std::map<std::string, uint32_t> known;
    for (const auto& [key, type] : types.Members()) {
        if (!type.IsObject() || !type["name"].IsString()) continue;
        if (const uint32_t bytes = StructExtent(types, key, known)) out.shader.structs.push_back({type["name"].AsString(), bytes});
    }
}

/// A set or binding number; anything not a small non-negative number reads as one no layout has.
uint32_t SmallIndex(const JsonValue& value) {
    const double n = value.AsNumber(0);
    return n >= 0 && n < 1e6 ? static_cast<uint32_t>(n) : 999999u;
}

void ReadBindings(const JsonValue& list, DescriptorKind kind, ShaderInterfaceResult& out) {
    for (const JsonValue& entry : list.Items()) {
        DescriptorBinding b;
        b.name = entry["name"].AsString();
        b.kind = kind;
        b.set = SmallIndex(entry["set"]);
        b.binding = SmallIndex(entry["binding"]);
        const auto& dims = entry["array"].Items();
        b.runtimeArray = dims.size() == 1 && dims[0].AsNumber(-1) == 0;
        // A texel buffer shows up among the images with a "buffer" dimension in its type name.
        const std::string& type = entry["type"].AsString();
        if ((kind == DescriptorKind::SampledImage || kind == DescriptorKind::StorageImage) && type.find("Buffer") != std::string::npos)
            b.kind = DescriptorKind::TexelBuffer;
        out.shader.bindings.push_back(b);
    }
}

}  // namespace

const char* DescriptorKindName(DescriptorKind kind) {
    switch (kind) {
    case DescriptorKind::SampledImage: return "sampled images";
    case DescriptorKind::StorageImage: return "storage images";
    case DescriptorKind::StorageBuffer: return "storage buffers";
    case DescriptorKind::UniformBuffer: return "a uniform buffer";
    case DescriptorKind::Sampler: return "samplers";
    case DescriptorKind::CombinedImageSampler: return "combined image samplers";
    case DescriptorKind::AccelerationStructure: return "acceleration structures";
    case DescriptorKind::InputAttachment: return "an input attachment";
    case DescriptorKind::TexelBuffer: return "a texel buffer";
    }
    return "?";
}

ShaderInterfaceResult ReadShaderInterface(const JsonValue& reflection) {
    ShaderInterfaceResult result;
    if (!reflection.IsObject()) {
        result.errors.push_back("the reflection is not a JSON object");
        return result;
    }
    const auto& blocks = reflection["push_constants"].Items();
    if (blocks.size() > 1) result.errors.push_back("more than one push-constant block");
    Reader reader(reflection, result);
    for (const JsonValue& block : blocks) reader.Block(block["type"].AsString(), "", 0, 0);

    ReadBindings(reflection["separate_images"], DescriptorKind::SampledImage, result);
    ReadBindings(reflection["images"], DescriptorKind::StorageImage, result);
    ReadBindings(reflection["ssbos"], DescriptorKind::StorageBuffer, result);
    ReadBindings(reflection["ubos"], DescriptorKind::UniformBuffer, result);
    ReadBindings(reflection["separate_samplers"], DescriptorKind::Sampler, result);
    ReadBindings(reflection["textures"], DescriptorKind::CombinedImageSampler, result);
    ReadBindings(reflection["acceleration_structures"], DescriptorKind::AccelerationStructure, result);
    ReadBindings(reflection["subpass_inputs"], DescriptorKind::InputAttachment, result);
    ReadLaidOutStructs(reflection["types"], result);
    return result;
}

}  // namespace ShaderCheck
