#pragma once
// Builds VMD motion files of any shape in memory, for tests, benchmarks and fuzz seeds: every
// section, files that stop after any section, counts that lie, and files cut at any byte. The
// sections themselves come from model/io/VmdWriter, so their records are the bytes it writes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model/io/VMDFile.h"

namespace TestSupport {

/// Sections of a VMD file in file order.
enum class VmdSection { Bone = 0, Morph, Camera, Light, Shadow, IK };
constexpr size_t kVmdSectionCount = 6;

/// What to write. The key records are the reader's own types; names are raw Shift_JIS bytes
/// (only the bytes the file holds are written: 15 for bone and morph names, 20 for IK names).
struct VmdContent {
    std::array<uint8_t, 30> header{};
    std::array<uint8_t, 20> modelName{};
    std::vector<Vesma::VMDMotionKey> boneKeys;
    std::vector<Vesma::VMDMorphKey> morphKeys;
    std::vector<Vesma::VMDCameraKey> cameraKeys;
    std::vector<Vesma::VMDLightKey> lightKeys;
    std::vector<Vesma::VMDShadowKey> shadowKeys;
    std::vector<Vesma::VMDIKKey> ikKeys;

    /// The last section written; later sections are left out (the file ends after this one).
    VmdSection lastSection = VmdSection::IK;
    /// Counts written in place of the true list sizes (hostile files); indexed by VmdSection.
    std::array<std::optional<uint32_t>, kVmdSectionCount> countOverride{};

    /// Content with the usual signature "Vocaloid Motion Data 0002" and the given model name.
    static VmdContent WithSignature(std::string_view modelName = "model");
};

/// A written file plus the offset of each section's count (the file size for sections left out).
struct VmdImage {
    std::vector<uint8_t> bytes;
    std::array<size_t, kVmdSectionCount> countOffset{};

    size_t CountOffset(VmdSection section) const { return countOffset[static_cast<size_t>(section)]; }
    /// The first `size` bytes of the file.
    std::vector<uint8_t> CutAt(size_t size) const;
};

VmdImage WriteVmd(const VmdContent& content);

/// Copies up to N bytes of `name` into a zero-filled fixed field (the last byte stays 0 when the
/// field is one longer than the file's name field).
template <size_t N>
std::array<uint8_t, N> NameField(std::string_view name) {
    std::array<uint8_t, N> field{};
    for (size_t i = 0; i < name.size() && i < N; ++i) {
        field[i] = static_cast<uint8_t>(name[i]);
    }
    return field;
}

/// A bone key whose four channels have straight-line curves (control points (20, 20) and
/// (107, 107)) in the authoring tool's layout, physics switch 0x00 0x00.
Vesma::VMDMotionKey MakeBoneKey(std::string_view name, uint32_t frame, Math::vec3 translation = {},
                                Math::quat rotation = Math::quat::Identity());

/// Control points (x1, y1) and (x2, y2) of one channel's curve, each 0..127.
struct CurveBytes {
    uint8_t x1 = 20;
    uint8_t y1 = 20;
    uint8_t x2 = 107;
    uint8_t y2 = 107;
};
/// Bone key channels in interpolation-row order.
enum BoneChannel : int { kChannelX = 0, kChannelY, kChannelZ, kChannelRotation, kBoneChannelCount };

/// The physics switch values the authoring tool writes over bytes 2 and 3 of the first row.
constexpr std::array<uint8_t, 2> kPhysicsSwitchClear{0x00, 0x00};
constexpr std::array<uint8_t, 2> kPhysicsSwitchSet{0x63, 0x0F};

/// Writes the interpolation bytes as the authoring tool does: the 16-byte curve table (x1 of the
/// X, Y, Z and rotation channels, then their y1, x2 and y2) four times, row r shifted left by r
/// bytes and zero-filled at its end, so each channel's curve lies at bytes 0, 4, 8 and 12 of its
/// own row; then the physics switch over bytes 2 and 3 of the first row.
void SetBoneKeyCurves(Vesma::VMDMotionKey& key, const std::array<CurveBytes, kBoneChannelCount>& channels,
                      std::array<uint8_t, 2> physicsSwitch = kPhysicsSwitchClear);
/// The same with one curve for all four channels.
void SetBoneKeyCurves(Vesma::VMDMotionKey& key, uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2,
                      std::array<uint8_t, 2> physicsSwitch = kPhysicsSwitchClear);
/// Overwrites one 16-byte interpolation row (0..3) with `bytes`, leaving the others alone.
void SetBoneKeyRow(Vesma::VMDMotionKey& key, int row, const std::array<uint8_t, 16>& bytes);
Vesma::VMDMorphKey MakeMorphKey(std::string_view name, uint32_t frame, float weight);
Vesma::VMDCameraKey MakeCameraKey(uint32_t frame, float distance, Math::vec3 interest = {},
                                  Math::vec3 rotation = {}, uint32_t viewAngle = 30);
Vesma::VMDIKInfo MakeIKInfo(std::string_view name, bool enable);

}  // namespace TestSupport
