#include "model/io/MotionFileReader.h"

#include "model/io/VmdReader.h"
#include "model/io/VpdReader.h"

namespace Vesma {
namespace {

bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char16_t c = text[text.size() - suffix.size() + i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

}  // namespace

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
