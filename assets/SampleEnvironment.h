#pragma once
// The built-in environment chosen with "<Sample>": a 2048 x 1024 Radiance (.hdr) image of a clear
// sky with a sun over open land, as the file's bytes.
#include <cstddef>

namespace Assets {
extern const unsigned char* const kSampleEnvironmentHdr;
extern const size_t kSampleEnvironmentHdrSize;
}  // namespace Assets
