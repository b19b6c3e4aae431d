#pragma once
// Whole-file reads and safe whole-file writes.
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

/// Reads the whole file at `path`. Any failure (missing, unreadable, a directory) yields an empty
/// list; every reader treats an empty list as a failed read.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

/// Writes `bytes` to a temporary file beside `path`, then renames it over `path`, so a failure
/// never leaves a half-written file behind. Returns false (and removes the temporary) on failure.
bool WriteWholeFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes);
