#include "core/ShiftJis.h"

#include <array>

#include "core/ShiftJisTable.h"

namespace {

// UTF-16 unit -> double-byte code (lead << 8 | trail), 0 where none: the decode table turned
// around once. Where two codes decode to the same unit the first in table order wins.
const std::array<uint16_t, 0x10000>& ReverseTable() {
    static const std::array<uint16_t, 0x10000> table = [] {
        std::array<uint16_t, 0x10000> reverse{};
        for (int leadIndex = 0; leadIndex < ShiftJisTable::kLeadCount; ++leadIndex) {
            const int lead = leadIndex < 31 ? 0x81 + leadIndex : 0xE0 + (leadIndex - 31);
            for (int t = 0; t < ShiftJisTable::kTrailCount; ++t) {
                const char16_t unit = ShiftJisTable::kTable[leadIndex][t];
                if (unit != 0 && reverse[unit] == 0) reverse[unit] = static_cast<uint16_t>(lead << 8 | (t + 0x40));
            }
        }
        return reverse;
    }();
    return table;
}

}  // namespace

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

std::u16string DecodeShiftJisText(std::span<const uint8_t> bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size() && bytes[i] != 0; ++i) {
        const uint8_t b = bytes[i];
        if (b <= 0x7E) {
            text.push_back(static_cast<char16_t>(b));
        } else if (b >= 0xA1 && b <= 0xDF) {
            text.push_back(static_cast<char16_t>(0xFF61 + (b - 0xA1)));
        } else {
            const bool hasTrail = i + 1 < bytes.size() && bytes[i + 1] >= 0x40 && bytes[i + 1] <= 0xFC;
            const char16_t unit = hasTrail ? ShiftJisDoubleByteToUtf16(b, bytes[i + 1]) : 0;
            text.push_back(unit != 0 ? unit : u'\uFFFD');
            if (hasTrail) ++i;
        }
    }
    return text;
}

std::string EncodeShiftJisName(std::u16string_view name) {
    std::string bytes;
    bytes.reserve(name.size() * 2);
    for (const char16_t c : name) {
        if (c >= 0x01 && c <= 0x7E) {
            bytes.push_back(static_cast<char>(c));
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            bytes.push_back(static_cast<char>(0xA1 + (c - 0xFF61)));
        } else {
            const uint16_t code = ReverseTable()[c];
            if (code == 0) return {};
            bytes.push_back(static_cast<char>(code >> 8));
            bytes.push_back(static_cast<char>(code & 0xFF));
        }
    }
    return bytes;
}
