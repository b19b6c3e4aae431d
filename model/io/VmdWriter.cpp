#include "model/io/VmdWriter.h"

#include <string>

#include "core/ShiftJis.h"

namespace Vesma {
namespace {

class ByteSink {
public:
    explicit ByteSink(std::vector<uint8_t>& out) : m_out(out) {}
    void Bytes(const uint8_t* data, size_t size) { m_out.insert(m_out.end(), data, data + size); }
    template <typename T>
    void Value(T value) {
        const auto* p = reinterpret_cast<const uint8_t*>(&value);
        m_out.insert(m_out.end(), p, p + sizeof(T));
    }
    void Vec3(Math::vec3 v) { Value(v.x), Value(v.y), Value(v.z); }
    void Quat(Math::quat q) { Value(q.x), Value(q.y), Value(q.z), Value(q.w); }

private:
    std::vector<uint8_t>& m_out;
};

// Names are written without their last array byte: the record keeps one byte more than the file
// so that a name filling the whole file field still ends in 0.
void Record(ByteSink& out, const VMDMotionKey& key) {
    out.Bytes(key.boneName.data(), key.boneName.size() - 1);
    out.Value(key.frame);
    out.Vec3(key.translation);
    out.Quat(key.rotation);
    out.Bytes(key.interpolation.data(), key.interpolation.size());
}

void Record(ByteSink& out, const VMDMorphKey& key) {
    out.Bytes(key.morphName.data(), key.morphName.size() - 1);
    out.Value(key.frame);
    out.Value(key.weight);
}

void Record(ByteSink& out, const VMDCameraKey& key) {
    out.Value(key.frame);
    out.Value(key.distance);
    out.Vec3(key.interest);
    out.Vec3(key.rotation);
    out.Bytes(key.interpolation.data(), key.interpolation.size());
    out.Value(key.viewAngle);
    out.Value(key.perspective);
}

void Record(ByteSink& out, const VMDLightKey& key) {
    out.Value(key.frame);
    out.Vec3(key.color);
    out.Vec3(key.position);
}

void Record(ByteSink& out, const VMDShadowKey& key) {
    out.Value(key.frame);
    out.Value(key.mode);
    out.Value(key.distance);
}

void Record(ByteSink& out, const VMDIKKey& key) {
    out.Value(key.frame);
    out.Value(key.show);
    out.Value(static_cast<uint32_t>(key.ikInfos.size()));
    for (const VMDIKInfo& info : key.ikInfos) {
        out.Bytes(info.name.data(), info.name.size() - 1);
        out.Value(info.enable);
    }
}

template <typename Key>
void Section(std::vector<uint8_t>& bytes, const std::vector<Key>& keys, uint32_t count) {
    ByteSink out(bytes);
    out.Value(count);
    for (const Key& key : keys) Record(out, key);
}

template <typename Key>
void Section(std::vector<uint8_t>& bytes, const std::vector<Key>& keys) {
    Section(bytes, keys, static_cast<uint32_t>(keys.size()));
}

template <size_t N>
std::array<uint8_t, N> NameField(std::u16string_view name, size_t fileBytes) {
    std::array<uint8_t, N> field{};
    const std::string bytes = EncodeShiftJisName(name);
    size_t used = 0;
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        const size_t width = (b <= 0x7E || (b >= 0xA1 && b <= 0xDF)) ? 1 : 2;
        if (used + width > fileBytes) break;
        for (size_t k = 0; k < width; ++k) field[used + k] = static_cast<uint8_t>(bytes[i + k]);
        used += width;
        i += width;
    }
    return field;
}

}  // namespace

std::vector<uint8_t> WriteVmd(const VMDFile& file) {
    std::vector<uint8_t> bytes;
    bytes.reserve(50 + 4 * 6 + file.boneKeys.size() * 111 + file.morphKeys.size() * 23 +
                  file.cameraKeys.size() * 61);
    ByteSink out(bytes);
    out.Bytes(file.header.data(), file.header.size());
    out.Bytes(file.modelName.data(), file.modelName.size());
    Section(bytes, file.boneKeys);
    Section(bytes, file.morphKeys);
    Section(bytes, file.cameraKeys);
    Section(bytes, file.lightKeys);
    Section(bytes, file.shadowKeys);
    Section(bytes, file.ikKeys);
    return bytes;
}

void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDMotionKey>& keys, uint32_t count) {
    Section(out, keys, count);
}
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDMorphKey>& keys, uint32_t count) {
    Section(out, keys, count);
}
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDCameraKey>& keys, uint32_t count) {
    Section(out, keys, count);
}
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDLightKey>& keys, uint32_t count) {
    Section(out, keys, count);
}
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDShadowKey>& keys, uint32_t count) {
    Section(out, keys, count);
}
void AppendVmdSection(std::vector<uint8_t>& out, const std::vector<VMDIKKey>& keys, uint32_t count) {
    Section(out, keys, count);
}

std::array<uint8_t, 16> VmdBoneName(std::u16string_view name) { return NameField<16>(name, 15); }
std::array<uint8_t, 21> VmdIKName(std::u16string_view name) { return NameField<21>(name, 20); }
std::array<uint8_t, 20> VmdModelName(std::u16string_view name) { return NameField<20>(name, 20); }

std::array<uint8_t, 30> VmdSignature() {
    std::array<uint8_t, 30> field{};
    const std::string_view text = "Vocaloid Motion Data 0002";
    for (size_t i = 0; i < text.size(); ++i) field[i] = static_cast<uint8_t>(text[i]);
    return field;
}

std::array<uint8_t, 64> VmdBoneCurves(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) {
    // Each 16-byte row holds x1, y1, x2 and y2 of the four channels in turn; the rows repeat.
    const uint8_t values[4] = {x1, y1, x2, y2};
    std::array<uint8_t, 64> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = values[(i % 16) / 4];
    return bytes;
}

std::array<uint8_t, 24> VmdCameraCurves(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) {
    // Camera curves keep x1, x2, y1, y2 in each group of four.
    const uint8_t values[4] = {x1, x2, y1, y2};
    std::array<uint8_t, 24> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = values[i % 4];
    return bytes;
}

}  // namespace Vesma
