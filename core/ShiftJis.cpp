#include "core/ShiftJis.h"

#include "core/ShiftJisTable.h"

char16_t ShiftJisDoubleByteToUtf16(uint8_t lead, uint8_t trail) {
    int leadIndex;
    if (lead >= 0x81 && lead <= 0x9F) {
        leadIndex = lead - 0x81;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        leadIndex = lead - 0xE0 + 31;
    } else {
        return 0;
    }
    if (trail < 0x40 || trail > 0xFC) return 0;
    return ShiftJisTable::kTable[leadIndex][trail - 0x40];
}

std::u16string DecodeShiftJisName(std::span<const uint8_t> bytes) {
    std::u16string name;
    name.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size() && bytes[i] != 0; ++i) {
        const uint8_t b = bytes[i];
        if (b <= 0x7E) {
            name.push_back(static_cast<char16_t>(b));
        } else if (b >= 0xA1 && b <= 0xDF) {
            name.push_back(static_cast<char16_t>(0xFF61 + (b - 0xA1)));
        } else {
            // A lead byte: the name must go on with a trail byte before its end.
            if (i + 1 >= bytes.size() || bytes[i + 1] == 0) return {};
            const char16_t unit = ShiftJisDoubleByteToUtf16(b, bytes[i + 1]);
            if (unit == 0) return {};
            name.push_back(unit);
            ++i;
        }
    }
    return name;
}
