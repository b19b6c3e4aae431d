#pragma once
// The sample colour-grading table chosen with "<Sample>": a 17³ ".cube" text, NUL-terminated.
#include <cstddef>

namespace Assets {
extern const char kSampleColorFilterLut[];
extern const size_t kSampleColorFilterLutSize;  // bytes, without the terminating NUL
}  // namespace Assets
