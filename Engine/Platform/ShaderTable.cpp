#include "Engine/Platform/ShaderTable.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

#include "Engine/Platform/Device.h"
#include "Engine/Platform/Resource.h"
#include "core/HrException.h"

namespace Engine::Platform {
namespace {

constexpr int32_t kFail = static_cast<int32_t>(0x80004005);

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }
uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace

ShaderTableAlignments ShaderTableAlignments::FromLimits(const DeviceLimits& limits) {
    ShaderTableAlignments a;
    a.handleSize = limits.shaderGroupHandleSize;
    a.handleAlignment = limits.shaderGroupHandleAlignment;
    a.baseAlignment = limits.shaderGroupBaseAlignment;
    // Every device takes strides up to 4096 bytes (the least maxShaderGroupStride allowed).
    a.maxStride = 4096;
    return a;
}

ShaderTableLayout ShaderTableLayout::Compute(const ShaderTableAlignments& a, uint32_t recordCount, uint32_t localDataBytes) {
    if (!IsPowerOfTwo(a.handleAlignment) || !IsPowerOfTwo(a.baseAlignment) || a.handleSize == 0)
        throw std::invalid_argument("shader table alignments must be powers of two and the handle size non-zero");
    ShaderTableLayout layout;
    const uint64_t recordSize = AlignUp(uint64_t(a.handleSize) + localDataBytes, a.handleAlignment);
    if (recordSize > a.maxStride) throw std::invalid_argument("shader record larger than the device's largest stride");
    layout.recordSize = static_cast<uint32_t>(recordSize);
    layout.recordCount = recordCount;
    layout.baseAlignment = a.baseAlignment;
    layout.tableBytes = recordSize * recordCount;
    layout.allocationBytes = layout.tableBytes + a.baseAlignment - 1;
    return layout;
}

uint64_t ShaderTableLayout::StartOffset(uint64_t bufferAddress) const { return AlignUp(bufferAddress, baseAlignment) - bufferAddress; }

ShaderTable::ShaderTable(Device& device, uint32_t recordCount, uint32_t localDataBytes, std::string name)
    : m_layout(ShaderTableLayout::Compute(ShaderTableAlignments::FromLimits(device.Limits()), recordCount, localDataBytes)),
      m_handleSize(device.Limits().shaderGroupHandleSize),
      m_name(std::move(name)) {
    m_buffer = device.CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(std::max<uint64_t>(m_layout.allocationBytes, 4)),
                                              ResourceState::GenericRead);
    m_buffer->SetName(m_name);
    const uint64_t address = m_buffer->GetGpuVirtualAddress();
    const uint64_t offset = m_layout.StartOffset(address);
    m_start = static_cast<uint8_t*>(m_buffer->Map()) + offset;
    m_startAddress = address + offset;
    std::memset(m_start, 0, m_layout.tableBytes);
    m_records.reserve(recordCount);
}

void ShaderTable::Append(const void* identifier, std::string_view groupName, const void* localData, uint32_t localBytes) {
    if (m_records.size() >= m_layout.recordCount) throw HrException(kFail);
    if (!identifier) throw std::invalid_argument("shader table record without a shader-group handle");
    if (m_handleSize + uint64_t(localBytes) > m_layout.recordSize)
        throw std::invalid_argument("shader record local data larger than its table declared");
    uint8_t* record = m_start + m_records.size() * uint64_t(m_layout.recordSize);
    std::memcpy(record, identifier, m_handleSize);
    if (localBytes) std::memcpy(record + m_handleSize, localData, localBytes);
    m_records.push_back({std::string(groupName), localBytes});
}

ShaderTableRange ShaderTable::Range() const {
    return {m_startAddress, uint64_t(m_records.size()) * m_layout.recordSize, m_layout.recordSize};
}

std::string ShaderTable::DebugPrint() const {
    const std::string dashes = "| " + std::string(68, '-') + "\n";
    std::ostringstream out;
    out << dashes;
    out << "|Shader table - " << m_name << ": " << m_layout.recordSize << " | " << m_layout.tableBytes << " bytes\n";
    for (size_t i = 0; i < m_records.size(); ++i)
        out << "| [" << i << "]: " << m_records[i].group << ", " << m_handleSize << " + " << m_records[i].localBytes << " bytes \n";
    out << dashes << "\n";
    return out.str();
}

}  // namespace Engine::Platform
