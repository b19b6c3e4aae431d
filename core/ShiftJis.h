#pragma once
// Decoding of the Shift_JIS names stored in motion files (bone, morph and IK names), and the
// encoding that writers of such files use.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/// Decodes a Shift_JIS name to UTF-16, up to its first 0 byte or the end of `bytes`.
///  - 0x01-0x7E: the same ASCII code point (0x5C stays '\', 0x7E stays '~').
///  - 0xA1-0xDF: half-width katakana U+FF61-U+FF9F.
///  - any other byte starts a two-byte code, looked up in the JIS X 0208 table (0x815F maps
///    to U+005C).
/// A code that can't be decoded (an unassigned code, a bad lead or trail byte, a lead byte
/// right before the end of the name) makes the whole result empty.
std::u16string DecodeShiftJisName(std::span<const uint8_t> bytes);

/// Decodes Shift_JIS text (model names, comments, pose files) to UTF-16 up to its first 0 byte or
/// the end of `bytes`, as DecodeShiftJisName does, except that nothing is dropped: a code that
/// can't be decoded becomes U+FFFD and decoding goes on after it (a bad lead byte takes its trail
/// byte with it only when that byte lies in the trail range).
std::u16string DecodeShiftJisText(std::span<const uint8_t> bytes);

/// The UTF-16 unit of one double-byte code (lead << 8 | trail), or 0 when it is undecodable.
char16_t ShiftJisDoubleByteToUtf16(uint8_t lead, uint8_t trail);

/// Encodes a UTF-16 name as Shift_JIS: the exact inverse of DecodeShiftJisName for every
/// character it can decode. ASCII 0x01-0x7E stays one byte (so U+005C is 0x5C, not 0x815F);
/// half-width katakana is one byte; everything else is looked up in the JIS X 0208 table. Returns
/// an empty string when a character has no code (or is U+0000), so no name is half-encoded.
std::string EncodeShiftJisName(std::u16string_view name);
