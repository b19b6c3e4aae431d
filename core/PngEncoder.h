#pragma once
// PNG encoding into memory, for the build-time generators, the command-line renderer and tests.
#include <cstddef>
#include <cstdint>
#include <vector>

/// Encodes `height` rows of `width` pixels of `channels` 8-bit channels (1 to 4), `rowPitch` bytes
/// apart, as PNG. `compressionLevel` is zlib's (higher is smaller and slower). Returns an empty
/// list when the image cannot be encoded.
std::vector<uint8_t> EncodePng(const uint8_t* pixels, int width, int height, int channels, std::size_t rowPitch,
                               int compressionLevel = 8);
