// Feeds arbitrary bytes to the VMD reader. Any crash, hang, sanitizer report or runaway
// allocation is a bug: the reader must answer every input with true or false.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/MessageLog.h"
#include "model/io/VmdReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vesma::VMDFile vmd;
    const bool ok = Vesma::ReadVMDFile(vmd, std::vector<uint8_t>(data, data + size));
    if (ok) {
        // Every list must fit in the input: a record is at least 9 bytes in the file.
        const size_t records = vmd.boneKeys.size() + vmd.morphKeys.size() + vmd.cameraKeys.size() +
                               vmd.lightKeys.size() + vmd.shadowKeys.size() + vmd.ikKeys.size();
        if (records * 9 > size) {
            __builtin_trap();
        }
        for (const auto& key : vmd.boneKeys) {
            Vesma::DecodeVMDName(key.boneName);
        }
        for (const auto& key : vmd.morphKeys) {
            Vesma::DecodeVMDName(key.morphName);
        }
        for (const auto& key : vmd.ikKeys) {
            for (const auto& info : key.ikInfos) {
                Vesma::DecodeVMDName(info.name);
            }
        }
    }
    MessageLog::Instance().Clear();
    return 0;
}
