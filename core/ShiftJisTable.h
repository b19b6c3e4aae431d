#pragma once
// The Shift_JIS double-byte table: JIS X 0208 codes as UTF-16, generated at build time by
// tools/generators/gen_sjis_table.cpp. Internal to core/ShiftJis.cpp and its tests.

namespace ShiftJisTable {

/// Lead bytes 0x81-0x9F (indices 0-30) and 0xE0-0xEF (indices 31-46).
constexpr int kLeadCount = 47;
/// Trail bytes 0x40-0xFC.
constexpr int kTrailCount = 189;

/// kTable[lead index][trail - 0x40]: the UTF-16 unit of the code, or 0 where it is unassigned.
extern const char16_t kTable[kLeadCount][kTrailCount];

}  // namespace ShiftJisTable
