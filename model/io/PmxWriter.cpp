#include "model/io/PmxWriter.h"

#include <cstring>
#include <string>
#include <type_traits>

#include "core/TextConvert.h"

namespace Vesma {
namespace {

class ByteWriter {
public:
    ByteWriter(std::vector<uint8_t>& out, const PMXHeader& header) : m_out(out), m_header(header) {}

    size_t Position() const { return m_out.size(); }

    template <typename T>
    void Put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        const size_t at = m_out.size();
        m_out.resize(at + sizeof(T));
        std::memcpy(m_out.data() + at, &value, sizeof(T));
    }

    void PutByte(uint8_t value) { m_out.push_back(value); }

    // Signed index at the given size; -1 becomes all ones at 1 and 2 bytes. Unknown sizes write
    // nothing, as the reader reads nothing for them.
    void PutIndex(int32_t value, uint8_t size) {
        switch (size) {
        case 1: PutByte(static_cast<uint8_t>(value)); break;
        case 2: Put(static_cast<uint16_t>(value)); break;
        case 4: Put(value); break;
        default: break;
        }
    }

    void PutUnsignedIndex(uint32_t value, uint8_t size) {
        switch (size) {
        case 1: PutByte(static_cast<uint8_t>(value)); break;
        case 2: Put(static_cast<uint16_t>(value)); break;
        case 4: Put(value); break;
        default: break;
        }
    }

    void PutText(const std::u16string& text) {
        if (m_header.encoding == PMXEncoding::UTF8) {
            const std::string utf8 = Utf16ToUtf8(text);
            Put(static_cast<int32_t>(utf8.size()));
            m_out.insert(m_out.end(), utf8.begin(), utf8.end());
            return;
        }
        Put(static_cast<int32_t>(text.size() * 2));
        for (char16_t unit : text) Put(static_cast<uint16_t>(unit));
    }

    void PutVertex(const PMXVertex& v) {
        const uint8_t bone = m_header.boneIndexSize;
        Put(v.position);
        Put(v.normal);
        Put(v.uv);
        for (size_t i = 0; i < m_header.additionalUVCount && i < 4; ++i) Put(v.additionalUV[i]);
        PutByte(static_cast<uint8_t>(v.weightType));
        switch (v.weightType) {
        case PMXVertexWeight::BDEF1:
            PutIndex(v.boneIndices[0], bone);
            break;
        case PMXVertexWeight::BDEF2:
            PutIndex(v.boneIndices[0], bone);
            PutIndex(v.boneIndices[1], bone);
            Put(v.boneWeights[0]);
            break;
        case PMXVertexWeight::BDEF4:
        case PMXVertexWeight::QDEF:
            for (int i = 0; i < 4; ++i) PutIndex(v.boneIndices[i], bone);
            for (int i = 0; i < 4; ++i) Put(v.boneWeights[i]);
            break;
        case PMXVertexWeight::SDEF:
            PutIndex(v.boneIndices[0], bone);
            PutIndex(v.boneIndices[1], bone);
            Put(v.boneWeights[0]);
            Put(v.sdefC);
            Put(v.sdefR0);
            Put(v.sdefR1);
            break;
        }
        Put(v.edgeScale);
    }

    void PutMaterial(const PMXMaterial& m) {
        const uint8_t texture = m_header.textureIndexSize;
        PutText(m.name);
        PutText(m.englishName);
        Put(m.diffuse);
        Put(m.specular);
        Put(m.specularPower);
        Put(m.ambient);
        PutByte(m.drawMode);
        Put(m.edgeColor);
        Put(m.edgeSize);
        PutIndex(m.textureIndex, texture);
        PutIndex(m.sphereTextureIndex, texture);
        PutByte(static_cast<uint8_t>(m.sphereMode));
        PutByte(static_cast<uint8_t>(m.toonMode));
        if (m.toonMode == PMXToonMode::Separate) {
            PutIndex(m.toonTextureIndex, texture);
        } else if (m.toonMode == PMXToonMode::Common) {
            PutByte(static_cast<uint8_t>(m.toonTextureIndex));
        }
        PutText(m.memo);
        Put(m.numFaceVertices);
    }

    void PutBone(const PMXBone& b) {
        const uint8_t bone = m_header.boneIndexSize;
        PutText(b.name);
        PutText(b.englishName);
        Put(b.position);
        PutIndex(b.parentBoneIndex, bone);
        Put(b.deformDepth);
        Put(b.boneFlag);
        if (HasFlag(b.boneFlag, PMXBoneFlags::TargetShowMode)) {
            PutIndex(b.linkBoneIndex, bone);
        } else {
            Put(b.positionOffset);
        }
        if (HasFlag(b.boneFlag, PMXBoneFlags::AppendRotate) || HasFlag(b.boneFlag, PMXBoneFlags::AppendTranslate)) {
            PutIndex(b.appendBoneIndex, bone);
            Put(b.appendWeight);
        }
        if (HasFlag(b.boneFlag, PMXBoneFlags::FixedAxis)) Put(b.fixedAxis);
        if (HasFlag(b.boneFlag, PMXBoneFlags::LocalAxis)) {
            Put(b.localXAxis);
            Put(b.localZAxis);
        }
        if (HasFlag(b.boneFlag, PMXBoneFlags::DeformOuterParent)) Put(b.keyValue);
        if (HasFlag(b.boneFlag, PMXBoneFlags::IK)) {
            PutIndex(b.ikTargetBoneIndex, bone);
            Put(b.ikIterationCount);
            Put(b.ikLimit);
            Put(static_cast<int32_t>(b.ikLinks.size()));
            for (const PMXIKLink& link : b.ikLinks) {
                PutIndex(link.ikBoneIndex, bone);
                PutByte(link.enableLimit);
                if (link.enableLimit != 0) {
                    Put(link.limitMin);
                    Put(link.limitMax);
                }
            }
        }
    }

    void PutMorph(const PMXMorph& m) {
        PutText(m.name);
        PutText(m.englishName);
        PutByte(m.controlPanel);
        PutByte(static_cast<uint8_t>(m.morphType));
        switch (m.morphType) {
        case PMXMorphType::Group:
            Put(static_cast<int32_t>(m.groupMorph.size()));
            for (const auto& o : m.groupMorph) {
                PutIndex(o.morphIndex, m_header.morphIndexSize);
                Put(o.weight);
            }
            break;
        case PMXMorphType::Position:
            Put(static_cast<int32_t>(m.positionMorph.size()));
            for (const auto& o : m.positionMorph) {
                PutIndex(o.vertexIndex, m_header.vertexIndexSize);
                Put(o.position);
            }
            break;
        case PMXMorphType::Bone:
            Put(static_cast<int32_t>(m.boneMorph.size()));
            for (const auto& o : m.boneMorph) {
                PutIndex(o.boneIndex, m_header.boneIndexSize);
                Put(o.position);
                Put(o.quaternion);
            }
            break;
        case PMXMorphType::UV:
        case PMXMorphType::AddUV1:
        case PMXMorphType::AddUV2:
        case PMXMorphType::AddUV3:
        case PMXMorphType::AddUV4:
            Put(static_cast<int32_t>(m.uvMorph.size()));
            for (const auto& o : m.uvMorph) {
                PutIndex(o.vertexIndex, m_header.vertexIndexSize);
                Put(o.uv);
            }
            break;
        case PMXMorphType::Material:
            Put(static_cast<int32_t>(m.materialMorph.size()));
            for (const auto& o : m.materialMorph) {
                PutIndex(o.materialIndex, m_header.materialIndexSize);
                PutByte(static_cast<uint8_t>(o.opType));
                Put(o.diffuse);
                Put(o.specular);
                Put(o.specularPower);
                Put(o.ambient);
                Put(o.edgeColor);
                Put(o.edgeSize);
                Put(o.textureFactor);
                Put(o.sphereTextureFactor);
                Put(o.toonTextureFactor);
            }
            break;
        case PMXMorphType::Flip:
            Put(static_cast<int32_t>(m.flipMorph.size()));
            for (const auto& o : m.flipMorph) {
                PutIndex(o.morphIndex, m_header.morphIndexSize);
                Put(o.weight);
            }
            break;
        case PMXMorphType::Impulse:
            Put(static_cast<int32_t>(m.impulseMorph.size()));
            for (const auto& o : m.impulseMorph) {
                PutIndex(o.rigidBodyIndex, m_header.rigidBodyIndexSize);
                PutByte(o.localFlag);
                Put(o.translateVelocity);
                Put(o.rotateTorque);
            }
            break;
        default:  // an out-of-range type: a count and no offsets
            Put(int32_t{0});
            break;
        }
    }

    void PutDisplayFrame(const PMXDisplayFrame& frame) {
        PutText(frame.name);
        PutText(frame.englishName);
        PutByte(frame.flag);
        Put(static_cast<int32_t>(frame.targets.size()));
        for (const PMXDisplayFrameTarget& target : frame.targets) {
            PutByte(static_cast<uint8_t>(target.type));
            PutIndex(target.index, target.type == PMXDisplayFrameTargetType::BoneIndex ? m_header.boneIndexSize
                                                                                       : m_header.morphIndexSize);
        }
    }

    void PutRigidBody(const PMXRigidBody& body) {
        PutText(body.name);
        PutText(body.englishName);
        PutIndex(body.boneIndex, m_header.boneIndexSize);
        PutByte(body.group);
        Put(body.collisionGroup);
        PutByte(static_cast<uint8_t>(body.shape));
        Put(body.shapeSize);
        Put(body.translate);
        Put(body.rotate);
        Put(body.mass);
        Put(body.translateDimmer);
        Put(body.rotateDimmer);
        Put(body.repulsion);
        Put(body.friction);
        PutByte(static_cast<uint8_t>(body.op));
    }

    void PutJoint(const PMXJoint& joint) {
        PutText(joint.name);
        PutText(joint.englishName);
        PutByte(static_cast<uint8_t>(joint.type));
        PutIndex(joint.rigidbodyAIndex, m_header.rigidBodyIndexSize);
        PutIndex(joint.rigidbodyBIndex, m_header.rigidBodyIndexSize);
        Put(joint.translate);
        Put(joint.rotate);
        Put(joint.translateLowerLimit);
        Put(joint.translateUpperLimit);
        Put(joint.rotateLowerLimit);
        Put(joint.rotateUpperLimit);
        Put(joint.springTranslateFactor);
        Put(joint.springRotateFactor);
    }

    void PutSoftBody(const PMXSoftBody& body) {
        PutText(body.name);
        PutText(body.englishName);
        PutByte(body.type);
        PutIndex(body.materialIndex, m_header.materialIndexSize);
        PutByte(body.group);
        Put(body.collisionGroup);
        PutByte(body.flag);
        Put(body.bLinkLength);
        Put(body.numClusters);
        Put(body.totalMass);
        Put(body.collisionMargin);
        Put(body.aeroModel);
        Put(body.parameters);
        Put(static_cast<int32_t>(body.anchorRigidBodies.size()));
        for (const PMXSoftBodyAnchor& anchor : body.anchorRigidBodies) {
            PutIndex(anchor.rigidBodyIndex, m_header.rigidBodyIndexSize);
            PutIndex(anchor.vertexIndex, m_header.vertexIndexSize);
            PutByte(anchor.nearMode);
        }
        Put(static_cast<int32_t>(body.pinVertexIndices.size()));
        for (int32_t pin : body.pinVertexIndices) PutIndex(pin, m_header.vertexIndexSize);
    }

private:
    std::vector<uint8_t>& m_out;
    const PMXHeader& m_header;
};

}  // namespace

PMXHeader MakePmxHeader(float version, PMXEncoding encoding, uint8_t indexSize) {
    PMXHeader header;
    header.magic = {'P', 'M', 'X', ' '};
    header.version = version;
    header.dataSize = 8;
    header.encoding = encoding;
    header.additionalUVCount = 0;
    header.vertexIndexSize = indexSize;
    header.textureIndexSize = indexSize;
    header.materialIndexSize = indexSize;
    header.boneIndexSize = indexSize;
    header.morphIndexSize = indexSize;
    header.rigidBodyIndexSize = indexSize;
    return header;
}

std::vector<uint8_t> WritePmx(const PMXFile& file, const PmxWriteOptions& options, PmxLayout* layout) {
    const PMXHeader& h = file.header;
    std::vector<uint8_t> out;
    out.reserve(4096 + file.vertices.size() * 64 + file.faces.size() * 12);
    ByteWriter w(out, h);
    PmxLayout at;

    w.Put(h.magic);
    w.Put(h.version);
    w.PutByte(h.dataSize);
    w.PutByte(static_cast<uint8_t>(h.encoding));
    w.PutByte(h.additionalUVCount);
    w.PutByte(h.vertexIndexSize);
    w.PutByte(h.textureIndexSize);
    w.PutByte(h.materialIndexSize);
    w.PutByte(h.boneIndexSize);
    w.PutByte(h.morphIndexSize);
    w.PutByte(h.rigidBodyIndexSize);

    at.texts = w.Position();
    w.PutText(file.modelName);
    w.PutText(file.englishModelName);
    w.PutText(file.comment);
    w.PutText(file.englishComment);

    at.vertices = w.Position();
    w.Put(static_cast<int32_t>(file.vertices.size()));
    for (const PMXVertex& v : file.vertices) w.PutVertex(v);

    at.faces = w.Position();
    w.Put(static_cast<int32_t>(file.faces.size() * 3 + options.extraFaceIndices.size()));
    for (const PMXFace& face : file.faces) {
        for (uint32_t index : face.vertices) w.PutUnsignedIndex(index, h.vertexIndexSize);
    }
    for (uint32_t index : options.extraFaceIndices) w.PutUnsignedIndex(index, h.vertexIndexSize);

    at.textures = w.Position();
    w.Put(static_cast<int32_t>(file.textures.size()));
    for (const std::u16string& texture : file.textures) w.PutText(texture);

    at.materials = w.Position();
    w.Put(static_cast<int32_t>(file.materials.size()));
    for (const PMXMaterial& m : file.materials) w.PutMaterial(m);

    at.bones = w.Position();
    w.Put(static_cast<int32_t>(file.bones.size()));
    for (const PMXBone& b : file.bones) w.PutBone(b);

    at.morphs = w.Position();
    w.Put(static_cast<int32_t>(file.morphs.size()));
    for (const PMXMorph& m : file.morphs) w.PutMorph(m);

    at.displayFrames = w.Position();
    w.Put(static_cast<int32_t>(file.displayFrames.size()));
    for (const PMXDisplayFrame& f : file.displayFrames) w.PutDisplayFrame(f);

    at.rigidBodies = w.Position();
    w.Put(static_cast<int32_t>(file.rigidBodies.size()));
    for (const PMXRigidBody& b : file.rigidBodies) w.PutRigidBody(b);

    at.joints = w.Position();
    w.Put(static_cast<int32_t>(file.joints.size()));
    for (const PMXJoint& j : file.joints) w.PutJoint(j);

    at.softBodies = w.Position();
    if (options.softBodySection || !file.softBodies.empty()) {
        w.Put(static_cast<int32_t>(file.softBodies.size()));
        for (const PMXSoftBody& s : file.softBodies) w.PutSoftBody(s);
    }
    at.end = w.Position();
    if (layout) *layout = at;
    return out;
}

void PatchInt32(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
    if (offset + 4 > bytes.size()) return;
    std::memcpy(bytes.data() + offset, &value, 4);
}

}  // namespace Vesma
