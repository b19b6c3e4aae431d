#pragma once
// Builds VMD motion files of any shape in memory, for tests, benchmarks and fuzz seeds: every
// section, files that stop after any section, counts that lie, and files cut at any byte.
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

Vesma::VMDMotionKey MakeBoneKey(std::string_view name, uint32_t frame, Math::vec3 translation = {},
                                Math::quat rotation = Math::quat::Identity());
/// Gives all four channels of `key` the curve with control points (x1, y1) and (x2, y2), 0..127.
void SetBoneKeyCurves(Vesma::VMDMotionKey& key, uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2);
Vesma::VMDMorphKey MakeMorphKey(std::string_view name, uint32_t frame, float weight);
Vesma::VMDCameraKey MakeCameraKey(uint32_t frame, float distance, Math::vec3 interest = {},
                                  Math::vec3 rotation = {}, uint32_t viewAngle = 30);
Vesma::VMDIKInfo MakeIKInfo(std::string_view name, bool enable);

}  // namespace TestSupport
