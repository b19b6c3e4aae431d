#include "model/io/PmdReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>

#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/ShiftJis.h"
#include "core/TextConvert.h"
#include "model/io/ByteCursor.h"
#include "model/io/ResizeList.h"

namespace Vesma {
namespace {

static_assert(std::endian::native == std::endian::little, "the PMD reader copies little-endian fields directly");

// Fixed sizes of the file's records and text fields.
constexpr size_t kSignatureBytes = 3;
constexpr size_t kNameBytes = 20;
constexpr size_t kCommentBytes = 256;
constexpr size_t kVertexBytes = 38;
constexpr size_t kMaterialBytes = 70;
constexpr size_t kBoneBytes = 39;
constexpr size_t kIkMinimumBytes = 11;
constexpr size_t kMorphMinimumBytes = 25;
constexpr size_t kMorphEntryBytes = 16;
constexpr size_t kGroupNameBytes = 50;
constexpr size_t kBoneGroupEntryBytes = 3;
constexpr size_t kToonNameBytes = 100;
constexpr size_t kToonCount = 10;
constexpr size_t kRigidBodyBytes = 83;
constexpr size_t kJointBytes = 124;

constexpr uint16_t kNoBone = 0xFFFF;
constexpr uint8_t kNoToon = 0xFF;

// PMD bone kinds.
enum PmdBoneKind : uint8_t {
    kRotate = 0,
    kRotateMove = 1,
    kIk = 2,
    kIkInfluenced = 4,
    kUnderRotation = 5,
    kIkTarget = 6,
    kHidden = 7,
    kTwist = 8,
    kRotationFollow = 9,
};

constexpr float kDegree = 0.017453292f;

// The PMD file's own field: fixed-size Shift_JIS texts.
class PmdCursor : public ByteCursor {
public:
    using ByteCursor::ByteCursor;

    // A fixed Shift_JIS text field, decoded up to its first 0 byte.
    bool ReadText(std::u16string& text, size_t fieldBytes) {
        const std::span<const uint8_t> field = Take(fieldBytes);
        if (Overrun()) return false;
        text = DecodeShiftJisText(field);
        return true;
    }
};

int32_t BoneIndex(uint16_t index) { return index == kNoBone ? -1 : static_cast<int32_t>(index); }

// Index sizes a PMX file would use for `count` elements: 1 and 2 bytes keep all-ones for "none".
uint8_t IndexSizeFor(size_t count) { return count < 0xFF ? 1 : count < 0xFFFF ? 2 : 4; }

// Drops the line breaks some authoring tools leave at the end of group names.
std::u16string TrimLineEnd(std::u16string text) {
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
    return text;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && EndsWithNoCase(a, b);
}

std::u16string SharedToonName(size_t number) {
    std::u16string name = u"toon00.bmp";
    name[4] = static_cast<char16_t>(u'0' + (number + 1) / 10);
    name[5] = static_cast<char16_t>(u'0' + (number + 1) % 10);
    return name;
}

bool IsKnee(const std::u16string& name) { return name == u"左ひざ" || name == u"右ひざ"; }

class PmdSectionReader {
public:
    PmdSectionReader(PMXFile& file, PmdCursor& cursor) : m_file(file), m_in(cursor) {}

    bool ReadHeader() {
        const std::span<const uint8_t> signature = m_in.Take(kSignatureBytes);
        if (m_in.Overrun() || !HasPmdSignature(signature)) return false;
        float version = 0.0f;
        m_in.Read(version);
        m_in.ReadText(m_file.modelName, kNameBytes);
        m_in.ReadText(m_file.comment, kCommentBytes);
        return !m_in.Overrun();
    }

    bool ReadVertices() {
        size_t count = 0;
        if (!m_in.ReadCount<uint32_t>(kVertexBytes, count)) return false;
        ResizeList(m_file.vertices, count);
        const std::span<const uint8_t> block = m_in.Take(count * kVertexBytes);
        if (m_in.Overrun()) return false;
        const uint8_t* p = block.data();
        for (PMXVertex& v : m_file.vertices) {
            std::memcpy(&v.position, p, 12);
            std::memcpy(&v.normal, p + 12, 12);
            std::memcpy(&v.uv, p + 24, 8);
            uint16_t bones[2];
            std::memcpy(bones, p + 32, 4);
            v.weightType = PMXVertexWeight::BDEF2;
            v.boneIndices[0] = BoneIndex(bones[0]);
            v.boneIndices[1] = BoneIndex(bones[1]);
            v.boneWeights[0] = static_cast<float>(std::min<uint8_t>(p[36], 100)) * 0.01f;
            v.edgeScale = p[37] == 0 ? 1.0f : 0.0f;
            p += kVertexBytes;
        }
        return true;
    }

    // The count is a number of 16-bit vertex indices; whole triangles are kept and every declared
    // index is consumed.
    bool ReadFaces() {
        size_t indexCount = 0;
        if (!m_in.ReadCount<uint32_t>(2, indexCount)) return false;
        const std::span<const uint8_t> block = m_in.Take(indexCount * 2);
        ResizeList(m_file.faces, indexCount / 3);
        const uint8_t* p = block.data();
        for (PMXFace& face : m_file.faces) {
            for (uint32_t& vertex : face.vertices) {
                uint16_t index = 0;
                std::memcpy(&index, p, 2);
                vertex = index;
                p += 2;
            }
        }
        return true;
    }

    bool ReadMaterials() {
        size_t count = 0;
        if (!m_in.ReadCount<uint32_t>(kMaterialBytes, count)) return false;
        m_file.materials.resize(count);
        m_toonNumbers.resize(count);
        for (size_t i = 0; i < count; ++i) {
            PMXMaterial& m = m_file.materials[i];
            float diffuse[3];
            m_in.Read(diffuse);
            m_in.Read(m.diffuse.w);
            m.diffuse.x = diffuse[0];
            m.diffuse.y = diffuse[1];
            m.diffuse.z = diffuse[2];
            m_in.Read(m.specularPower);
            m_in.Read(m.specular);
            m_in.Read(m.ambient);
            m_in.Read(m_toonNumbers[i]);
            uint8_t edge = 0;
            m_in.Read(edge);
            uint32_t faceVertices = 0;
            m_in.Read(faceVertices);
            m.numFaceVertices = static_cast<int32_t>(std::min<uint32_t>(faceVertices, INT32_MAX));
            const std::span<const uint8_t> textureField = m_in.Take(kNameBytes);
            if (m_in.Overrun()) return false;

            m.drawMode = static_cast<uint8_t>(PMXDrawModeFlags::GroundShadow) |
                         static_cast<uint8_t>(PMXDrawModeFlags::CastSelfShadow) |
                         static_cast<uint8_t>(PMXDrawModeFlags::ReceiveSelfShadow);
            if (m.diffuse.w < 1.0f) m.drawMode |= static_cast<uint8_t>(PMXDrawModeFlags::BothFace);
            if (edge != 0) m.drawMode |= static_cast<uint8_t>(PMXDrawModeFlags::DrawEdge);
            m.edgeColor = {0.0f, 0.0f, 0.0f, 1.0f};
            m.edgeSize = 1.0f;
            SplitTextureNames(DecodeShiftJisText(textureField), m);
            m.name = u"材質" + Utf16Number(i + 1);
            m.englishName = u"Material" + Utf16Number(i + 1);
        }
        return true;
    }

    bool ReadBones() {
        size_t count = 0;
        if (!m_in.ReadCount<uint16_t>(kBoneBytes, count)) return false;
        m_file.bones.resize(count);
        m_boneKinds.resize(count);
        std::vector<std::array<uint16_t, 2>> links(count);  // tail, IK parent
        for (size_t i = 0; i < count; ++i) {
            PMXBone& b = m_file.bones[i];
            m_in.ReadText(b.name, kNameBytes);
            uint16_t parent = kNoBone;
            m_in.Read(parent);
            m_in.Read(links[i][0]);
            m_in.Read(m_boneKinds[i]);
            m_in.Read(links[i][1]);
            m_in.Read(b.position);
            if (m_in.Overrun()) return false;
            b.parentBoneIndex = BoneIndex(parent);
        }
        for (size_t i = 0; i < count; ++i) SetBoneKind(i, links[i][0], links[i][1]);
        return true;
    }

    bool ReadIkChains() {
        size_t count = 0;
        if (!m_in.ReadCount<uint16_t>(kIkMinimumBytes, count)) return false;
        for (size_t i = 0; i < count; ++i) {
            uint16_t ikBone = 0, target = 0, iterations = 0;
            uint8_t chainLength = 0;
            float controlWeight = 0.0f;
            m_in.Read(ikBone);
            m_in.Read(target);
            m_in.Read(chainLength);
            m_in.Read(iterations);
            m_in.Read(controlWeight);
            const std::span<const uint8_t> chain = m_in.Take(size_t{chainLength} * 2);
            if (m_in.Overrun()) return false;
            // A chain on a bone that is not there, or on a bone that already has one, is dropped.
            if (ikBone >= m_file.bones.size() || HasFlag(m_file.bones[ikBone].boneFlag, PMXBoneFlags::IK)) continue;
            PMXBone& bone = m_file.bones[ikBone];
            bone.boneFlag |= static_cast<uint16_t>(PMXBoneFlags::IK);
            bone.ikTargetBoneIndex = BoneIndex(target);
            bone.ikIterationCount = iterations;
            bone.ikLimit = controlWeight * 4.0f;
            bone.ikLinks.resize(chainLength);
            for (size_t k = 0; k < chainLength; ++k) {
                uint16_t index = 0;
                std::memcpy(&index, chain.data() + 2 * k, 2);
                PMXIKLink& link = bone.ikLinks[k];
                link.ikBoneIndex = BoneIndex(index);
                if (index < m_file.bones.size() && IsKnee(m_file.bones[index].name)) {
                    link.enableLimit = 1;
                    link.limitMin = {-180.0f * kDegree, 0.0f, 0.0f};
                    link.limitMax = {-0.5f * kDegree, 0.0f, 0.0f};
                }
            }
        }
        return true;
    }

    bool ReadMorphs() {
        size_t count = 0;
        if (!m_in.ReadCount<uint16_t>(kMorphMinimumBytes, count)) return false;
        m_morphIndexOfSkin.assign(count, -1);
        std::vector<uint32_t> baseVertices;
        bool haveBase = false;
        for (size_t s = 0; s < count; ++s) {
            std::u16string name;
            m_in.ReadText(name, kNameBytes);
            size_t entryCount = 0;
            if (m_in.Overrun() || !m_in.ReadCount<uint32_t>(kMorphEntryBytes, entryCount)) return false;
            uint8_t kind = 0;
            m_in.Read(kind);
            const std::span<const uint8_t> entries = m_in.Take(entryCount * kMorphEntryBytes);
            if (m_in.Overrun()) return false;
            if (kind == 0 && !haveBase) {
                // The base morph: the vertices every other morph moves, by position in this list.
                haveBase = true;
                baseVertices.resize(entryCount);
                for (size_t e = 0; e < entryCount; ++e) std::memcpy(&baseVertices[e], entries.data() + e * kMorphEntryBytes, 4);
                continue;
            }
            m_morphIndexOfSkin[s] = static_cast<int32_t>(m_file.morphs.size());
            PMXMorph& morph = m_file.morphs.emplace_back();
            morph.name = std::move(name);
            morph.morphType = PMXMorphType::Position;
            morph.controlPanel = std::clamp<uint8_t>(kind, 1, 4);
            morph.positionMorph.reserve(entryCount);
            for (size_t e = 0; e < entryCount; ++e) {
                const uint8_t* p = entries.data() + e * kMorphEntryBytes;
                uint32_t slot = 0;
                std::memcpy(&slot, p, 4);
                // An entry outside the base list names no vertex.
                if (slot >= baseVertices.size()) continue;
                PMXPositionMorph& offset = morph.positionMorph.emplace_back();
                offset.vertexIndex = static_cast<int32_t>(std::min<uint32_t>(baseVertices[slot], INT32_MAX));
                std::memcpy(&offset.position, p + 4, 12);
            }
        }
        return true;
    }

    bool ReadDisplayLists() {
        PMXDisplayFrame root;
        root.name = u"Root";
        root.englishName = u"Root";
        root.flag = 1;
        if (!m_file.bones.empty()) root.targets.push_back({PMXDisplayFrameTargetType::BoneIndex, 0});
        PMXDisplayFrame expressions;
        expressions.name = u"表情";
        expressions.englishName = u"Exp";
        expressions.flag = 1;

        uint8_t morphCount = 0;
        if (!m_in.Read(morphCount)) return false;
        const std::span<const uint8_t> morphList = m_in.Take(size_t{morphCount} * 2);
        if (m_in.Overrun()) return false;
        for (size_t i = 0; i < morphCount; ++i) {
            uint16_t skin = 0;
            std::memcpy(&skin, morphList.data() + 2 * i, 2);
            if (skin < m_morphIndexOfSkin.size() && m_morphIndexOfSkin[skin] >= 0)
                expressions.targets.push_back({PMXDisplayFrameTargetType::MorphIndex, m_morphIndexOfSkin[skin]});
        }

        uint8_t groupCount = 0;
        if (!m_in.Read(groupCount)) return false;
        std::vector<PMXDisplayFrame> groups(groupCount);
        for (PMXDisplayFrame& group : groups) {
            if (!m_in.ReadText(group.name, kGroupNameBytes)) return false;
            group.name = TrimLineEnd(std::move(group.name));
        }
        size_t entryCount = 0;
        if (!m_in.ReadCount<uint32_t>(kBoneGroupEntryBytes, entryCount)) return false;
        const std::span<const uint8_t> entries = m_in.Take(entryCount * kBoneGroupEntryBytes);
        for (size_t i = 0; i < entryCount; ++i) {
            const uint8_t* p = entries.data() + i * kBoneGroupEntryBytes;
            uint16_t bone = 0;
            std::memcpy(&bone, p, 2);
            const uint8_t group = p[2];
            // Groups are numbered from 1.
            if (group == 0 || group > groups.size()) continue;
            groups[group - 1].targets.push_back({PMXDisplayFrameTargetType::BoneIndex, BoneIndex(bone)});
        }
        m_file.displayFrames.reserve(2 + groups.size());
        m_file.displayFrames.push_back(std::move(root));
        m_file.displayFrames.push_back(std::move(expressions));
        for (PMXDisplayFrame& group : groups) m_file.displayFrames.push_back(std::move(group));
        return true;
    }

    // English names of the model, bones, morphs (all but the base morph, in file order) and bone
    // groups; taken over only when the whole section reads.
    bool ReadEnglishNames() {
        uint8_t present = 0;
        if (!m_in.Read(present)) return false;
        if (present == 0) return true;
        std::u16string modelName, comment;
        m_in.ReadText(modelName, kNameBytes);
        m_in.ReadText(comment, kCommentBytes);
        std::vector<std::u16string> bones(m_file.bones.size());
        for (std::u16string& name : bones) m_in.ReadText(name, kNameBytes);
        const size_t skinCount = m_morphIndexOfSkin.size();
        std::vector<std::u16string> morphs(skinCount == 0 ? 0 : skinCount - 1);
        for (std::u16string& name : morphs) m_in.ReadText(name, kNameBytes);
        const size_t groupCount = m_file.displayFrames.size() - 2;
        std::vector<std::u16string> groups(groupCount);
        for (std::u16string& name : groups) m_in.ReadText(name, kGroupNameBytes);
        if (m_in.Overrun()) return false;

        m_file.englishModelName = std::move(modelName);
        m_file.englishComment = std::move(comment);
        for (size_t i = 0; i < bones.size(); ++i) m_file.bones[i].englishName = std::move(bones[i]);
        for (size_t i = 0; i < morphs.size() && i < m_file.morphs.size(); ++i)
            m_file.morphs[i].englishName = std::move(morphs[i]);
        for (size_t i = 0; i < groups.size(); ++i)
            m_file.displayFrames[2 + i].englishName = TrimLineEnd(std::move(groups[i]));
        return true;
    }

    bool ReadToonList() {
        std::array<std::u16string, kToonCount> names;
        for (std::u16string& name : names) m_in.ReadText(name, kToonNameBytes);
        if (m_in.Overrun()) return false;
        m_toonNames = std::move(names);
        return true;
    }

    // Bodies and joints together: joints name bodies, so neither is kept without the other.
    bool ReadPhysics() {
        size_t bodyCount = 0;
        if (!m_in.ReadCount<uint32_t>(kRigidBodyBytes, bodyCount)) return false;
        std::vector<PMXRigidBody> bodies(bodyCount);
        for (PMXRigidBody& body : bodies) {
            m_in.ReadText(body.name, kNameBytes);
            uint16_t bone = kNoBone;
            m_in.Read(bone);
            m_in.Read(body.group);
            m_in.Read(body.collisionGroup);
            uint8_t shape = 0;
            m_in.Read(shape);
            body.shape = static_cast<PMXRigidBodyShape>(shape);
            m_in.Read(body.shapeSize);
            m_in.Read(body.translate);
            m_in.Read(body.rotate);
            m_in.Read(body.mass);
            m_in.Read(body.translateDimmer);
            m_in.Read(body.rotateDimmer);
            m_in.Read(body.repulsion);
            m_in.Read(body.friction);
            uint8_t op = 0;
            m_in.Read(op);
            body.op = static_cast<PMXRigidBodyOperation>(op);
            if (m_in.Overrun()) return false;
            // The file places a body relative to its bone (bone 0 for a body without one).
            body.boneIndex = BoneIndex(bone);
            const size_t placedBy = bone == kNoBone ? 0 : bone;
            if (placedBy < m_file.bones.size()) body.translate = body.translate + m_file.bones[placedBy].position;
        }
        size_t jointCount = 0;
        if (m_in.AtEnd()) {
            m_file.rigidBodies = std::move(bodies);
            return true;
        }
        if (!m_in.ReadCount<uint32_t>(kJointBytes, jointCount)) return false;
        std::vector<PMXJoint> joints(jointCount);
        for (PMXJoint& joint : joints) {
            m_in.ReadText(joint.name, kNameBytes);
            m_in.Read(joint.rigidbodyAIndex);
            m_in.Read(joint.rigidbodyBIndex);
            m_in.Read(joint.translate);
            m_in.Read(joint.rotate);
            m_in.Read(joint.translateLowerLimit);
            m_in.Read(joint.translateUpperLimit);
            m_in.Read(joint.rotateLowerLimit);
            m_in.Read(joint.rotateUpperLimit);
            m_in.Read(joint.springTranslateFactor);
            m_in.Read(joint.springRotateFactor);
            if (m_in.Overrun()) return false;
        }
        m_file.rigidBodies = std::move(bodies);
        m_file.joints = std::move(joints);
        return true;
    }

    // Toon numbers become shared toon images, or the model's own file where its toon list names
    // one in place of the shared image; then the header's index sizes are fitted to the lists.
    void Finish() {
        for (size_t i = 0; i < m_file.materials.size(); ++i) {
            PMXMaterial& m = m_file.materials[i];
            const uint8_t number = m_toonNumbers[i];
            if (number == kNoToon || number >= kToonCount) {
                m.toonMode = PMXToonMode::Separate;
                m.toonTextureIndex = -1;
                continue;
            }
            const std::u16string& listed = m_toonNames[number];
            if (listed.empty() || EqualNoCase(listed, SharedToonName(number))) {
                m.toonMode = PMXToonMode::Common;
                m.toonTextureIndex = number;
            } else {
                m.toonMode = PMXToonMode::Separate;
                m.toonTextureIndex = TextureIndex(listed);
            }
        }
        PMXHeader& h = m_file.header;
        h.magic = {'P', 'M', 'X', ' '};
        h.version = 2.0f;
        h.dataSize = 8;
        h.encoding = PMXEncoding::UTF16;
        h.additionalUVCount = 0;
        // Faces hold 16-bit indices: never fewer bytes than that.
        h.vertexIndexSize = std::max<uint8_t>(IndexSizeFor(m_file.vertices.size()), 2);
        h.textureIndexSize = IndexSizeFor(m_file.textures.size());
        h.materialIndexSize = IndexSizeFor(m_file.materials.size());
        h.boneIndexSize = std::max<uint8_t>(IndexSizeFor(m_file.bones.size()), 2);
        h.morphIndexSize = IndexSizeFor(m_file.morphs.size());
        h.rigidBodyIndexSize = IndexSizeFor(m_file.rigidBodies.size());
    }

private:
    static std::u16string Utf16Number(size_t value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
    }

    int32_t TextureIndex(const std::u16string& path) {
        const auto [it, added] = m_textureIndex.try_emplace(path, static_cast<int32_t>(m_file.textures.size()));
        if (added) m_file.textures.push_back(path);
        return it->second;
    }

    // "texture.bmp*sphere.sph": the part before '*' is the texture, the part after it the sphere
    // (added for ".spa", multiplied otherwise). A name without '*' is a sphere when it ends in
    // ".sph" or ".spa", else the texture.
    void SplitTextureNames(const std::u16string& field, PMXMaterial& m) {
        std::u16string texture = field;
        std::u16string sphere;
        if (const size_t star = field.find(u'*'); star != std::u16string::npos) {
            texture = field.substr(0, star);
            sphere = field.substr(star + 1);
        } else if (EndsWithNoCase(field, u".sph") || EndsWithNoCase(field, u".spa")) {
            texture.clear();
            sphere = field;
        }
        m.textureIndex = texture.empty() ? -1 : TextureIndex(texture);
        m.sphereTextureIndex = sphere.empty() ? -1 : TextureIndex(sphere);
        m.sphereMode = sphere.empty() ? PMXSphereMode::None
                                      : EndsWithNoCase(sphere, u".spa") ? PMXSphereMode::Add : PMXSphereMode::Multiply;
    }

    void SetBoneKind(size_t i, uint16_t tail, uint16_t ikParent) {
        PMXBone& b = m_file.bones[i];
        const uint8_t kind = m_boneKinds[i];
        const size_t count = m_file.bones.size();
        uint16_t flags = static_cast<uint16_t>(PMXBoneFlags::TargetShowMode) | static_cast<uint16_t>(PMXBoneFlags::AllowRotate);
        if (kind == kRotateMove || kind == kIk) flags |= static_cast<uint16_t>(PMXBoneFlags::AllowTranslate);
        if (kind != kIkTarget && kind != kHidden) flags |= static_cast<uint16_t>(PMXBoneFlags::Visible);
        if (kind != kIkTarget && kind != kHidden && kind != kUnderRotation && kind != kRotationFollow)
            flags |= static_cast<uint16_t>(PMXBoneFlags::AllowControl);
        // A tail of 0 is the usual "none" of the format: bone 0 is the root, nobody's tail.
        b.linkBoneIndex = tail == 0 || tail >= count ? -1 : tail;

        if (kind == kUnderRotation || kind == kRotationFollow) {
            // Both follow another bone's rotation once IK has placed it.
            const uint16_t source = kind == kUnderRotation ? ikParent : tail;
            if (source < count && source != i) {
                flags |= static_cast<uint16_t>(PMXBoneFlags::AppendRotate);
                b.appendBoneIndex = source;
                b.appendWeight = kind == kUnderRotation ? 1.0f : static_cast<float>(ikParent) * 0.01f;
                b.deformDepth = 1;
            }
        }
        if (kind == kTwist && tail != 0 && tail < count) {
            const Math::vec3 axis = m_file.bones[tail].position - b.position;
            const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
            if (length > 0.0f) {
                flags |= static_cast<uint16_t>(PMXBoneFlags::FixedAxis);
                b.fixedAxis = axis * (1.0f / length);
            }
        }
        b.boneFlag = flags;
    }

    PMXFile& m_file;
    PmdCursor& m_in;
    std::vector<uint8_t> m_toonNumbers;
    std::vector<uint8_t> m_boneKinds;
    std::vector<int32_t> m_morphIndexOfSkin;  // PMD morph (skin) index -> record morph index, -1 for the base
    std::array<std::u16string, kToonCount> m_toonNames;
    std::unordered_map<std::u16string, int32_t> m_textureIndex;
};

bool Fail(const char16_t* message) {
    MessageLog::Instance().Append(message);
    return false;
}

bool ReadSections(PMXFile& file, PmdCursor& in) {
    PmdSectionReader reader(file, in);
    if (!reader.ReadHeader()) return Fail(u"PMD ReadHeader Fail.");
    if (!reader.ReadVertices()) return Fail(u"PMD ReadVertex Fail.");
    if (!reader.ReadFaces()) return Fail(u"PMD ReadFace Fail.");
    if (!reader.ReadMaterials()) return Fail(u"PMD ReadMaterial Fail.");
    if (!reader.ReadBones()) return Fail(u"PMD ReadBone Fail.");
    if (!reader.ReadIkChains()) return Fail(u"PMD ReadIK Fail.");
    if (!reader.ReadMorphs()) return Fail(u"PMD ReadMorph Fail.");
    if (!reader.ReadDisplayLists()) return Fail(u"PMD ReadDisplayFrame Fail.");
    // Optional sections: a file may end before any of them. A broken one is left out with
    // everything after it; the model read so far stands.
    struct Optional {
        bool (PmdSectionReader::*read)();
        const char16_t* failure;
    };
    static constexpr Optional kOptional[] = {
        {&PmdSectionReader::ReadEnglishNames, u"PMD ReadEnglishName Fail: the English names and the sections after them are left out."},
        {&PmdSectionReader::ReadToonList, u"PMD ReadToonTexture Fail: the toon list and the sections after it are left out."},
        {&PmdSectionReader::ReadPhysics, u"PMD ReadRigidbody Fail: the rigid bodies and joints are left out."},
    };
    for (const Optional& section : kOptional) {
        if (in.AtEnd()) break;
        if (!(reader.*section.read)()) {
            MessageLog::Instance().Append(section.failure);
            break;
        }
    }
    reader.Finish();
    return true;
}

}  // namespace

bool HasPmdSignature(std::span<const uint8_t> bytes) {
    return bytes.size() >= kSignatureBytes && bytes[0] == 'P' && bytes[1] == 'm' && bytes[2] == 'd';
}

bool ReadPMDFile(PMXFile& file, std::span<const uint8_t> bytes) {
    // Nothing of an earlier read survives.
    file.ClearForRead();
    PmdCursor cursor(bytes);
    const bool ok = ReadSections(file, cursor);
    file.position = cursor.Position();
    return ok;
}

bool ReadPMDFile(PMXFile& file, std::vector<uint8_t>&& bytes) {
    return file.ReadOwnedBytes(std::move(bytes), [](PMXFile& f, std::span<const uint8_t> b) { return ReadPMDFile(f, b); });
}

bool ReadPMDFile(PMXFile& file, const std::filesystem::path& path) {
    return ReadPMDFile(file, ReadWholeFile(path));
}

}  // namespace Vesma
