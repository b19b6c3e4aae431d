// Feeds arbitrary bytes to the PMD reader, and the record it makes to the model builder. Any
// crash, hang, sanitizer report or runaway allocation is a bug: the reader answers every input
// with true or false and leaves exactly one message when it fails.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/MessageLog.h"
#include "model/PMXModel.h"
#include "model/io/PmdReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vesma::PMXFile pmd;
    const bool ok = Vesma::ReadPMDFile(pmd, std::span<const uint8_t>(data, size));
    if (!ok && MessageLog::Instance().Peek().empty()) __builtin_trap();
    if (pmd.position > size) __builtin_trap();
    // Every vertex, face and bone takes its fixed bytes of the file.
    if (pmd.vertices.size() * 38 + pmd.faces.size() * 6 + pmd.bones.size() * 39 > size) __builtin_trap();
    if (ok) {
        Vesma::PMXModel model;
        model.Load(std::move(pmd), u"fuzz.pmd");
    }
    MessageLog::Instance().Clear();
    return 0;
}
