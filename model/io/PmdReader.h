#pragma once
// Reading PMD model files (the format before PMX) into the same PMXFile record the PMX reader
// makes, so that the model, its motion, physics and the GPU side need no second path.
//
// The file's own kinds become what a PMX model says explicitly:
//  - vertices are BDEF2 (two bones, one weight in percent); the edge flag 0 draws an edge
//    (edge scale 1), 1 does not (0);
//  - a material's "texture*sphere" name is split on '*' (a lone ".sph"/".spa" name is a sphere,
//    multiplied or added); its toon number picks one of the ten shared toon images (toon01.bmp ..
//    toon10.bmp), or the file named in the model's own toon list when that list replaces it;
//    materials cast, receive and drop shadows, are drawn from both sides below full opacity, and
//    draw an edge when their edge flag says so;
//  - bones: every bone rotates and shows its tail bone; kinds 1 (rotate and move) and 2 (IK) move;
//    kinds 5 (under rotation) and 9 (rotation follow) take a share of another bone's rotation
//    (kind 5: all of its IK-parent field's bone; kind 9: its tail bone's, by the percentage in
//    that field) after IK; kind 8 (twist) turns only about the axis towards its tail; kinds 6 (IK
//    target) and 7 (hidden) are neither shown nor operated;
//  - IK chains become the IK bone's IK block; its per-step limit is the file's control weight x 4;
//    the knees ("左ひざ", "右ひざ") bend one way only (-180 to -0.5 degrees about x), as every
//    player of the format does;
//  - morphs: the base morph holds the vertices the others move; each other morph's entries index
//    the base morph's list and become vertex morphs on those vertices (the base morph itself is
//    no PMX morph, so later morph indices shift down by one where it stands first);
//  - display lists become a "Root" frame (bone 0), a "表情" frame (the listed morphs) and one frame
//    per named bone group;
//  - English names, the toon list, rigid bodies (placed relative to their bone in the file,
//    absolutely in the record) and joints are read when the file has them.
//
// Texts are Shift_JIS in fixed fields; undecodable bytes become U+FFFD.
//
// Every read is bounded by the file's bytes. The sections up to the display lists are required: a
// failing one appends one message to MessageLog (e.g. "PMD ReadVertex Fail.") and the read returns
// false with the record partly filled. The later sections (English names, toon list, physics) are
// optional: the file may end before any of them; one that is cut short or corrupt appends its
// message, is left out with whatever follows it, and the read succeeds with the model so far.
// Nothing throws.
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "model/io/PMXFile.h"

namespace Vesma {

/// True when `bytes` start with the PMD signature "Pmd".
bool HasPmdSignature(std::span<const uint8_t> bytes);

/// Reads a PMD file from borrowed bytes; `file.buffer` stays empty. Whatever `file` held before is
/// dropped.
bool ReadPMDFile(PMXFile& file, std::span<const uint8_t> bytes);

/// Reads a PMD file from `bytes`, which the record takes over while reading (emptied on success).
bool ReadPMDFile(PMXFile& file, std::vector<uint8_t>&& bytes);

/// Reads the whole file at `path` and then reads it as above. An empty or unreadable file fails
/// with a message.
bool ReadPMDFile(PMXFile& file, const std::filesystem::path& path);

}  // namespace Vesma
