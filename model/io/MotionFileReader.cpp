#include "model/io/MotionFileReader.h"

#include "core/TextConvert.h"
#include "model/io/VmdReader.h"
#include "model/io/VpdReader.h"

namespace Vesma {

MotionFileFormat DetectMotionFileFormat(std::span<const uint8_t> bytes, std::u16string_view path) {
    if (HasVpdSignature(bytes)) return MotionFileFormat::VPD;
    constexpr std::string_view kVmdStart = "Vocaloid Motion Data";
    const bool vmd = bytes.size() >= kVmdStart.size() &&
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), kVmdStart.size()) == kVmdStart;
    return !vmd && EndsWithNoCase(path, u".vpd") ? MotionFileFormat::VPD : MotionFileFormat::VMD;
}

bool IsMotionFileName(std::u16string_view path) { return EndsWithNoCase(path, u".vmd") || EndsWithNoCase(path, u".vpd"); }

bool ReadMotionFile(VMDFile& vmd, std::vector<uint8_t>&& bytes, std::u16string_view path) {
    if (DetectMotionFileFormat(bytes, path) == MotionFileFormat::VPD) return ReadVPDFile(vmd, std::span<const uint8_t>(bytes));
    return ReadVMDFile(vmd, std::move(bytes));
}

const char16_t* MotionFileFormatName(MotionFileFormat format) { return format == MotionFileFormat::VPD ? u"VPD" : u"VMD"; }

}  // namespace Vesma
