#include "model/io/VmdReader.h"

#include <bit>
#include <cstring>

#include "core/FileIO.h"
#include "core/MessageLog.h"

static_assert(std::endian::native == std::endian::little, "VMD files are little-endian");

namespace Vesma {
namespace {

// File sizes of the fixed records.
constexpr uint64_t kHeaderSize = 30;
constexpr uint64_t kModelNameSize = 20;
constexpr uint64_t kBoneKeySize = 111;
constexpr uint64_t kMorphKeySize = 23;
constexpr uint64_t kCameraKeySize = 61;
constexpr uint64_t kLightKeySize = 28;
constexpr uint64_t kShadowKeySize = 9;
constexpr uint64_t kIKKeyMinSize = 9;  // frame, show byte, entry count
constexpr uint64_t kIKInfoSize = 21;
constexpr uint64_t kBoneNameSize = 15;
constexpr uint64_t kMorphNameSize = 15;
constexpr uint64_t kIKNameSize = 20;

// Bounded reads over the file buffer: a field is taken only when all its bytes remain; otherwise
// the target and the position are left as they were and the read reports false.
class Cursor {
public:
    explicit Cursor(VMDFile& vmd) : m_vmd(vmd) {}

    uint64_t Remaining() const {
        const uint64_t size = m_vmd.buffer.size();
        return m_vmd.position < size ? size - m_vmd.position : 0;
    }
    bool AtEnd() const { return Remaining() == 0; }

    bool Bytes(void* target, uint64_t count) {
        if (Remaining() < count) {
            return false;
        }
        std::memcpy(target, m_vmd.buffer.data() + m_vmd.position, count);
        m_vmd.position += count;
        return true;
    }
    template <typename T>
    bool Value(T& target) {
        return Bytes(&target, sizeof(T));
    }
    bool Vec3(Math::vec3& v) { return Value(v.x) && Value(v.y) && Value(v.z); }
    bool Quat(Math::quat& q) { return Value(q.x) && Value(q.y) && Value(q.z) && Value(q.w); }

    // Reads a record count and checks that `count` records of at least `recordSize` bytes fit in
    // what is left.
    bool Count(uint32_t& count, uint64_t recordSize) {
        uint32_t value = 0;
        if (!Value(value)) {
            return false;
        }
        if (static_cast<uint64_t>(value) > Remaining() / recordSize) {
            return false;
        }
        count = value;
        return true;
    }

private:
    VMDFile& m_vmd;
};

bool ReadBoneKeys(Cursor& in, std::vector<VMDMotionKey>& keys) {
    uint32_t count = 0;
    if (!in.Count(count, kBoneKeySize)) {
        return false;
    }
    keys.assign(count, VMDMotionKey{});
    for (VMDMotionKey& key : keys) {
        in.Bytes(key.boneName.data(), kBoneNameSize);
        in.Value(key.frame);
        in.Vec3(key.translation);
        in.Quat(key.rotation);
        in.Bytes(key.interpolation.data(), key.interpolation.size());
    }
    return true;
}

bool ReadMorphKeys(Cursor& in, std::vector<VMDMorphKey>& keys) {
    uint32_t count = 0;
    if (!in.Count(count, kMorphKeySize)) {
        return false;
    }
    keys.assign(count, VMDMorphKey{});
    for (VMDMorphKey& key : keys) {
        in.Bytes(key.morphName.data(), kMorphNameSize);
        in.Value(key.frame);
        in.Value(key.weight);
    }
    return true;
}

bool ReadCameraKeys(Cursor& in, std::vector<VMDCameraKey>& keys) {
    uint32_t count = 0;
    if (!in.Count(count, kCameraKeySize)) {
        return false;
    }
    keys.assign(count, VMDCameraKey{});
    for (VMDCameraKey& key : keys) {
        in.Value(key.frame);
        in.Value(key.distance);
        in.Vec3(key.interest);
        in.Vec3(key.rotation);
        in.Bytes(key.interpolation.data(), key.interpolation.size());
        in.Value(key.viewAngle);
        in.Value(key.perspective);
    }
    return true;
}

bool ReadLightKeys(Cursor& in, std::vector<VMDLightKey>& keys) {
    uint32_t count = 0;
    if (!in.Count(count, kLightKeySize)) {
        return false;
    }
    keys.assign(count, VMDLightKey{});
    for (VMDLightKey& key : keys) {
        in.Value(key.frame);
        in.Vec3(key.color);
        in.Vec3(key.position);
    }
    return true;
}

bool ReadShadowKeys(Cursor& in, std::vector<VMDShadowKey>& keys) {
    uint32_t count = 0;
    if (!in.Count(count, kShadowKeySize)) {
        return false;
    }
    keys.assign(count, VMDShadowKey{});
    for (VMDShadowKey& key : keys) {
        in.Value(key.frame);
        in.Value(key.mode);
        in.Value(key.distance);
    }
    return true;
}

bool ReadIKKeys(Cursor& in, std::vector<VMDIKKey>& keys) {
    uint32_t count = 0;
    if (!in.Count(count, kIKKeyMinSize)) {
        return false;
    }
    keys.assign(count, VMDIKKey{});
    for (VMDIKKey& key : keys) {
        in.Value(key.frame);
        in.Value(key.show);
        uint32_t infoCount = 0;
        if (!in.Count(infoCount, kIKInfoSize)) {
            return false;
        }
        key.ikInfos.assign(infoCount, VMDIKInfo{});
        for (VMDIKInfo& info : key.ikInfos) {
            in.Bytes(info.name.data(), kIKNameSize);
            in.Value(info.enable);
        }
    }
    return true;
}

}  // namespace

bool ReadVMDFile(VMDFile& vmd, std::vector<uint8_t> bytes) {
    vmd.Release();
    vmd.buffer = std::move(bytes);
    vmd.position = 0;
    if (vmd.buffer.size() <= 4) {
        return false;
    }

    Cursor in(vmd);
    // Header and model name are each taken only when all their bytes remain, so a very short
    // file reads its bone count from wherever the position stands.
    static_assert(sizeof(vmd.header) == kHeaderSize && sizeof(vmd.modelName) == kModelNameSize);
    in.Bytes(vmd.header.data(), kHeaderSize);
    in.Bytes(vmd.modelName.data(), kModelNameSize);

    if (!ReadBoneKeys(in, vmd.boneKeys)) {
        MessageLog::Instance().Append(u"ReadMotion Fail.");
        return false;
    }

    // The remaining sections are optional: the file may end before any of them.
    struct Section {
        bool (*read)(Cursor&, VMDFile&);
        const char16_t* failure;
    };
    static constexpr Section kOptional[] = {
        {[](Cursor& c, VMDFile& f) { return ReadMorphKeys(c, f.morphKeys); }, u"ReadBlednShape Fail."},
        {[](Cursor& c, VMDFile& f) { return ReadCameraKeys(c, f.cameraKeys); }, u"ReadCamera Fail."},
        {[](Cursor& c, VMDFile& f) { return ReadLightKeys(c, f.lightKeys); }, u"ReadLight Fail."},
        {[](Cursor& c, VMDFile& f) { return ReadShadowKeys(c, f.shadowKeys); }, u"ReadShadow Fail."},
        {[](Cursor& c, VMDFile& f) { return ReadIKKeys(c, f.ikKeys); }, u"ReadIK Fail."},
    };
    for (const Section& section : kOptional) {
        if (in.AtEnd()) {
            break;
        }
        if (!section.read(in, vmd)) {
            MessageLog::Instance().Append(section.failure);
            return false;
        }
    }

    vmd.buffer.clear();
    vmd.buffer.shrink_to_fit();
    return true;
}

bool ReadVMDFile(VMDFile& vmd, const std::filesystem::path& path) {
    return ReadVMDFile(vmd, ReadWholeFile(path));
}

}  // namespace Vesma
