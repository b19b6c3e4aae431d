#include "core/ShiftJis.h"
#include "core/ShiftJisTable.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::u16string Decode(std::vector<uint8_t> bytes) { return DecodeShiftJisName(bytes); }

struct DecodeCase {
    const char* what;
    std::vector<uint8_t> bytes;
    std::u16string expected;
};

TEST(ShiftJis, DecodesNames) {
    const DecodeCase cases[] = {
        {"ASCII, backslash and tilde stay ASCII", {'a', 'B', '0', 0x5C, 0x7E, 0x01}, u"aB0\\~\x01"},
        {"half-width katakana", {0xBE, 0xDD, 0xC0, 0xB0, 0xA1, 0xDF}, u"\uFF7E\uFF9D\uFF80\uFF70\uFF61\uFF9F"},
        {"センター", {0x83, 0x5A, 0x83, 0x93, 0x83, 0x5E, 0x81, 0x5B}, u"センター"},
        {"右足ＩＫ", {0x89, 0x45, 0x91, 0xAB, 0x82, 0x68, 0x82, 0x6A}, u"右足ＩＫ"},
        {"左ひじ", {0x8D, 0xB6, 0x82, 0xD0, 0x82, 0xB6}, u"左ひじ"},
        {"0x815F is reverse solidus", {0x81, 0x5F}, u"\\"},
        {"0x8160 is wave dash, not the vendor's tilde", {0x81, 0x60}, u"\u301C"},
        {"0x817C is minus sign, not the vendor's hyphen-minus", {0x81, 0x7C}, u"\u2212"},
        {"last row of level 2 kanji (row 84)", {0xEA, 0xA4}, u"\u7199"},
        {"mixed widths", {'L', 0x8D, 0xB6, 0xB1}, u"L左\uFF71"},
        {"stops at the first 0", {'a', 'b', 0, 'c', 0x87}, u"ab"},
        {"empty", {}, u""},
        {"only a terminator", {0, 'x'}, u""},
    };
    for (const DecodeCase& c : cases) EXPECT_EQ(Decode(c.bytes), c.expected) << c.what;
}

TEST(ShiftJis, AnyUndecodableCodeEmptiesTheWholeName) {
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"NEC row 13 (0x8740)", {'a', 0x87, 0x40, 'b'}},
        {"IBM extension lead 0xED", {0xED, 0x40}},
        {"IBM extension lead 0xEE", {0xEE, 0xFC}},
        {"rows 85+ (lead 0xEB)", {0xEB, 0x40}},
        {"unassigned row 9 (0x8540)", {0x85, 0x40}},
        {"unassigned cell in row 2 (0x81AD)", {0x81, 0xAD}},
        {"lead byte 0x7F", {'a', 0x7F, 0x40}},
        {"lead byte 0x80", {0x80, 0x40}},
        {"lead byte 0xA0", {0xA0, 0x40}},
        {"lead byte 0xF0", {0xF0, 0x40}},
        {"lead byte 0xFF", {0xFF, 0x40}},
        {"trail byte below 0x40", {0x88, 0x3F}},
        {"trail byte 0x7F", {0x88, 0x7F}},
        {"trail byte above 0xFC", {0x88, 0xFD}},
        {"lead byte before the terminator", {'a', 'b', 0x82, 0x00, 0xA0}},
        {"lead byte at the end of the span", {0x83, 0x5A, 0x83}},
        {"lone half-width-range lead after a kanji", {0x8D, 0xB6, 0xE0}},
    };
    for (const auto& [what, bytes] : cases) EXPECT_EQ(Decode(bytes), u"") << what;
}

TEST(ShiftJis, NameFillingAllFifteenBytes) {
    // A 15-byte name field with no terminator of its own: the end of the field ends the name.
    const std::vector<uint8_t> ascii = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o'};
    EXPECT_EQ(Decode(ascii), u"abcdefghijklmno");

    // Seven two-byte characters and one ASCII byte: 15 bytes, 8 characters.
    std::vector<uint8_t> kana;
    for (int i = 0; i < 7; ++i) kana.insert(kana.end(), {0x82, 0xA0});
    kana.push_back('x');
    EXPECT_EQ(Decode(kana), u"あああああああx");

    // The field ends with a lead byte whose trail was cut off by the field size.
    std::vector<uint8_t> cut(14, 'a');
    cut.push_back(0x82);
    EXPECT_EQ(Decode(cut), u"");
}

TEST(ShiftJis, GeneratedTableCoversExactlyTheAssignedRows) {
    int assigned = 0;
    int rowsWithCodes = 0;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int half = 0; half < 2; ++half) {
            int inRow = 0;
            for (int trail = half ? 0x9F : 0x40; trail <= (half ? 0xFC : 0x9E); ++trail) {
                if (ShiftJisDoubleByteToUtf16(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)) != 0) ++inRow;
            }
            const int pair = lead <= 0x9F ? lead - 0x81 : lead - 0xC1;
            const int row = pair * 2 + 1 + half;
            const bool assignedRow = (row >= 1 && row <= 8) || (row >= 16 && row <= 84);
            if (!assignedRow) {
                EXPECT_EQ(inRow, 0) << "row " << row;
            }
            if (inRow > 0) ++rowsWithCodes;
            assigned += inRow;
        }
    }
    // JIS X 0208:1997 assigns 6879 codes in rows 1-8 and 16-84 (all 77 rows hold some).
    EXPECT_EQ(assigned, 6879);
    EXPECT_EQ(rowsWithCodes, 77);
    // Every kanji row is full.
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        EXPECT_NE(ShiftJisDoubleByteToUtf16(0x90, static_cast<uint8_t>(trail)), 0) << std::hex << trail;
    }
}

}  // namespace

TEST(ShiftJis, EncodesNamesAsTheDecoderReadsThem) {
    EXPECT_EQ(EncodeShiftJisName(u"センター"), "\x83\x5A\x83\x93\x83\x5E\x81\x5B");
    EXPECT_EQ(EncodeShiftJisName(u"左足ＩＫ"), "\x8D\xB6\x91\xAB\x82\x68\x82\x6A");
    EXPECT_EQ(EncodeShiftJisName(u"a\\~"), "a\\~");             // ASCII stays one byte each
    EXPECT_EQ(EncodeShiftJisName(u"\uFF71\uFF9F"), "\xB1\xDF");  // half-width katakana
    EXPECT_EQ(EncodeShiftJisName(u""), "");
    // No code at all: the whole name is refused rather than cut.
    EXPECT_EQ(EncodeShiftJisName(u"頭\U0001F600"), "");
    EXPECT_EQ(EncodeShiftJisName(std::u16string(u"a\0b", 3)), "");
    EXPECT_EQ(EncodeShiftJisName(u"\u00E9"), "");
}

TEST(ShiftJis, EveryTableCodeEncodesBackToItself) {
    int checked = 0;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char16_t unit = ShiftJisDoubleByteToUtf16(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
            if (unit == 0 || unit == u'\\') continue;  // 0x815F decodes to the ASCII reverse solidus
            const std::string bytes = EncodeShiftJisName(std::u16string(1, unit));
            ASSERT_EQ(bytes.size(), 2u) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(static_cast<uint8_t>(bytes[0]), lead);
            EXPECT_EQ(static_cast<uint8_t>(bytes[1]), trail);
            ++checked;
        }
    }
    EXPECT_GT(checked, 6800);  // JIS X 0208 assigns 6879 characters
}
