#pragma once
// Reads a motion file of either kind into a VMDFile: VPD poses (the pose header, or a name ending
// in ".vpd") through the pose reader, as a motion of one key per bone and morph; everything else
// through the VMD reader. Both leave one message in MessageLog on failure and never throw.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model/io/VMDFile.h"

namespace Vesma {

enum class MotionFileFormat { VMD, VPD };

/// The format of a motion file, from its first lines, else from its name.
MotionFileFormat DetectMotionFileFormat(std::span<const uint8_t> bytes, std::u16string_view path);

/// True for a name ending in ".vmd" or ".vpd" (any case): a motion file the readers take.
bool IsMotionFileName(std::u16string_view path);

/// Reads `bytes` (taken over) as the format DetectMotionFileFormat names.
bool ReadMotionFile(VMDFile& vmd, std::vector<uint8_t>&& bytes, std::u16string_view path);

/// "VMD" or "VPD", for messages.
const char16_t* MotionFileFormatName(MotionFileFormat format);

}  // namespace Vesma
