// Feeds arbitrary bytes to the PMX reader. Any crash, hang, sanitizer report or runaway
// allocation is a bug: the reader must answer every input with true or false.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/MessageLog.h"
#include "model/io/PmxReader.h"

namespace {

// Every element of every list, nested ones included, takes at least one byte of the file.
size_t CountElements(const Vesma::PMXFile& pmx) {
    size_t n = pmx.vertices.size() + pmx.faces.size() + pmx.textures.size() + pmx.materials.size() +
               pmx.bones.size() + pmx.morphs.size() + pmx.displayFrames.size() + pmx.rigidBodies.size() +
               pmx.joints.size() + pmx.softBodies.size();
    for (const auto& bone : pmx.bones) n += bone.ikLinks.size();
    for (const auto& morph : pmx.morphs) {
        n += morph.positionMorph.size() + morph.uvMorph.size() + morph.boneMorph.size() + morph.materialMorph.size() +
             morph.groupMorph.size() + morph.flipMorph.size() + morph.impulseMorph.size();
    }
    for (const auto& frame : pmx.displayFrames) n += frame.targets.size();
    for (const auto& body : pmx.softBodies) n += body.anchorRigidBodies.size() + body.pinVertexIndices.size();
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vesma::PMXFile pmx;
    const bool ok = Vesma::ReadPMXFile(pmx, std::span<const uint8_t>(data, size));
    if (ok && (CountElements(pmx) > size || pmx.position > size)) __builtin_trap();
    // A failed read leaves exactly one message, or none for a buffer under 5 bytes.
    if (!ok && size >= 5 && MessageLog::Instance().Peek().empty()) __builtin_trap();
    MessageLog::Instance().Clear();
    return 0;
}
