#pragma once
// In-memory record of one VMD motion file: every key list exactly as stored. Names stay the file's
// Shift_JIS bytes and numbers keep the file's handedness; consumers decode and convert them
// (DecodeVMDName in VmdReader.h decodes a name).
#include <array>
#include <cstdint>
#include <vector>

#include "core/Math.h"

namespace Vesma {

/// One bone key (111 bytes in the file). Frames are 30 per second.
struct VMDMotionKey {
    /// Shift_JIS name, NUL-padded; the 16th byte is always 0, so a name that fills all 15 file
    /// bytes is still terminated.
    std::array<uint8_t, 16> boneName{};
    uint32_t frame = 0;
    Math::vec3 translation;
    /// Rotation as stored (x, y, z, w). Zero, not identity, until read.
    Math::quat rotation{0, 0, 0, 0};
    /// Interpolation bytes as stored: four rows of 16 bytes, one per channel (X, Y, Z translation,
    /// rotation). A channel's curve (x1, y1, x2, y2) is bytes 0, 4, 8 and 12 of its own row. The
    /// authoring tool writes one 16-byte curve table four times, each row shifted by one byte, and
    /// puts a per-key physics switch over bytes 2 and 3 of the first row.
    std::array<uint8_t, 64> interpolation{};
};

/// One morph key (23 bytes in the file).
struct VMDMorphKey {
    std::array<uint8_t, 16> morphName{};  ///< Shift_JIS, zero-terminated (byte 15 always 0).
    uint32_t frame = 0;
    float weight = 0;
};

/// One camera key (61 bytes in the file).
struct VMDCameraKey {
    uint32_t frame = 0;
    float distance = 0;
    Math::vec3 interest;  ///< target position
    Math::vec3 rotation;  ///< Euler angles, radians
    /// Six curves of four bytes each, as stored.
    std::array<uint8_t, 24> interpolation{};
    uint32_t viewAngle = 0;  ///< degrees
    uint8_t perspective = 0; ///< kept, not used
};

/// One light key (28 bytes in the file).
struct VMDLightKey {
    uint32_t frame = 0;
    Math::vec3 color;
    Math::vec3 position;
};

/// One self-shadow key (9 bytes in the file).
struct VMDShadowKey {
    uint32_t frame = 0;
    uint8_t mode = 0;
    float distance = 0;
};

/// One IK on/off entry of an IK key (21 bytes in the file).
struct VMDIKInfo {
    std::array<uint8_t, 21> name{};  ///< Shift_JIS IK bone name, 20 bytes plus a 0 terminator.
    uint8_t enable = 0;              ///< non-zero: IK on
};

/// One IK key: visibility plus a list of IK on/off switches at one frame.
struct VMDIKKey {
    uint32_t frame = 0;
    uint8_t show = 0;
    std::vector<VMDIKInfo> ikInfos;
};

/// A whole motion file. Owns its lists; moved, never shared.
struct VMDFile {
    /// The file bytes while reading; emptied after a successful read.
    std::vector<uint8_t> buffer;
    uint64_t position = 0;

    std::array<uint8_t, 30> header{};     ///< signature text as stored (not checked)
    std::array<uint8_t, 20> modelName{};  ///< Shift_JIS, as stored (not used)

    std::vector<VMDMotionKey> boneKeys;
    std::vector<VMDMorphKey> morphKeys;
    std::vector<VMDCameraKey> cameraKeys;
    std::vector<VMDLightKey> lightKeys;
    std::vector<VMDShadowKey> shadowKeys;
    std::vector<VMDIKKey> ikKeys;

    /// Empties every list and the buffer and zeroes the header fields.
    void Release() { *this = VMDFile{}; }
};

}  // namespace Vesma
