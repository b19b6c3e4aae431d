#pragma once
// Reads a model file of either format into a PMXFile: PMD files (the "Pmd" signature, or a name
// ending in ".pmd") through the PMD reader, everything else through the PMX reader. Both leave
// one message in MessageLog on failure and never throw.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model/io/PMXFile.h"

namespace Vesma {

enum class ModelFileFormat { PMX, PMD };

/// The format of a model file, from its first bytes, else from its name.
ModelFileFormat DetectModelFileFormat(std::span<const uint8_t> bytes, std::u16string_view path);

/// True for a name ending in ".pmx" or ".pmd" (any case): a model file the readers take.
bool IsModelFileName(std::u16string_view path);

/// Reads `bytes` (taken over) as the format DetectModelFileFormat names.
bool ReadModelFile(PMXFile& file, std::vector<uint8_t>&& bytes, std::u16string_view path);

/// "PMX" or "PMD", for messages.
const char16_t* ModelFileFormatName(ModelFileFormat format);

}  // namespace Vesma
