#pragma once
// Reading PMX model files into a PMXFile.
//
// Every read is bounded by the bytes of the file. A read that fails appends one message to
// MessageLog (the failing section's, e.g. "ReadVertex Fail.") and returns false; it never throws.
// After a failure the PMXFile is partly filled: the caller clears or drops it.
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "model/io/PMXFile.h"

namespace Vesma {

/// Reads a PMX file from `bytes`, which the PMXFile takes over (kept in `file.buffer` while
/// reading, emptied on success). Whatever `file` held before is dropped.
bool ReadPMXFile(PMXFile& file, std::vector<uint8_t>&& bytes);

/// Reads a PMX file from borrowed bytes without copying them; `file.buffer` stays empty.
bool ReadPMXFile(PMXFile& file, std::span<const uint8_t> bytes);

/// Reads the whole file at `path` (ReadWholeFile) and then reads it as above. An unreadable file
/// is a failed read.
bool ReadPMXFile(PMXFile& file, const std::filesystem::path& path);

}  // namespace Vesma
