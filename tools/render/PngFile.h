#pragma once
// Writes 8-bit RGBA rows as a PNG file.
#include <cstdint>
#include <filesystem>

namespace TavrinRender {

/// Rows are `rowPitch` bytes apart. False when the file cannot be written.
bool WritePngFile(const std::filesystem::path& path, const uint8_t* rgba, uint32_t width, uint32_t height, uint32_t rowPitch);

}  // namespace TavrinRender
