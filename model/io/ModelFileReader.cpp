#include "model/io/ModelFileReader.h"

#include "core/TextConvert.h"
#include "model/io/PmdReader.h"
#include "model/io/PmxReader.h"

namespace Vesma {

ModelFileFormat DetectModelFileFormat(std::span<const uint8_t> bytes, std::u16string_view path) {
    if (HasPmdSignature(bytes)) return ModelFileFormat::PMD;
    // A PMX file always starts "PMX "; only a file that is neither goes by its name.
    const bool pmx = bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'M' && bytes[2] == 'X';
    return !pmx && EndsWithNoCase(path, u".pmd") ? ModelFileFormat::PMD : ModelFileFormat::PMX;
}

bool IsModelFileName(std::u16string_view path) { return EndsWithNoCase(path, u".pmx") || EndsWithNoCase(path, u".pmd"); }

bool ReadModelFile(PMXFile& file, std::vector<uint8_t>&& bytes, std::u16string_view path) {
    if (DetectModelFileFormat(bytes, path) == ModelFileFormat::PMD) return ReadPMDFile(file, std::move(bytes));
    return ReadPMXFile(file, std::move(bytes));
}

const char16_t* ModelFileFormatName(ModelFileFormat format) { return format == ModelFileFormat::PMD ? u"PMD" : u"PMX"; }

}  // namespace Vesma
