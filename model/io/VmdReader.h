#pragma once
// Reader for VMD motion files. Readers never throw: they return false and leave one message in
// MessageLog naming the section that failed.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/ShiftJis.h"
#include "model/io/VMDFile.h"

namespace Vesma {

/// Decodes `bytes` (the file's bytes, taken over). Clears `vmd` first. Returns false for a buffer
/// of 4 bytes or fewer (no message) or when a section fails ("ReadMotion Fail.", "ReadBlednShape
/// Fail.", "ReadCamera Fail.", "ReadLight Fail.", "ReadShadow Fail.", "ReadIK Fail."); the record
/// is then partly filled and should be dropped. On success `vmd.buffer` is empty.
///
/// A section fails when its count can't be read or declares more records than the bytes left can
/// hold, so a cut-short or hostile file never yields zero-filled keys or a huge allocation.
bool ReadVMDFile(VMDFile& vmd, std::vector<uint8_t> bytes);

/// Reads the whole file at `path` (ReadWholeFile) and decodes it as above. An unreadable file is
/// an empty buffer and fails without a message.
bool ReadVMDFile(VMDFile& vmd, const std::filesystem::path& path);

/// Decodes a name field of a VMD record (Shift_JIS up to its first 0 byte) to UTF-16. A name
/// with any undecodable character decodes to an empty string, which matches no model name.
template <size_t N>
std::u16string DecodeVMDName(const std::array<uint8_t, N>& field) {
    return DecodeShiftJisName(std::span<const uint8_t>(field.data(), field.size()));
}

}  // namespace Vesma
