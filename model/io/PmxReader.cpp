#include "model/io/PmxReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <type_traits>

#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"
#include "model/io/ByteCursor.h"
#include "model/io/ResizeList.h"

namespace Vesma {
namespace {

static_assert(std::endian::native == std::endian::little, "the PMX reader copies little-endian fields directly");
static_assert(sizeof(Math::vec2) == 8 && sizeof(Math::vec3) == 12 && sizeof(Math::vec4) == 16 && sizeof(PMXFace) == 12 &&
              sizeof(Math::quat) == 16);

// The PMX file's fields beyond the plain ones: index fields of the header's sizes and
// length-prefixed texts.
class PmxCursor : public ByteCursor {
public:
    using ByteCursor::ByteCursor;

    // Index fields: 1 and 2 bytes are unsigned with the all-ones value meaning -1 (none); 4 bytes
    // are signed. Any other size reads nothing and leaves the field as it was.
    bool ReadIndex(int32_t& value, uint8_t size) {
        switch (size) {
        case 1: {
            uint8_t v = 0;
            if (!Read(v)) return false;
            value = v == 0xFF ? -1 : static_cast<int32_t>(v);
            return true;
        }
        case 2: {
            uint16_t v = 0;
            if (!Read(v)) return false;
            value = v == 0xFFFF ? -1 : static_cast<int32_t>(v);
            return true;
        }
        case 4:
            return Read(value);
        default:
            return true;
        }
    }

    // A text is a signed 32-bit byte length and that many bytes. Length 0 leaves the target as it
    // was (so a texture keeps "empty.png"). UTF-16 text ends at the first zero unit, UTF-8 text at
    // the first zero byte; a trailing odd byte of UTF-16 text becomes the low byte of a last unit.
    bool ReadText(std::u16string& text, PMXEncoding encoding) {
        int32_t length = 0;
        if (!Read(length)) return false;
        if (length == 0) return true;
        if (length < 0) {
            MarkOverrun();
            return false;
        }
        const std::span<const uint8_t> field = Take(static_cast<size_t>(length));
        if (Overrun()) return false;
        const uint8_t* bytes = field.data();
        const size_t byteCount = field.size();
        if (encoding == PMXEncoding::UTF8) {
            const void* zero = std::memchr(bytes, 0, byteCount);
            const size_t used = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes) : byteCount;
            text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes), used));
            return true;
        }
        const size_t unitCount = (byteCount + 1) / 2;
        size_t used = 0;
        while (used < unitCount) {
            const uint8_t low = bytes[used * 2];
            const uint8_t high = used * 2 + 1 < byteCount ? bytes[used * 2 + 1] : 0;
            if (low == 0 && high == 0) break;
            ++used;
        }
        text.resize(used);
        if (used == 0) return true;
        const size_t fullUnits = std::min(used, byteCount / 2);
        std::memcpy(text.data(), bytes, fullUnits * 2);
        if (fullUnits < used) text[used - 1] = static_cast<char16_t>(bytes[byteCount - 1]);
        return true;
    }
};

// The byte size of an index field, as the bounds on element counts see it (an unknown size
// reads nothing).
size_t IndexBytes(uint8_t size) { return size == 1 || size == 2 || size == 4 ? size : 0; }

// Element counts are signed 32-bit; see ByteCursor::ReadCount.
bool ReadCount(PmxCursor& cursor, size_t minimumElementBytes, size_t& count) {
    return cursor.ReadCount<int32_t>(minimumElementBytes, count);
}

class PmxSectionReader {
public:
    PmxSectionReader(PMXFile& file, PmxCursor& cursor) : m_file(file), m_cursor(cursor), m_header(file.header) {}

    bool ReadVertices() {
        const size_t additionalUVs = m_header.additionalUVCount;
        const size_t boneBytes = IndexBytes(m_header.boneIndexSize);
        size_t count = 0;
        if (!ReadCount(m_cursor, 12 + 12 + 8 + 16 * additionalUVs + 1 + boneBytes + 4, count)) return false;
        ResizeList(m_file.vertices, count);
        const uint8_t boneSize = m_header.boneIndexSize;
        for (PMXVertex& v : m_file.vertices) {
            m_cursor.Read(v.position);
            m_cursor.Read(v.normal);
            m_cursor.Read(v.uv);
            for (size_t i = 0; i < additionalUVs; ++i) m_cursor.Read(v.additionalUV[i]);
            uint8_t weightType = 0;
            m_cursor.Read(weightType);
            if (weightType > static_cast<uint8_t>(PMXVertexWeight::QDEF)) return false;
            v.weightType = static_cast<PMXVertexWeight>(weightType);
            switch (v.weightType) {
            case PMXVertexWeight::BDEF1:
                m_cursor.ReadIndex(v.boneIndices[0], boneSize);
                break;
            case PMXVertexWeight::BDEF2:
                m_cursor.ReadIndex(v.boneIndices[0], boneSize);
                m_cursor.ReadIndex(v.boneIndices[1], boneSize);
                m_cursor.Read(v.boneWeights[0]);
                break;
            case PMXVertexWeight::BDEF4:
            case PMXVertexWeight::QDEF:
                for (int i = 0; i < 4; ++i) m_cursor.ReadIndex(v.boneIndices[i], boneSize);
                for (int i = 0; i < 4; ++i) m_cursor.Read(v.boneWeights[i]);
                break;
            case PMXVertexWeight::SDEF:
                m_cursor.ReadIndex(v.boneIndices[0], boneSize);
                m_cursor.ReadIndex(v.boneIndices[1], boneSize);
                m_cursor.Read(v.boneWeights[0]);
                m_cursor.Read(v.sdefC);
                m_cursor.Read(v.sdefR0);
                m_cursor.Read(v.sdefR1);
                break;
            }
            m_cursor.Read(v.edgeScale);
            if (m_cursor.Overrun()) return false;
        }
        return true;
    }

    // The count is a number of vertex indices; whole triangles are kept. Every declared index is
    // consumed, so a count that is not a multiple of 3 does not shift the sections after it.
    bool ReadFaces() {
        const uint8_t size = m_header.vertexIndexSize;
        if (size != 1 && size != 2 && size != 4) return false;
        size_t indexCount = 0;
        if (!ReadCount(m_cursor, size, indexCount)) return false;
        const size_t faceCount = indexCount / 3;
        ResizeList(m_file.faces, faceCount);
        const uint8_t* block = m_cursor.Current();
        if (!m_cursor.Skip(indexCount * size)) return false;
        switch (size) {
        case 4:
            // An empty list may have no storage at all, and memcpy must not see a null pointer.
            if (faceCount != 0) std::memcpy(m_file.faces.data(), block, faceCount * 3 * 4);
            break;
        case 2:
            for (size_t f = 0; f < faceCount; ++f) {
                for (size_t k = 0; k < 3; ++k) {
                    uint16_t index = 0;
                    std::memcpy(&index, block + (f * 3 + k) * 2, 2);
                    m_file.faces[f].vertices[k] = index;
                }
            }
            break;
        case 1:
            for (size_t f = 0; f < faceCount; ++f) {
                for (size_t k = 0; k < 3; ++k) m_file.faces[f].vertices[k] = block[f * 3 + k];
            }
            break;
        }
        return true;
    }

    bool ReadTextures() {
        size_t count = 0;
        if (!ReadCount(m_cursor, 4, count)) return false;
        m_file.textures.assign(count, u"empty.png");
        for (std::u16string& texture : m_file.textures) {
            if (!m_cursor.ReadText(texture, m_header.encoding)) return false;
        }
        return true;
    }

    bool ReadMaterials() {
        const uint8_t textureSize = m_header.textureIndexSize;
        const size_t textureBytes = IndexBytes(textureSize);
        size_t count = 0;
        const size_t minimum = 4 + 4 + 16 + 12 + 4 + 12 + 1 + 16 + 4 + 2 * textureBytes + 1 + 1 +
                               std::min<size_t>(textureBytes, 1) + 4 + 4;
        if (!ReadCount(m_cursor, minimum, count)) return false;
        ResizeList(m_file.materials, count);
        for (PMXMaterial& m : m_file.materials) {
            ReadText(m.name);
            ReadText(m.englishName);
            m_cursor.Read(m.diffuse);
            m_cursor.Read(m.specular);
            m_cursor.Read(m.specularPower);
            m_cursor.Read(m.ambient);
            m_cursor.Read(m.drawMode);
            m_cursor.Read(m.edgeColor);
            m_cursor.Read(m.edgeSize);
            m_cursor.ReadIndex(m.textureIndex, textureSize);
            m_cursor.ReadIndex(m.sphereTextureIndex, textureSize);
            uint8_t sphereMode = 0;
            m_cursor.Read(sphereMode);
            m.sphereMode = static_cast<PMXSphereMode>(sphereMode);
            uint8_t toonMode = 0;
            m_cursor.Read(toonMode);
            if (toonMode > static_cast<uint8_t>(PMXToonMode::Common)) return false;
            m.toonMode = static_cast<PMXToonMode>(toonMode);
            if (m.toonMode == PMXToonMode::Separate) {
                m_cursor.ReadIndex(m.toonTextureIndex, textureSize);
            } else {
                uint8_t sharedToon = 0;
                m_cursor.Read(sharedToon);
                m.toonTextureIndex = sharedToon;
            }
            ReadText(m.memo);
            m_cursor.Read(m.numFaceVertices);
            if (m_cursor.Overrun()) return false;
        }
        return true;
    }

    bool ReadBones() {
        const uint8_t boneSize = m_header.boneIndexSize;
        const size_t boneBytes = IndexBytes(boneSize);
        size_t count = 0;
        if (!ReadCount(m_cursor, 4 + 4 + 12 + boneBytes + 4 + 2 + std::min<size_t>(boneBytes, 12), count)) return false;
        ResizeList(m_file.bones, count);
        for (PMXBone& b : m_file.bones) {
            ReadText(b.name);
            ReadText(b.englishName);
            m_cursor.Read(b.position);
            m_cursor.ReadIndex(b.parentBoneIndex, boneSize);
            m_cursor.Read(b.deformDepth);
            m_cursor.Read(b.boneFlag);
            const uint16_t flags = b.boneFlag;
            if (HasFlag(flags, PMXBoneFlags::TargetShowMode)) {
                m_cursor.ReadIndex(b.linkBoneIndex, boneSize);
            } else {
                m_cursor.Read(b.positionOffset);
            }
            if (HasFlag(flags, PMXBoneFlags::AppendRotate) || HasFlag(flags, PMXBoneFlags::AppendTranslate)) {
                m_cursor.ReadIndex(b.appendBoneIndex, boneSize);
                m_cursor.Read(b.appendWeight);
            }
            if (HasFlag(flags, PMXBoneFlags::FixedAxis)) m_cursor.Read(b.fixedAxis);
            if (HasFlag(flags, PMXBoneFlags::LocalAxis)) {
                m_cursor.Read(b.localXAxis);
                m_cursor.Read(b.localZAxis);
            }
            if (HasFlag(flags, PMXBoneFlags::DeformOuterParent)) m_cursor.Read(b.keyValue);
            if (HasFlag(flags, PMXBoneFlags::IK)) {
                m_cursor.ReadIndex(b.ikTargetBoneIndex, boneSize);
                m_cursor.Read(b.ikIterationCount);
                m_cursor.Read(b.ikLimit);
                size_t linkCount = 0;
                if (m_cursor.Overrun() || !ReadCount(m_cursor, boneBytes + 1, linkCount)) return false;
                b.ikLinks.resize(linkCount);
                for (PMXIKLink& link : b.ikLinks) {
                    m_cursor.ReadIndex(link.ikBoneIndex, boneSize);
                    m_cursor.Read(link.enableLimit);
                    if (link.enableLimit != 0) {
                        m_cursor.Read(link.limitMin);
                        m_cursor.Read(link.limitMax);
                    }
                    if (m_cursor.Overrun()) return false;
                }
            }
            if (m_cursor.Overrun()) return false;
        }
        return true;
    }

    bool ReadMorphs() {
        size_t count = 0;
        if (!ReadCount(m_cursor, 4 + 4 + 1 + 1 + 4, count)) return false;
        ResizeList(m_file.morphs, count);
        for (PMXMorph& morph : m_file.morphs) {
            ReadText(morph.name);
            ReadText(morph.englishName);
            m_cursor.Read(morph.controlPanel);
            uint8_t type = 0;
            m_cursor.Read(type);
            if (type > static_cast<uint8_t>(PMXMorphType::Impulse)) return false;
            morph.morphType = static_cast<PMXMorphType>(type);
            if (m_cursor.Overrun() || !ReadMorphOffsets(morph)) return false;
        }
        return true;
    }

    bool ReadDisplayFrames() {
        const size_t boneBytes = IndexBytes(m_header.boneIndexSize);
        const size_t morphBytes = IndexBytes(m_header.morphIndexSize);
        size_t count = 0;
        if (!ReadCount(m_cursor, 4 + 4 + 1 + 4, count)) return false;
        ResizeList(m_file.displayFrames, count);
        for (PMXDisplayFrame& frame : m_file.displayFrames) {
            ReadText(frame.name);
            ReadText(frame.englishName);
            m_cursor.Read(frame.flag);
            size_t targetCount = 0;
            if (m_cursor.Overrun() || !ReadCount(m_cursor, 1 + std::min(boneBytes, morphBytes), targetCount)) return false;
            frame.targets.resize(targetCount);
            for (PMXDisplayFrameTarget& target : frame.targets) {
                uint8_t type = 0;
                m_cursor.Read(type);
                if (type > static_cast<uint8_t>(PMXDisplayFrameTargetType::MorphIndex)) return false;
                target.type = static_cast<PMXDisplayFrameTargetType>(type);
                m_cursor.ReadIndex(target.index, target.type == PMXDisplayFrameTargetType::BoneIndex
                                                     ? m_header.boneIndexSize
                                                     : m_header.morphIndexSize);
                if (m_cursor.Overrun()) return false;
            }
        }
        return true;
    }

    bool ReadRigidBodies() {
        const uint8_t boneSize = m_header.boneIndexSize;
        size_t count = 0;
        if (!ReadCount(m_cursor, 4 + 4 + IndexBytes(boneSize) + 1 + 2 + 1 + 36 + 20 + 1, count)) return false;
        ResizeList(m_file.rigidBodies, count);
        for (PMXRigidBody& body : m_file.rigidBodies) {
            ReadText(body.name);
            ReadText(body.englishName);
            m_cursor.ReadIndex(body.boneIndex, boneSize);
            m_cursor.Read(body.group);
            m_cursor.Read(body.collisionGroup);
            uint8_t shape = 0;
            m_cursor.Read(shape);
            body.shape = static_cast<PMXRigidBodyShape>(shape);
            m_cursor.Read(body.shapeSize);
            m_cursor.Read(body.translate);
            m_cursor.Read(body.rotate);
            m_cursor.Read(body.mass);
            m_cursor.Read(body.translateDimmer);
            m_cursor.Read(body.rotateDimmer);
            m_cursor.Read(body.repulsion);
            m_cursor.Read(body.friction);
            uint8_t op = 0;
            m_cursor.Read(op);
            body.op = static_cast<PMXRigidBodyOperation>(op);
            if (m_cursor.Overrun()) return false;
        }
        return true;
    }

    bool ReadJoints() {
        const uint8_t bodySize = m_header.rigidBodyIndexSize;
        size_t count = 0;
        if (!ReadCount(m_cursor, 4 + 4 + 1 + 2 * IndexBytes(bodySize) + 8 * 12, count)) return false;
        ResizeList(m_file.joints, count);
        for (PMXJoint& joint : m_file.joints) {
            ReadText(joint.name);
            ReadText(joint.englishName);
            uint8_t type = 0;
            m_cursor.Read(type);
            joint.type = static_cast<PMXJointType>(type);
            m_cursor.ReadIndex(joint.rigidbodyAIndex, bodySize);
            m_cursor.ReadIndex(joint.rigidbodyBIndex, bodySize);
            m_cursor.Read(joint.translate);
            m_cursor.Read(joint.rotate);
            m_cursor.Read(joint.translateLowerLimit);
            m_cursor.Read(joint.translateUpperLimit);
            m_cursor.Read(joint.rotateLowerLimit);
            m_cursor.Read(joint.rotateUpperLimit);
            m_cursor.Read(joint.springTranslateFactor);
            m_cursor.Read(joint.springRotateFactor);
            if (m_cursor.Overrun()) return false;
        }
        return true;
    }

    bool ReadSoftBodies() {
        const size_t materialBytes = IndexBytes(m_header.materialIndexSize);
        const size_t bodyBytes = IndexBytes(m_header.rigidBodyIndexSize);
        const size_t vertexBytes = IndexBytes(m_header.vertexIndexSize);
        size_t count = 0;
        const size_t minimum = 4 + 4 + 1 + materialBytes + 1 + 2 + 1 + 4 * 5 + 4 * PMXSoftBody::ParameterCount + 4 + 4;
        if (!ReadCount(m_cursor, minimum, count)) return false;
        ResizeList(m_file.softBodies, count);
        for (PMXSoftBody& body : m_file.softBodies) {
            ReadText(body.name);
            ReadText(body.englishName);
            m_cursor.Read(body.type);
            m_cursor.ReadIndex(body.materialIndex, m_header.materialIndexSize);
            m_cursor.Read(body.group);
            m_cursor.Read(body.collisionGroup);
            m_cursor.Read(body.flag);
            m_cursor.Read(body.bLinkLength);
            m_cursor.Read(body.numClusters);
            m_cursor.Read(body.totalMass);
            m_cursor.Read(body.collisionMargin);
            m_cursor.Read(body.aeroModel);
            m_cursor.Read(body.parameters);
            size_t anchorCount = 0;
            if (m_cursor.Overrun() || !ReadCount(m_cursor, bodyBytes + vertexBytes + 1, anchorCount)) return false;
            body.anchorRigidBodies.resize(anchorCount);
            for (PMXSoftBodyAnchor& anchor : body.anchorRigidBodies) {
                m_cursor.ReadIndex(anchor.rigidBodyIndex, m_header.rigidBodyIndexSize);
                m_cursor.ReadIndex(anchor.vertexIndex, m_header.vertexIndexSize);
                m_cursor.Read(anchor.nearMode);
            }
            size_t pinCount = 0;
            if (m_cursor.Overrun() || !ReadCount(m_cursor, vertexBytes, pinCount)) return false;
            body.pinVertexIndices.resize(pinCount);
            for (int32_t& pin : body.pinVertexIndices) m_cursor.ReadIndex(pin, m_header.vertexIndexSize);
            if (m_cursor.Overrun()) return false;
        }
        return true;
    }

private:
    void ReadText(std::u16string& text) { m_cursor.ReadText(text, m_header.encoding); }

    bool ReadMorphOffsets(PMXMorph& morph) {
        const uint8_t vertexSize = m_header.vertexIndexSize;
        const uint8_t boneSize = m_header.boneIndexSize;
        const uint8_t morphSize = m_header.morphIndexSize;
        const uint8_t materialSize = m_header.materialIndexSize;
        const uint8_t bodySize = m_header.rigidBodyIndexSize;
        size_t count = 0;
        switch (morph.morphType) {
        case PMXMorphType::Group:
            if (!ReadCount(m_cursor, IndexBytes(morphSize) + 4, count)) return false;
            morph.groupMorph.resize(count);
            for (PMXGroupMorph& o : morph.groupMorph) {
                m_cursor.ReadIndex(o.morphIndex, morphSize);
                m_cursor.Read(o.weight);
            }
            break;
        case PMXMorphType::Position:
            if (!ReadCount(m_cursor, IndexBytes(vertexSize) + 12, count)) return false;
            morph.positionMorph.resize(count);
            for (PMXPositionMorph& o : morph.positionMorph) {
                m_cursor.ReadIndex(o.vertexIndex, vertexSize);
                m_cursor.Read(o.position);
            }
            break;
        case PMXMorphType::Bone:
            if (!ReadCount(m_cursor, IndexBytes(boneSize) + 28, count)) return false;
            morph.boneMorph.resize(count);
            for (PMXBoneMorph& o : morph.boneMorph) {
                m_cursor.ReadIndex(o.boneIndex, boneSize);
                m_cursor.Read(o.position);
                m_cursor.Read(o.quaternion);
            }
            break;
        case PMXMorphType::UV:
        case PMXMorphType::AddUV1:
        case PMXMorphType::AddUV2:
        case PMXMorphType::AddUV3:
        case PMXMorphType::AddUV4:
            if (!ReadCount(m_cursor, IndexBytes(vertexSize) + 16, count)) return false;
            morph.uvMorph.resize(count);
            for (PMXUVMorph& o : morph.uvMorph) {
                m_cursor.ReadIndex(o.vertexIndex, vertexSize);
                m_cursor.Read(o.uv);
            }
            break;
        case PMXMorphType::Material:
            if (!ReadCount(m_cursor, IndexBytes(materialSize) + 1 + 28 * 4, count)) return false;
            morph.materialMorph.resize(count);
            for (PMXMaterialMorph& o : morph.materialMorph) {
                m_cursor.ReadIndex(o.materialIndex, materialSize);
                uint8_t op = 0;
                m_cursor.Read(op);
                o.opType = static_cast<PMXMaterialMorphOp>(op);
                m_cursor.Read(o.diffuse);
                m_cursor.Read(o.specular);
                m_cursor.Read(o.specularPower);
                m_cursor.Read(o.ambient);
                m_cursor.Read(o.edgeColor);
                m_cursor.Read(o.edgeSize);
                m_cursor.Read(o.textureFactor);
                m_cursor.Read(o.sphereTextureFactor);
                m_cursor.Read(o.toonTextureFactor);
            }
            break;
        case PMXMorphType::Flip:
            if (!ReadCount(m_cursor, IndexBytes(morphSize) + 4, count)) return false;
            morph.flipMorph.resize(count);
            for (PMXFlipMorph& o : morph.flipMorph) {
                m_cursor.ReadIndex(o.morphIndex, morphSize);
                m_cursor.Read(o.weight);
            }
            break;
        case PMXMorphType::Impulse:
            if (!ReadCount(m_cursor, IndexBytes(bodySize) + 1 + 24, count)) return false;
            morph.impulseMorph.resize(count);
            for (PMXImpulseMorph& o : morph.impulseMorph) {
                m_cursor.ReadIndex(o.rigidBodyIndex, bodySize);
                m_cursor.Read(o.localFlag);
                m_cursor.Read(o.translateVelocity);
                m_cursor.Read(o.rotateTorque);
            }
            break;
        }
        return !m_cursor.Overrun();
    }

    PMXFile& m_file;
    PmxCursor& m_cursor;
    const PMXHeader& m_header;
};

// Reads the fixed header. A field that does not fit keeps its zero value; the header itself never
// fails, so a short file fails in its first section instead.
void ReadHeader(PmxCursor& cursor, PMXHeader& header) {
    cursor.Read(header.magic);
    cursor.Read(header.version);
    cursor.Read(header.dataSize);
    uint8_t encoding = 0;
    cursor.Read(encoding);
    header.encoding = static_cast<PMXEncoding>(encoding);
    cursor.Read(header.additionalUVCount);
    cursor.Read(header.vertexIndexSize);
    cursor.Read(header.textureIndexSize);
    cursor.Read(header.materialIndexSize);
    cursor.Read(header.boneIndexSize);
    cursor.Read(header.morphIndexSize);
    cursor.Read(header.rigidBodyIndexSize);
}

bool Fail(const char16_t* message) {
    MessageLog::Instance().Append(message);
    return false;
}

bool ReadSections(PMXFile& file, PmxCursor& cursor) {
    ReadHeader(cursor, file.header);
    // A header cut short fails in the first section, as a file with no vertex count would.
    if (cursor.Overrun()) return Fail(u"ReadVertex Fail.");

    // Header values the sections cannot be read with are refused before any of them is read.
    const auto encoding = static_cast<uint8_t>(file.header.encoding);
    if (encoding > static_cast<uint8_t>(PMXEncoding::UTF8)) {
        MessageLog::Instance().AppendUtf8("ReadHeader Fail: unknown text encoding " + std::to_string(encoding) + ".");
        return false;
    }
    if (file.header.additionalUVCount > 4) {
        MessageLog::Instance().AppendUtf8("ReadHeader Fail: additional UV count " +
                                          std::to_string(file.header.additionalUVCount) + " is above 4.");
        return false;
    }

    cursor.ReadText(file.modelName, file.header.encoding);
    cursor.ReadText(file.englishModelName, file.header.encoding);
    cursor.ReadText(file.comment, file.header.encoding);
    cursor.ReadText(file.englishComment, file.header.encoding);

    // Header texts cut short leave the cursor overrun, which fails the vertex section.
    PmxSectionReader reader(file, cursor);
    if (cursor.Overrun() || !reader.ReadVertices()) return Fail(u"ReadVertex Fail.");
    if (!reader.ReadFaces()) return Fail(u"ReadFace Fail.");
    if (!reader.ReadTextures()) return Fail(u"ReadTexture Fail.");
    if (!reader.ReadMaterials()) return Fail(u"ReadMaterial Fail.");
    if (!reader.ReadBones()) return Fail(u"ReadBone Fail.");
    if (!reader.ReadMorphs()) return Fail(u"ReadMorph Fail.");
    if (!reader.ReadDisplayFrames()) return Fail(u"ReadDisplayFrame Fail.");
    if (!reader.ReadRigidBodies()) return Fail(u"ReadRigidbody Fail.");
    if (!reader.ReadJoints()) return Fail(u"ReadJoint Fail.");
    // Soft bodies (format 2.1) follow only when more than two bytes remain.
    if (cursor.Position() + 2 < cursor.Size() && !reader.ReadSoftBodies()) return Fail(u"ReadSoftbody Fail.");
    return true;
}

}  // namespace

bool ReadPMXFile(PMXFile& file, std::span<const uint8_t> bytes) {
    // Nothing of an earlier read survives.
    file.ClearForRead();
    if (bytes.size() < 5) return false;
    PmxCursor cursor(bytes);
    const bool ok = ReadSections(file, cursor);
    file.position = cursor.Position();
    return ok;
}

bool ReadPMXFile(PMXFile& file, std::vector<uint8_t>&& bytes) {
    return file.ReadOwnedBytes(std::move(bytes), [](PMXFile& f, std::span<const uint8_t> b) { return ReadPMXFile(f, b); });
}

bool ReadPMXFile(PMXFile& file, const std::filesystem::path& path) {
    return ReadPMXFile(file, ReadWholeFile(path));
}

}  // namespace Vesma
