#include "Engine/raytracing/RaytracingPipeline.h"

#include <cstdio>
#include <sstream>

#include "core/HrException.h"

namespace Engine {

using namespace Platform;

namespace {

constexpr int32_t kFail = static_cast<int32_t>(0x80004005);
const std::string kRule = "|" + std::string(68, '-') + "\n";

const char* StageName(RaytracingShaderStage stage) {
    switch (stage) {
    case RaytracingShaderStage::RayGeneration: return "ray generation";
    case RaytracingShaderStage::Miss: return "miss";
    case RaytracingShaderStage::ClosestHit: return "closest hit";
    case RaytracingShaderStage::AnyHit: return "any hit";
    case RaytracingShaderStage::Intersection: return "intersection";
    case RaytracingShaderStage::Callable: return "callable";
    }
    return "?";
}

const char* ParameterName(const RootParameter& p) {
    switch (p.type) {
    case RootParameterType::Constants: return "root constants";
    case RootParameterType::DescriptorTable: return "descriptor table (bindless index)";
    case RootParameterType::BufferAddress: return "buffer address";
    }
    return "?";
}

std::string OrNone(const std::string& name) { return name.empty() ? "[none]" : name; }

}  // namespace

uint32_t LocalLayout::Offset(std::size_t index) const {
    uint32_t offset = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const uint32_t align = fields[i].kind == ShaderRecordField::Kind::DeviceAddress ? 8 : 4;
        offset = (offset + align - 1) / align * align;
        if (i == index) return offset;
        offset += align;
    }
    return offset;
}

uint32_t LocalLayout::Bytes() const {
    bool anyAddress = false;
    for (const ShaderRecordField& f : fields) anyAddress = anyAddress || f.kind == ShaderRecordField::Kind::DeviceAddress;
    const uint32_t end = Offset(fields.size());
    return anyAddress ? (end + 7) / 8 * 8 : end;
}

void RaytracingPipelineBuilder::SetGlobalRootSignature(RootSignature& root, std::string name) {
    m_global = &root;
    m_globalName = std::move(name);
}

void RaytracingPipelineBuilder::AddShader(std::string exportName, RaytracingShaderStage stage, std::span<const uint32_t> code) {
    m_shaders.push_back({std::move(exportName), stage, {code}});
}

void RaytracingPipelineBuilder::AddHitGroup(std::string name, std::string closestHit, std::string anyHit, std::string intersection) {
    m_hitGroups.push_back({std::move(name), std::move(closestHit), std::move(anyHit), std::move(intersection)});
}

void RaytracingPipelineBuilder::SetShaderConfig(uint32_t maxPayloadBytes, uint32_t maxAttributeBytes) {
    m_payloadBytes = maxPayloadBytes;
    m_attributeBytes = maxAttributeBytes;
}

void RaytracingPipelineBuilder::SetLocalLayout(LocalLayout layout, std::vector<std::string> exports) {
    m_local = std::move(layout);
    m_localExports = std::move(exports);
}

std::string RaytracingPipelineBuilder::Describe() const {
    std::ostringstream out;
    out << "\n" << kRule << "| Ray-tracing pipeline " << m_name << "\n";
    int part = 0;
    out << "| [" << part++ << "]: Shader library, " << m_shaders.size() << " shaders\n";
    for (std::size_t i = 0; i < m_shaders.size(); ++i)
        out << "|  [" << i << "]: " << m_shaders[i].name << " (" << StageName(m_shaders[i].stage) << ")\n";
    out << kRule;
    for (const HitGroupDesc& hit : m_hitGroups) {
        out << "| [" << part++ << "]: Hit Group (" << OrNone(hit.name) << ")"
            << (hit.intersection.empty() ? " triangles\n" : " procedural\n");
        out << "|  [0]: Any Hit Import: " << OrNone(hit.anyHit) << "\n";
        out << "|  [1]: Closest Hit Import: " << OrNone(hit.closestHit) << "\n";
        out << "|  [2]: Intersection Import: " << OrNone(hit.intersection) << "\n";
        out << kRule;
    }
    out << "| [" << part++ << "]: Raytracing Shader Config\n";
    out << "|  [0]: Max Payload Size: " << m_payloadBytes << " bytes\n";
    out << "|  [1]: Max Attribute Size: " << m_attributeBytes << " bytes\n";
    out << kRule;
    if (!m_local.fields.empty()) {
        const int localPart = part++;
        out << "| [" << localPart << "]: Local layout " << m_local.name << ", " << m_local.Bytes() << " bytes\n";
        for (std::size_t i = 0; i < m_local.fields.size(); ++i)
            out << "|  [" << i << "]: +" << m_local.Offset(i) << " " << m_local.fields[i].name << " ("
                << (m_local.fields[i].kind == ShaderRecordField::Kind::DeviceAddress ? "device address" : "bindless index")
                << ")\n";
        out << kRule;
        out << "| [" << part++ << "]: Subobject to Exports Association (Subobject [" << localPart << "])\n";
        for (std::size_t i = 0; i < m_localExports.size(); ++i) out << "|  [" << i << "]: " << m_localExports[i] << "\n";
        out << kRule;
    }
    out << "| [" << part++ << "]: Global layout " << m_globalName;
    if (m_global) {
        const RootSignatureDesc& desc = m_global->Desc();
        out << ", " << m_global->PushConstantBytes() << " bytes of push constants\n";
        for (std::size_t i = 0; i < desc.parameters.size(); ++i) {
            out << "|  [" << i << "]: +" << m_global->ParameterOffset(static_cast<uint32_t>(i)) << " " << ParameterName(desc.parameters[i]);
            if (desc.parameters[i].type == RootParameterType::Constants) out << " x " << desc.parameters[i].num32BitValues;
            out << "\n";
        }
        for (const StaticSampler& s : desc.staticSamplers) out << "|  sampler s" << s.shaderRegister << "\n";
    } else {
        out << " [none]\n";
    }
    out << kRule;
    out << "| [" << part++ << "]: Raytracing Pipeline Config\n";
    out << "|  [0]: Max Recursion Depth: " << m_maxRecursion << "\n";
    out << kRule << "\n";
    return out.str();
}

std::shared_ptr<PipelineState> RaytracingPipelineBuilder::Build(Device& device) const {
    auto fail = [](int32_t code) -> std::shared_ptr<PipelineState> {
        std::fputs("Couldn't create the ray-tracing pipeline.\n", stderr);
        throw HrException(code);
    };
    if (!m_global) return fail(kFail);
    for (const std::string& name : m_localExports) {
        bool found = false;
        for (const HitGroupDesc& hit : m_hitGroups) found = found || hit.name == name;
        for (const RaytracingShader& shader : m_shaders) found = found || shader.name == name;
        if (!found) return fail(kFail);
    }
    RaytracingPipelineDesc desc;
    desc.globalRootSignature = m_global;
    desc.shaders = m_shaders;
    desc.hitGroups = m_hitGroups;
    desc.maxRecursionDepth = m_maxRecursion;
    try {
        auto pipeline = device.CreateRaytracingPipelineState(desc);
        pipeline->SetName(m_name);
        return pipeline;
    } catch (const HrException& e) {
        return fail(e.Error());
    }
}

}  // namespace Engine
