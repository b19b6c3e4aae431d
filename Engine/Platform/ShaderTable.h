#pragma once
// Shader binding tables: one host-visible buffer per table, records of a shader-group handle
// followed at once by that record's local data. Every ray-tracing pass lays its tables out here,
// so the device's handle size and alignments are read in one place:
//
//   record size  = handle size + the largest local data of the table, rounded up to the
//                  handle alignment (the stride between records)
//   table start  = the buffer's address rounded up to the base alignment (the buffer is
//                  allocated that much larger, since a buffer's own address need not be aligned)
//
// A record's bytes past its local data stay as the buffer was created (zero).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Engine/Platform/Raytracing.h"

namespace Engine::Platform {

class Device;
class Resource;
struct DeviceLimits;

/// The device values a table layout depends on.
struct ShaderTableAlignments {
    uint32_t handleSize = 32;
    uint32_t handleAlignment = 32;
    uint32_t baseAlignment = 64;
    uint32_t maxStride = 4096;

    static ShaderTableAlignments FromLimits(const DeviceLimits& limits);
};

/// Where the records of one table lie in its buffer.
struct ShaderTableLayout {
    uint32_t recordSize = 0;
    uint32_t recordCount = 0;
    uint32_t baseAlignment = 1;
    uint64_t tableBytes = 0;       ///< recordCount x recordSize
    uint64_t allocationBytes = 0;  ///< what the buffer needs so an aligned start still fits the table

    /// Throws std::invalid_argument for alignments that are not powers of two, a record larger
    /// than the device's largest stride, or a handle larger than its alignment allows.
    static ShaderTableLayout Compute(const ShaderTableAlignments& alignments, uint32_t recordCount, uint32_t localDataBytes);
    /// Offset of the table's first record in a buffer that starts at device address `bufferAddress`.
    uint64_t StartOffset(uint64_t bufferAddress) const;
};

class ShaderTable {
public:
    /// An upload buffer for `recordCount` records of up to `localDataBytes` local data, named `name`.
    ShaderTable(Device& device, uint32_t recordCount, uint32_t localDataBytes, std::string name);
    ShaderTable(const ShaderTable&) = delete;
    ShaderTable& operator=(const ShaderTable&) = delete;

    /// Writes the next record: the handle `identifier` of group `groupName`, then `localData`.
    /// Throws HrException (E_FAIL) beyond the declared record count, std::invalid_argument for
    /// a null handle or local data larger than declared.
    void Append(const void* identifier, std::string_view groupName, const void* localData = nullptr, uint32_t localBytes = 0);

    /// The records written so far as a dispatch range (start, size, stride = record size).
    ShaderTableRange Range() const;
    const ShaderTableLayout& Layout() const { return m_layout; }
    uint32_t RecordCount() const { return static_cast<uint32_t>(m_records.size()); }
    const std::string& Name() const { return m_name; }
    /// The bytes of record `index` as written (handle and local data).
    const uint8_t* RecordBytes(uint32_t index) const { return m_start + uint64_t(index) * m_layout.recordSize; }

    /// The table as text: a header with the name, record size and table size, one line per
    /// record with its group, handle size and local data size.
    std::string DebugPrint() const;

private:
    struct Record {
        std::string group;
        uint32_t localBytes = 0;
    };
    ShaderTableLayout m_layout;
    uint32_t m_handleSize = 0;
    std::string m_name;
    std::shared_ptr<Resource> m_buffer;
    uint8_t* m_start = nullptr;
    uint64_t m_startAddress = 0;
    std::vector<Record> m_records;
};

}  // namespace Engine::Platform
