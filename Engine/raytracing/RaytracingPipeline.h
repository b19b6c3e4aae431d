#pragma once
// Builds a ray-tracing pipeline from its parts and describes it as text.
//
// A pipeline has a global layout (the root signature: push constants and the bindless set,
// shared by every shader of the pipeline) and, for the groups that need one, a local layout:
// what each of their shader-table records carries after the group handle. The local layout is
// the record convention of docs/ARCHITECTURE.md: device addresses (8 bytes, 8-aligned) for
// constant blocks and vertex or index data, bindless heap indices (4 bytes) for textures. The
// shaders read it as a `shaderRecordEXT` block declared in the same order.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "Engine/Platform/Raytracing.h"

namespace Engine {

struct ShaderRecordField {
    enum class Kind : uint8_t { DeviceAddress, BindlessIndex };
    std::string name;
    Kind kind = Kind::DeviceAddress;
};

/// The local data of a record, in order.
struct LocalLayout {
    std::string name;
    std::vector<ShaderRecordField> fields;

    /// Byte offset of field `index` (addresses 8-aligned, indices 4-aligned).
    uint32_t Offset(std::size_t index) const;
    /// Size of the whole local data, rounded up to 8 when it holds an address.
    uint32_t Bytes() const;
};

class RaytracingPipelineBuilder {
public:
    explicit RaytracingPipelineBuilder(std::string name) : m_name(std::move(name)) {}

    void SetGlobalRootSignature(Platform::RootSignature& root, std::string name);
    void AddShader(std::string exportName, Platform::RaytracingShaderStage stage, std::span<const uint32_t> code);
    /// A triangle hit group when `intersection` is empty, else a procedural one.
    void AddHitGroup(std::string name, std::string closestHit, std::string anyHit = {}, std::string intersection = {});
    void SetShaderConfig(uint32_t maxPayloadBytes, uint32_t maxAttributeBytes);
    /// The local layout of the records of the groups `exports`.
    void SetLocalLayout(LocalLayout layout, std::vector<std::string> exports);
    void SetMaxRecursionDepth(uint32_t depth) { m_maxRecursion = depth; }

    /// The pipeline's parts as text, one numbered entry per part, in the order they were given.
    std::string Describe() const;
    /// Creates the pipeline. A missing global layout, an export that names no shader, or a
    /// failing device call writes "Couldn't create the ray-tracing pipeline." to standard error
    /// and throws HrException.
    std::shared_ptr<Platform::PipelineState> Build(Platform::Device& device) const;

    const LocalLayout& GetLocalLayout() const { return m_local; }

private:
    std::string m_name;
    Platform::RootSignature* m_global = nullptr;
    std::string m_globalName;
    std::vector<Platform::RaytracingShader> m_shaders;
    std::vector<Platform::HitGroupDesc> m_hitGroups;
    uint32_t m_payloadBytes = 0, m_attributeBytes = 8;
    LocalLayout m_local;
    std::vector<std::string> m_localExports;
    uint32_t m_maxRecursion = 1;
};

}  // namespace Engine
