#pragma once
// Writes PMX files of any shape in memory: the built-in sample model's generator, tests,
// benchmarks and fuzz seeds.
//
// The writer serialises a Vesma::PMXFile exactly as its fields say, using the header's encoding,
// additional UV count and index sizes, so a file written here and read back gives the same record.
// It writes whatever the record holds, including out-of-range type bytes (a weight type of 5, a
// toon mode of 2, a morph type of 11, a display-frame target of 2), so broken files are built by
// editing the record, by patching the bytes at the offsets it reports, or by cutting the bytes.
//
// It depends only on the record types and core text conversion (no reader), so it is a library of
// its own (`vesma_pmxwriter`) that the sample model generator links without the model library.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/io/PMXFile.h"

namespace Vesma {

/// Byte offsets of the parts of a written file: each section's offset is where its 32-bit element
/// count lies. `softBodies` equals `end` when no soft-body section was written.
struct PmxLayout {
    size_t texts = 0;  // the model name's length field, right after the fixed header
    size_t vertices = 0;
    size_t faces = 0;
    size_t textures = 0;
    size_t materials = 0;
    size_t bones = 0;
    size_t morphs = 0;
    size_t displayFrames = 0;
    size_t rigidBodies = 0;
    size_t joints = 0;
    size_t softBodies = 0;
    size_t end = 0;
};

struct PmxWriteOptions {
    /// Write the soft-body section even when the list is empty (format 2.1 files always carry it).
    /// A non-empty soft-body list is always written.
    bool softBodySection = false;
    /// Vertex indices written after the faces and counted with them, so the face count need not be
    /// a multiple of 3.
    std::vector<uint32_t> extraFaceIndices;
};

/// A valid header: "PMX ", the given version, 8 global bytes, the encoding, no additional UVs and
/// `indexSize` for every index kind.
Vesma::PMXHeader MakePmxHeader(float version = 2.0f, Vesma::PMXEncoding encoding = Vesma::PMXEncoding::UTF16,
                               uint8_t indexSize = 4);

/// Serialises `file` (its header, four texts and every section in order).
std::vector<uint8_t> WritePmx(const Vesma::PMXFile& file, const PmxWriteOptions& options = {},
                              PmxLayout* layout = nullptr);

/// Overwrites 4 bytes at `offset` with `value` (little-endian): for corrupt counts and lengths.
void PatchInt32(std::vector<uint8_t>& bytes, size_t offset, int32_t value);

}  // namespace Vesma
