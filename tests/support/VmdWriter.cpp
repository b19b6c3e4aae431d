#include "tests/support/VmdWriter.h"

#include <cstring>

#include "model/io/VmdWriter.h"

namespace TestSupport {

VmdContent VmdContent::WithSignature(std::string_view modelName) {
    VmdContent content;
    content.header = Vesma::VmdSignature();
    content.modelName = NameField<20>(modelName);
    return content;
}

std::vector<uint8_t> VmdImage::CutAt(size_t size) const {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size < bytes.size() ? size : bytes.size())};
}

VmdImage WriteVmd(const VmdContent& content) {
    VmdImage image;
    image.bytes.assign(content.header.begin(), content.header.end());
    image.bytes.insert(image.bytes.end(), content.modelName.begin(), content.modelName.end());

    // Sections run in file order, so once one is left out so are all later ones, and the file's
    // size at that point is also where each of them would have begun.
    auto write = [&](VmdSection section, const auto& keys) {
        const auto index = static_cast<size_t>(section);
        image.countOffset[index] = image.bytes.size();
        if (index > static_cast<size_t>(content.lastSection)) return;
        const std::optional<uint32_t>& over = content.countOverride[index];
        Vesma::AppendVmdSection(image.bytes, keys, over ? *over : static_cast<uint32_t>(keys.size()));
    };
    write(VmdSection::Bone, content.boneKeys);
    write(VmdSection::Morph, content.morphKeys);
    write(VmdSection::Camera, content.cameraKeys);
    write(VmdSection::Light, content.lightKeys);
    write(VmdSection::Shadow, content.shadowKeys);
    write(VmdSection::IK, content.ikKeys);
    return image;
}

Vesma::VMDMotionKey MakeBoneKey(std::string_view name, uint32_t frame, Math::vec3 translation,
                                Math::quat rotation) {
    Vesma::VMDMotionKey key;
    key.boneName = NameField<16>(name.substr(0, 15));
    key.frame = frame;
    key.translation = translation;
    key.rotation = rotation;
    SetBoneKeyCurves(key, 20, 20, 107, 107);
    return key;
}

void SetBoneKeyCurves(Vesma::VMDMotionKey& key, const std::array<CurveBytes, kBoneChannelCount>& channels,
                      std::array<uint8_t, 2> physicsSwitch) {
    std::array<uint8_t, 16> table{};
    for (int c = 0; c < kBoneChannelCount; ++c) {
        table[c] = channels[c].x1;
        table[4 + c] = channels[c].y1;
        table[8 + c] = channels[c].x2;
        table[12 + c] = channels[c].y2;
    }
    for (int row = 0; row < 4; ++row) {
        std::array<uint8_t, 16> shifted{};
        for (int i = 0; i + row < 16; ++i) shifted[i] = table[i + row];
        SetBoneKeyRow(key, row, shifted);
    }
    key.interpolation[2] = physicsSwitch[0];
    key.interpolation[3] = physicsSwitch[1];
}

void SetBoneKeyCurves(Vesma::VMDMotionKey& key, uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2,
                      std::array<uint8_t, 2> physicsSwitch) {
    const CurveBytes curve{x1, y1, x2, y2};
    SetBoneKeyCurves(key, {curve, curve, curve, curve}, physicsSwitch);
}

void SetBoneKeyRow(Vesma::VMDMotionKey& key, int row, const std::array<uint8_t, 16>& bytes) {
    if (row < 0 || row >= 4) return;
    std::memcpy(key.interpolation.data() + 16 * row, bytes.data(), bytes.size());
}

Vesma::VMDMorphKey MakeMorphKey(std::string_view name, uint32_t frame, float weight) {
    Vesma::VMDMorphKey key;
    key.morphName = NameField<16>(name.substr(0, 15));
    key.frame = frame;
    key.weight = weight;
    return key;
}

Vesma::VMDCameraKey MakeCameraKey(uint32_t frame, float distance, Math::vec3 interest, Math::vec3 rotation,
                                  uint32_t viewAngle) {
    Vesma::VMDCameraKey key;
    key.frame = frame;
    key.distance = distance;
    key.interest = interest;
    key.rotation = rotation;
    key.viewAngle = viewAngle;
    // Linear curves: each group of four holds x1, x2, y1, y2 = 20, 107, 20, 107.
    for (int i = 0; i < 24; ++i) {
        key.interpolation[i] = (i % 2) == 0 ? 20 : 107;
    }
    return key;
}

Vesma::VMDIKInfo MakeIKInfo(std::string_view name, bool enable) {
    Vesma::VMDIKInfo info;
    info.name = NameField<21>(name.substr(0, 20));
    info.enable = enable ? 1 : 0;
    return info;
}

}  // namespace TestSupport
