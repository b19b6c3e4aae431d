#pragma once
// Writes a VMDFile record as a VMD motion file: the header and model name as stored, then every
// key section in file order with its true count. Names are written as the record holds them (the
// Shift_JIS bytes of the fixed fields), so a file written here and read back gives the same keys.
//
// Like the PMX writer it needs only the record types, so generators link it without the model
// library. Names for the fixed fields come from VmdNameField (Shift_JIS, cut at a character
// boundary to fit).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/io/VMDFile.h"

namespace Vesma {

/// Serialises `file` (its 50 header bytes and all six sections).
std::vector<uint8_t> WriteVmd(const VMDFile& file);

/// Appends one key section as the file stores it: `count`, then every record of `keys`. WriteVmd
/// passes each list's size; a writer of damaged files passes any other count, or stops after any
/// section, and the records stay byte for byte what WriteVmd writes.
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDMotionKey>& keys, uint32_t count);
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDMorphKey>& keys, uint32_t count);
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDCameraKey>& keys, uint32_t count);
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDLightKey>& keys, uint32_t count);
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDShadowKey>& keys, uint32_t count);
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDIKKey>& keys, uint32_t count);

/// The Shift_JIS bytes of `name` in a zero-filled field of N bytes, keeping at most `fileBytes`
/// of them (the bytes the file stores for that field) and never splitting a two-byte character.
/// A name that Shift_JIS cannot hold gives an all-zero field.
std::array<uint8_t, 16> VmdBoneName(std::u16string_view name);
std::array<uint8_t, 21> VmdIKName(std::u16string_view name);
std::array<uint8_t, 20> VmdModelName(std::u16string_view name);

/// The usual signature, "Vocaloid Motion Data 0002", NUL-padded.
std::array<uint8_t, 30> VmdSignature();

/// Interpolation bytes of a bone key whose four channels share the curve (x1, y1) - (x2, y2),
/// each 0..127, in the layout the motion reader takes them from.
std::array<uint8_t, 64> VmdBoneCurves(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2);
/// The same for a camera key's six curves.
std::array<uint8_t, 24> VmdCameraCurves(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2);

}  // namespace Vesma
