#include "tests/support/VmdWriter.h"

#include <cstring>

namespace TestSupport {
namespace {

class ByteSink {
public:
    explicit ByteSink(std::vector<uint8_t>& out) : m_out(out) {}
    void Bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        m_out.insert(m_out.end(), p, p + size);
    }
    template <typename T>
    void Value(T value) {
        Bytes(&value, sizeof(T));
    }
    void Vec3(Math::vec3 v) { Value(v.x), Value(v.y), Value(v.z); }
    void Quat(Math::quat q) { Value(q.x), Value(q.y), Value(q.z), Value(q.w); }

private:
    std::vector<uint8_t>& m_out;
};

template <typename List>
uint32_t CountOf(const VmdContent& content, VmdSection section, const List& list) {
    const auto& over = content.countOverride[static_cast<size_t>(section)];
    return over ? *over : static_cast<uint32_t>(list.size());
}

}  // namespace

VmdContent VmdContent::WithSignature(std::string_view modelName) {
    VmdContent content;
    content.header = NameField<30>("Vocaloid Motion Data 0002");
    content.modelName = NameField<20>(modelName);
    return content;
}

std::vector<uint8_t> VmdImage::CutAt(size_t size) const {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size < bytes.size() ? size : bytes.size())};
}

VmdImage WriteVmd(const VmdContent& content) {
    VmdImage image;
    ByteSink out(image.bytes);
    out.Bytes(content.header.data(), content.header.size());
    out.Bytes(content.modelName.data(), content.modelName.size());

    auto begin = [&](VmdSection section) {
        if (static_cast<int>(section) > static_cast<int>(content.lastSection)) {
            return false;
        }
        image.countOffset[static_cast<size_t>(section)] = image.bytes.size();
        return true;
    };
    image.countOffset.fill(0);

    if (begin(VmdSection::Bone)) {
        out.Value(CountOf(content, VmdSection::Bone, content.boneKeys));
        for (const auto& key : content.boneKeys) {
            out.Bytes(key.boneName.data(), 15);
            out.Value(key.frame);
            out.Vec3(key.translation);
            out.Quat(key.rotation);
            out.Bytes(key.interpolation.data(), key.interpolation.size());
        }
    }
    if (begin(VmdSection::Morph)) {
        out.Value(CountOf(content, VmdSection::Morph, content.morphKeys));
        for (const auto& key : content.morphKeys) {
            out.Bytes(key.morphName.data(), 15);
            out.Value(key.frame);
            out.Value(key.weight);
        }
    }
    if (begin(VmdSection::Camera)) {
        out.Value(CountOf(content, VmdSection::Camera, content.cameraKeys));
        for (const auto& key : content.cameraKeys) {
            out.Value(key.frame);
            out.Value(key.distance);
            out.Vec3(key.interest);
            out.Vec3(key.rotation);
            out.Bytes(key.interpolation.data(), key.interpolation.size());
            out.Value(key.viewAngle);
            out.Value(key.perspective);
        }
    }
    if (begin(VmdSection::Light)) {
        out.Value(CountOf(content, VmdSection::Light, content.lightKeys));
        for (const auto& key : content.lightKeys) {
            out.Value(key.frame);
            out.Vec3(key.color);
            out.Vec3(key.position);
        }
    }
    if (begin(VmdSection::Shadow)) {
        out.Value(CountOf(content, VmdSection::Shadow, content.shadowKeys));
        for (const auto& key : content.shadowKeys) {
            out.Value(key.frame);
            out.Value(key.mode);
            out.Value(key.distance);
        }
    }
    if (begin(VmdSection::IK)) {
        out.Value(CountOf(content, VmdSection::IK, content.ikKeys));
        for (const auto& key : content.ikKeys) {
            out.Value(key.frame);
            out.Value(key.show);
            out.Value(static_cast<uint32_t>(key.ikInfos.size()));
            for (const auto& info : key.ikInfos) {
                out.Bytes(info.name.data(), 20);
                out.Value(info.enable);
            }
        }
    }
    for (size_t i = 0; i < kVmdSectionCount; ++i) {
        if (static_cast<int>(i) > static_cast<int>(content.lastSection)) {
            image.countOffset[i] = image.bytes.size();
        }
    }
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
