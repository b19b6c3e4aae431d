#pragma once
// Reading VPD pose files: a text file in Shift_JIS that holds one pose of a model, as a motion of
// one key per bone and per morph at frame 0, in a VMDFile, so a pose plays wherever a motion does.
//
//   Vocaloid Pose Data file
//
//   miku.osm;       // the model the pose was made on
//   2;              // bone blocks
//
//   Bone0{センター
//     0.000000,1.500000,0.000000;             // translation x, y, z
//     0.000000,0.000000,0.000000,1.000000;    // rotation quaternion x, y, z, w
//   }
//   Morph0{まばたき
//     1.000000;                               // weight
//   }
//
// Lines end in LF or CR LF; "//" starts a comment to the end of its line; blank lines and comment
// lines may stand anywhere, spaces and tabs around any line or number are ignored. Numbers and
// names are kept as stored, in the file's space like a VMD's (names up to the 15 bytes a VMD key
// holds). A file whose blocks are fewer than its bone count declares reads the blocks it has and
// says so in MessageLog. Anything else that does not fit the layout fails the read with one
// message naming the line ("ReadPose Fail: line 7: ..."), decimal commas ("0,5") included; the
// reader never throws.
#include <cstdint>
#include <filesystem>
#include <span>

#include "model/io/VMDFile.h"

namespace Vesma {

/// True when the text starts (after blank or comment lines) with the pose file header.
bool HasVpdSignature(std::span<const uint8_t> bytes);

/// Reads a pose from `bytes`. Clears `vmd` first; on success it holds one bone key per bone block
/// and one morph key per morph block, all at frame 0, with straight-line curves.
bool ReadVPDFile(VMDFile& vmd, std::span<const uint8_t> bytes);

/// Reads the whole file at `path` and reads it as above. An empty or unreadable file fails with a
/// message.
bool ReadVPDFile(VMDFile& vmd, const std::filesystem::path& path);

}  // namespace Vesma
