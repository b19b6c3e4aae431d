// Builds a model with several IK chains of one shape whose limits, loop counts, step limits, bone
// positions and animated turns all come from the input (NaN, infinities and huge values
// included), runs one frame with the chains solved together in lanes and one frame with each
// chain solved on its own, and traps unless every bone ends with the same bits both ways. A NaN
// only has to meet a NaN: which sign and payload a NaN carries depends on the order of operands,
// which neither form fixes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "model/PMXModel.h"
#include "model/skeleton/PMXNode.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    float Float() {
        uint8_t bytes[4] = {Byte(), Byte(), Byte(), Byte()};
        float f;
        std::memcpy(&f, bytes, 4);
        return f;
    }
    // A float that is mostly tame: small values from one byte, raw bits now and then.
    float Value(float scale) {
        const uint8_t kind = Byte();
        if (kind < 200) return (static_cast<float>(kind) / 100.0f - 1.0f) * scale;
        return Float();
    }
    Math::vec3 Vec3(float scale) { return {Value(scale), Value(scale), Value(scale)}; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

Vesma::PMXBone Bone(int index, Math::vec3 position, int32_t parent) {
    Vesma::PMXBone bone;
    bone.name = u"b" + std::u16string(1, static_cast<char16_t>(u'A' + index % 26)) +
                std::u16string(1, static_cast<char16_t>(u'A' + index / 26));
    bone.position = position;
    bone.parentBoneIndex = parent;
    bone.appendBoneIndex = -1;
    bone.ikTargetBoneIndex = -1;
    return bone;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const int chains = 1 + in.Byte() % 9;
    const int links = 1 + in.Byte() % 4;
    Vesma::PMXFile file;
    file.bones.push_back(Bone(0, {0, 0, 0}, -1));
    // Which links are limited is part of the shape; the limits themselves differ per chain.
    uint8_t limited[4];
    for (uint8_t& l : limited) l = in.Byte() & 1;
    for (int c = 0; c < chains; ++c) {
        const int32_t first = static_cast<int32_t>(file.bones.size());
        for (int k = 0; k <= links; ++k) {
            const int32_t parent = k == 0 ? 0 : static_cast<int32_t>(file.bones.size() - 1);
            file.bones.push_back(Bone(static_cast<int>(file.bones.size()), in.Vec3(10.0f), parent));
        }
        const int32_t target = static_cast<int32_t>(file.bones.size() - 1);
        Vesma::PMXBone ik = Bone(static_cast<int>(file.bones.size()), in.Vec3(10.0f), 0);
        ik.boneFlag = 0x0020;
        ik.ikTargetBoneIndex = target;
        ik.ikIterationCount = in.Byte() % 48;
        ik.ikLimit = in.Value(4.0f);
        for (int k = links - 1; k >= 0; --k) {
            Vesma::PMXIKLink link;
            link.ikBoneIndex = first + k;
            link.enableLimit = limited[k];
            if (link.enableLimit) {
                // Now and then a single open axis, so the plane mode runs.
                const uint8_t axis = in.Byte() % 4;
                link.limitMin = in.Vec3(3.2f);
                link.limitMax = in.Vec3(3.2f);
                if (axis < 3) {
                    for (int a = 0; a < 3; ++a) {
                        if (a != axis) link.limitMin[a] = link.limitMax[a] = 0.0f;
                    }
                }
            }
            ik.ikLinks.push_back(link);
        }
        file.bones.push_back(ik);
    }

    auto lanes = std::make_shared<Vesma::PMXModel>();
    auto single = std::make_shared<Vesma::PMXModel>();
    Vesma::PMXFile copy = file;
    if (!lanes->Load(std::move(file), u"lanes") || !single->Load(std::move(copy), u"single")) return 0;
    single->SetIkLaneSharing(false);
    // More than four chains take one AVX register, where the processor has AVX, or two SSE ones.
    lanes->GetIkLaneSolver().UseAvx(in.Byte() & 1);
    lanes->BeginAnimation();
    single->BeginAnimation();
    const auto& a = lanes->GetNodeManager().GetNodes();
    const auto& b = single->GetNodeManager().GetNodes();
    for (size_t i = 0; i < a.size(); ++i) {
        const Math::vec3 t = in.Vec3(5.0f);
        const Math::quat r(in.Value(1.0f), in.Value(1.0f), in.Value(1.0f), 1.0f);
        a[i]->SetAnimateTranslate(t);
        b[i]->SetAnimateTranslate(t);
        a[i]->SetAnimateRotate(r);
        b[i]->SetAnimateRotate(r);
    }
    lanes->UpdateMorphsAndNodes();
    single->UpdateMorphsAndNodes();
    for (size_t i = 0; i < a.size(); ++i) {
        const Math::mat4& x = a[i]->GetGlobalTransform();
        const Math::mat4& y = b[i]->GetGlobalTransform();
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                const bool bothNaN = std::isnan(x.m[r][c]) && std::isnan(y.m[r][c]);
                if (!bothNaN && std::memcmp(&x.m[r][c], &y.m[r][c], sizeof(float)) != 0) __builtin_trap();
            }
        }
    }
    return 0;
}
