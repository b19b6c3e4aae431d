// Feeds arbitrary bytes to the Shift_JIS name decoder and checks what any decoded name must be.
#include "core/ShiftJis.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const std::u16string name = DecodeShiftJisName(bytes);
    size_t length = 0;
    while (length < size && data[length] != 0) ++length;
    // One unit per byte at most, never a 0 unit, never a surrogate (the table is all BMP).
    if (name.size() > length) std::abort();
    for (char16_t unit : name) {
        if (unit == 0 || (unit >= 0xD800 && unit <= 0xDFFF)) std::abort();
    }
    // Decoding stops at the first 0: the bytes after it can't change the result.
    if (length < size && DecodeShiftJisName(bytes.first(length)) != name) std::abort();
    return 0;
}
