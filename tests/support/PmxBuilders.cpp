#include "tests/support/PmxBuilders.h"

#include <string>

namespace TestSupport {
namespace {

using namespace Vesma;
using Math::quat;
using Math::vec2;
using Math::vec3;
using Math::vec4;

constexpr uint16_t Flags(std::initializer_list<PMXBoneFlags> flags) {
    uint16_t value = 0;
    for (PMXBoneFlags f : flags) value |= static_cast<uint16_t>(f);
    return value;
}

PMXVertex Vertex(float seed, PMXVertexWeight type, const PMXHeader& header) {
    PMXVertex v;
    v.position = {seed, seed + 0.5f, -seed};
    v.normal = {0.0f, 1.0f, 0.0f};
    v.uv = {seed * 0.125f, 1.0f - seed * 0.125f};
    for (size_t i = 0; i < header.additionalUVCount && i < 4; ++i) {
        v.additionalUV[i] = {seed + i, seed - i, 0.25f * i, 1.0f};
    }
    v.weightType = type;
    v.edgeScale = 1.0f + seed * 0.25f;
    return v;
}

PMXMorph Morph(std::u16string name, PMXMorphType type, uint8_t panel) {
    PMXMorph m;
    m.name = std::move(name);
    m.englishName = u"morph " + std::u16string(1, static_cast<char16_t>(u'a' + static_cast<int>(type)));
    m.controlPanel = panel;
    m.morphType = type;
    return m;
}

}  // namespace

PMXFile MakeEveryVariantPmx(const PMXHeader& header) {
    PMXFile f;
    f.header = header;
    f.modelName = u"全ての形 テスト模型";
    f.englishModelName = u"Every variant";
    f.comment = u"コメント\r\n二行目 ✓ \U0001F600";
    f.englishComment = u"Comment\r\nsecond line";

    // Vertices: every weight type, plus a BDEF1 vertex with no bone.
    PMXVertex bdef1 = Vertex(0, PMXVertexWeight::BDEF1, header);
    bdef1.boneIndices[0] = 1;
    PMXVertex bdef2 = Vertex(1, PMXVertexWeight::BDEF2, header);
    bdef2.boneIndices = {0, 2, 0, 0};
    bdef2.boneWeights = {0.75f, 0, 0, 0};
    PMXVertex bdef4 = Vertex(2, PMXVertexWeight::BDEF4, header);
    bdef4.boneIndices = {0, 1, 2, 3};
    bdef4.boneWeights = {0.5f, 0.25f, 0.125f, 0.125f};
    PMXVertex sdef = Vertex(3, PMXVertexWeight::SDEF, header);
    sdef.boneIndices = {1, 2, 0, 0};
    sdef.boneWeights = {0.625f, 0, 0, 0};
    sdef.sdefC = {1, 2, 3};
    sdef.sdefR0 = {4, 5, 6};
    sdef.sdefR1 = {7, 8, 9};
    PMXVertex qdef = Vertex(4, PMXVertexWeight::QDEF, header);
    qdef.boneIndices = {3, 2, 1, 0};
    qdef.boneWeights = {0.4f, 0.3f, 0.2f, 0.1f};
    PMXVertex unbound = Vertex(5, PMXVertexWeight::BDEF1, header);
    unbound.boneIndices[0] = -1;
    f.vertices = {bdef1, bdef2, bdef4, sdef, qdef, unbound};

    f.faces = {PMXFace{{0, 1, 2}}, PMXFace{{3, 4, 5}}, PMXFace{{5, 4, 0}}};

    // The second texture has an empty path, which reads back as "empty.png".
    f.textures = {u"tex/肌.png", u"", u"toon/トゥーン.bmp"};

    PMXMaterial skin;
    skin.name = u"肌";
    skin.englishName = u"skin";
    skin.diffuse = {1.0f, 0.875f, 0.75f, 1.0f};
    skin.specular = {0.25f, 0.25f, 0.25f};
    skin.specularPower = 8.0f;
    skin.ambient = {0.5f, 0.4375f, 0.375f};
    skin.drawMode = 0x1F;
    skin.edgeColor = {0, 0, 0, 1};
    skin.edgeSize = 0.5f;
    skin.textureIndex = 0;
    skin.sphereTextureIndex = -1;
    skin.sphereMode = PMXSphereMode::Multiply;
    skin.toonMode = PMXToonMode::Separate;
    skin.toonTextureIndex = 2;
    skin.memo = u"メモ";
    skin.numFaceVertices = 6;
    PMXMaterial cloth = skin;
    cloth.name = u"服";
    cloth.englishName = u"cloth";
    cloth.drawMode = 0x01;
    cloth.textureIndex = 1;
    cloth.sphereTextureIndex = 1;
    cloth.sphereMode = PMXSphereMode::SubTexture;
    cloth.toonMode = PMXToonMode::Common;
    cloth.toonTextureIndex = 3;
    cloth.memo.clear();
    cloth.numFaceVertices = 3;
    PMXMaterial plain = skin;
    plain.name = u"無地";
    plain.englishName.clear();
    plain.textureIndex = -1;
    plain.sphereMode = PMXSphereMode::Add;
    plain.toonTextureIndex = -1;
    plain.numFaceVertices = 0;
    f.materials = {skin, cloth, plain};

    // Bones: 0 root, 1 child with a tail bone, 2 append rotation, 3 append translation (local),
    // 4 fixed axis, 5 local axes, 6 external parent, 7 IK with a limited and an unlimited link.
    f.bones.resize(8);
    PMXBone& root = f.bones[0];
    root.name = u"センター";
    root.englishName = u"center";
    root.position = {0, 8, 0};
    root.parentBoneIndex = -1;
    root.boneFlag = Flags({PMXBoneFlags::AllowRotate, PMXBoneFlags::AllowTranslate, PMXBoneFlags::Visible,
                           PMXBoneFlags::AllowControl});
    root.positionOffset = {0, 1, 0};
    PMXBone& child = f.bones[1];
    child.name = u"上半身";
    child.englishName = u"upper body";
    child.position = {0, 10, 0.5f};
    child.parentBoneIndex = 0;
    child.deformDepth = 1;
    child.boneFlag = Flags({PMXBoneFlags::TargetShowMode, PMXBoneFlags::AllowRotate, PMXBoneFlags::Visible});
    child.linkBoneIndex = 2;
    PMXBone& appendRotate = f.bones[2];
    appendRotate.name = u"回転付与";
    appendRotate.position = {1, 10, 0};
    appendRotate.parentBoneIndex = 1;
    appendRotate.boneFlag = Flags({PMXBoneFlags::AppendRotate, PMXBoneFlags::AllowRotate});
    appendRotate.appendBoneIndex = 1;
    appendRotate.appendWeight = 0.5f;
    PMXBone& appendTranslate = f.bones[3];
    appendTranslate.name = u"移動付与";
    appendTranslate.position = {-1, 10, 0};
    appendTranslate.parentBoneIndex = 1;
    appendTranslate.boneFlag = Flags({PMXBoneFlags::AppendTranslate, PMXBoneFlags::AppendLocal,
                                      PMXBoneFlags::AllowTranslate, PMXBoneFlags::DeformAfterPhysics});
    appendTranslate.appendBoneIndex = 0;
    appendTranslate.appendWeight = -1.0f;
    PMXBone& fixedAxis = f.bones[4];
    fixedAxis.name = u"捩";
    fixedAxis.position = {2, 9, 0};
    fixedAxis.parentBoneIndex = 2;
    fixedAxis.boneFlag = Flags({PMXBoneFlags::FixedAxis, PMXBoneFlags::AllowRotate});
    fixedAxis.fixedAxis = {0.6f, 0.8f, 0};
    PMXBone& localAxis = f.bones[5];
    localAxis.name = u"指";
    localAxis.position = {3, 8, 0};
    localAxis.parentBoneIndex = 4;
    localAxis.boneFlag = Flags({PMXBoneFlags::LocalAxis, PMXBoneFlags::AllowRotate});
    localAxis.localXAxis = {1, 0, 0};
    localAxis.localZAxis = {0, 0, 1};
    PMXBone& outer = f.bones[6];
    outer.name = u"外部親";
    outer.position = {0, 0, 0};
    outer.parentBoneIndex = -1;
    outer.boneFlag = Flags({PMXBoneFlags::DeformOuterParent});
    outer.keyValue = 42;
    PMXBone& ik = f.bones[7];
    ik.name = u"足ＩＫ";
    ik.englishName = u"leg IK";
    ik.position = {1, 1, 0};
    ik.parentBoneIndex = 0;
    ik.deformDepth = 2;
    ik.boneFlag = Flags({PMXBoneFlags::IK, PMXBoneFlags::AllowRotate, PMXBoneFlags::AllowTranslate,
                         PMXBoneFlags::TargetShowMode});
    ik.linkBoneIndex = -1;
    ik.ikTargetBoneIndex = 5;
    ik.ikIterationCount = 40;
    ik.ikLimit = 2.0f;
    ik.ikLinks.resize(2);
    ik.ikLinks[0].ikBoneIndex = 4;
    ik.ikLinks[0].enableLimit = 1;
    ik.ikLinks[0].limitMin = {-3.125f, 0, 0};
    ik.ikLinks[0].limitMax = {-0.0078125f, 0, 0};
    ik.ikLinks[1].ikBoneIndex = 2;
    ik.ikLinks[1].enableLimit = 0;

    // Morphs: one of each of the eleven kinds, in type order.
    PMXMorph group = Morph(u"グループ", PMXMorphType::Group, 4);
    group.groupMorph = {{1, 0.5f}, {8, 1.0f}};
    PMXMorph position = Morph(u"あ", PMXMorphType::Position, 3);
    position.positionMorph = {{0, {0, 0.25f, 0}}, {5, {1, 2, 3}}, {-1, {0, 0, 0}}};
    PMXMorph bone = Morph(u"ボーン", PMXMorphType::Bone, 4);
    bone.boneMorph = {{1, {0, 1, 0}, quat{0, 0.6f, 0, 0.8f}}, {7, {0, 0, 0}, quat{0, 0, 0, 1}}};
    f.morphs = {group, position, bone};
    for (int i = 0; i < 5; ++i) {
        PMXMorph uv = Morph(u"UV" + std::u16string(1, static_cast<char16_t>(u'0' + i)),
                            static_cast<PMXMorphType>(static_cast<int>(PMXMorphType::UV) + i), 4);
        uv.uvMorph = {{i, {0.125f * i, 0.25f, 0, 0}}, {5, {0, 0, 1, 1}}};
        f.morphs.push_back(uv);
    }
    PMXMorph material = Morph(u"材質", PMXMorphType::Material, 4);
    PMXMaterialMorph mul;
    mul.materialIndex = 0;
    mul.opType = PMXMaterialMorphOp::Mul;
    mul.diffuse = {1, 1, 1, 0};
    mul.specular = {1, 1, 1};
    mul.specularPower = 1;
    mul.ambient = {1, 1, 1};
    mul.edgeColor = {1, 1, 1, 1};
    mul.edgeSize = 1;
    mul.textureFactor = {1, 1, 1, 1};
    mul.sphereTextureFactor = {1, 1, 1, 1};
    mul.toonTextureFactor = {1, 1, 1, 1};
    PMXMaterialMorph add = mul;
    add.materialIndex = -1;
    add.opType = PMXMaterialMorphOp::Add;
    add.diffuse = {0.5f, 0, 0, 0};
    material.materialMorph = {mul, add};
    PMXMorph flip = Morph(u"フリップ", PMXMorphType::Flip, 4);
    flip.flipMorph = {{1, 1.0f}, {2, 0.5f}};
    PMXMorph impulse = Morph(u"インパルス", PMXMorphType::Impulse, 0);
    impulse.impulseMorph = {{0, 1, {0, 0, 5}, {0, 1, 0}}, {2, 0, {1, 0, 0}, {0, 0, 0}}};
    f.morphs.push_back(material);
    f.morphs.push_back(flip);
    f.morphs.push_back(impulse);

    PMXDisplayFrame rootFrame;
    rootFrame.name = u"Root";
    rootFrame.englishName = u"Root";
    rootFrame.flag = 1;
    rootFrame.targets = {{PMXDisplayFrameTargetType::BoneIndex, 0}};
    PMXDisplayFrame faceFrame;
    faceFrame.name = u"表情";
    faceFrame.englishName = u"Exp";
    faceFrame.flag = 1;
    faceFrame.targets = {{PMXDisplayFrameTargetType::MorphIndex, 1}, {PMXDisplayFrameTargetType::MorphIndex, 9}};
    PMXDisplayFrame mixed;
    mixed.name = u"体";
    mixed.targets = {{PMXDisplayFrameTargetType::BoneIndex, 1}, {PMXDisplayFrameTargetType::MorphIndex, 0},
                     {PMXDisplayFrameTargetType::BoneIndex, 7}};
    PMXDisplayFrame empty;
    empty.name = u"空";
    f.displayFrames = {rootFrame, faceFrame, mixed, empty};

    // Rigid bodies: every shape and operation, one not attached to a bone.
    for (int i = 0; i < 3; ++i) {
        PMXRigidBody body;
        body.name = u"剛体" + std::u16string(1, static_cast<char16_t>(u'A' + i));
        body.englishName = u"body";
        body.boneIndex = i == 2 ? -1 : i;
        body.group = static_cast<uint8_t>(i * 7);
        body.collisionGroup = static_cast<uint16_t>(0xFFFF >> i);
        body.shape = static_cast<PMXRigidBodyShape>(i);
        body.shapeSize = {1.0f + i, 2.0f, 0.5f};
        body.translate = {0, 10.0f - i, 0};
        body.rotate = {0, 0, 0.5f * i};
        body.mass = 1.0f + i;
        body.translateDimmer = 0.5f;
        body.rotateDimmer = 0.5f;
        body.repulsion = 0.0625f;
        body.friction = 0.5f;
        body.op = static_cast<PMXRigidBodyOperation>(i);
        f.rigidBodies.push_back(body);
    }
    for (int i = 0; i < 2; ++i) {
        PMXJoint joint;
        joint.name = u"ジョイント" + std::u16string(1, static_cast<char16_t>(u'1' + i));
        joint.englishName = u"joint";
        joint.rigidbodyAIndex = i;
        joint.rigidbodyBIndex = i + 1;
        joint.translate = {0, 9.5f - i, 0};
        joint.rotate = {0.25f, 0, 0};
        joint.translateLowerLimit = {-1, -1, -1};
        joint.translateUpperLimit = {1, 1, 1};
        joint.rotateLowerLimit = {-0.5f, -0.25f, 0};
        joint.rotateUpperLimit = {0.5f, 0.25f, 0};
        joint.springTranslateFactor = {10, 0, 0};
        joint.springRotateFactor = {0, 100, 0};
        f.joints.push_back(joint);
    }

    if (header.version > 2.0f) {
        PMXSoftBody body;
        body.name = u"ソフト";
        body.englishName = u"soft";
        body.type = 1;
        body.materialIndex = 1;
        body.group = 3;
        body.collisionGroup = 0x7FFF;
        body.flag = 0x05;
        body.bLinkLength = 2;
        body.numClusters = 4;
        body.totalMass = 3.5f;
        body.collisionMargin = 0.125f;
        body.aeroModel = 1;
        for (size_t i = 0; i < body.parameters.size(); ++i) body.parameters[i] = 0x3F800000u + static_cast<uint32_t>(i);
        body.anchorRigidBodies = {{0, 1, 0}, {2, 5, 1}};
        body.pinVertexIndices = {0, 4, 5};
        PMXSoftBody bare;
        bare.name = u"空";
        bare.materialIndex = -1;
        f.softBodies = {body, bare};
    }
    return f;
}

PMXFile MakeLargePmx(const LargePmxShape& shape) {
    PMXFile f;
    f.header.magic = {'P', 'M', 'X', ' '};
    f.header.version = 2.0f;
    f.header.dataSize = 8;
    f.header.encoding = PMXEncoding::UTF16;
    f.header.vertexIndexSize = 4;
    f.header.textureIndexSize = 4;
    f.header.materialIndexSize = 4;
    f.header.boneIndexSize = 4;
    f.header.morphIndexSize = 4;
    f.header.rigidBodyIndexSize = 4;
    f.modelName = u"大きなモデル";
    f.englishModelName = u"Large model";
    f.comment = u"Generated for reading benchmarks and tests.";
    f.englishComment = u"Generated for reading benchmarks and tests.";

    const size_t boneCount = shape.bones > 0 ? shape.bones : 1;
    const auto boneOf = [&](size_t i) { return static_cast<int32_t>(i % boneCount); };

    // A square-ish grid of vertices; faces are the grid's triangles.
    size_t columns = 1;
    while (columns * columns < shape.vertices) ++columns;
    f.vertices.resize(shape.vertices);
    for (size_t i = 0; i < shape.vertices; ++i) {
        PMXVertex& v = f.vertices[i];
        const float x = static_cast<float>(i % columns);
        const float y = static_cast<float>(i / columns);
        v.position = {x * 0.01f, y * 0.01f, 0.0f};
        v.normal = {0, 0, -1};
        v.uv = {x / columns, y / columns};
        v.edgeScale = 1.0f;
        switch (i % 8) {
        case 0: case 1: case 2:
            v.weightType = PMXVertexWeight::BDEF2;
            v.boneIndices = {boneOf(i), boneOf(i + 1), 0, 0};
            v.boneWeights = {0.6f, 0, 0, 0};
            break;
        case 3: case 4:
            v.weightType = PMXVertexWeight::BDEF4;
            v.boneIndices = {boneOf(i), boneOf(i + 1), boneOf(i + 2), boneOf(i + 3)};
            v.boneWeights = {0.4f, 0.3f, 0.2f, 0.1f};
            break;
        case 5:
            v.weightType = PMXVertexWeight::SDEF;
            v.boneIndices = {boneOf(i), boneOf(i + 1), 0, 0};
            v.boneWeights = {0.5f, 0, 0, 0};
            v.sdefC = v.position;
            v.sdefR0 = v.position;
            v.sdefR1 = v.position;
            break;
        default:
            v.weightType = PMXVertexWeight::BDEF1;
            v.boneIndices = {boneOf(i), 0, 0, 0};
            break;
        }
    }
    const size_t rows = columns > 0 ? (shape.vertices + columns - 1) / columns : 0;
    for (size_t r = 0; r + 1 < rows; ++r) {
        for (size_t c = 0; c + 1 < columns; ++c) {
            const uint32_t a = static_cast<uint32_t>(r * columns + c);
            const uint32_t b = a + 1;
            const uint32_t d = static_cast<uint32_t>(a + columns);
            const uint32_t e = d + 1;
            if (e >= shape.vertices) continue;
            f.faces.push_back(PMXFace{{a, d, b}});
            f.faces.push_back(PMXFace{{b, d, e}});
        }
    }

    for (size_t i = 0; i < shape.materials; ++i) f.textures.push_back(u"tex/texture_" + std::u16string(1, u'a' + i % 26) + u".png");
    size_t facesLeft = f.faces.size();
    for (size_t i = 0; i < shape.materials; ++i) {
        PMXMaterial m;
        m.name = u"材質" + std::u16string(1, u'A' + i % 26);
        m.englishName = u"material";
        m.diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
        m.specularPower = 5.0f;
        m.ambient = {0.4f, 0.4f, 0.4f};
        m.drawMode = 0x1E;
        m.edgeColor = {0, 0, 0, 1};
        m.edgeSize = 1.0f;
        m.textureIndex = static_cast<int32_t>(i);
        m.sphereTextureIndex = -1;
        m.toonMode = PMXToonMode::Common;
        m.toonTextureIndex = static_cast<int32_t>(i % 10);
        const size_t faces = i + 1 == shape.materials ? facesLeft : f.faces.size() / shape.materials;
        m.numFaceVertices = static_cast<int32_t>(faces * 3);
        facesLeft -= faces;
        f.materials.push_back(std::move(m));
    }

    f.bones.resize(shape.bones);
    for (size_t i = 0; i < shape.bones; ++i) {
        PMXBone& b = f.bones[i];
        b.name = u"ボーン" + std::u16string(1, u'0' + i % 10);
        b.englishName = u"bone";
        b.position = {0, static_cast<float>(i) * 0.1f, 0};
        b.parentBoneIndex = static_cast<int32_t>(i) - 1;
        b.boneFlag = Flags({PMXBoneFlags::AllowRotate, PMXBoneFlags::Visible, PMXBoneFlags::AllowControl,
                            PMXBoneFlags::TargetShowMode});
        b.linkBoneIndex = i + 1 < shape.bones ? static_cast<int32_t>(i + 1) : -1;
        if (i % 50 == 49 && i >= 3) {
            b.boneFlag |= static_cast<uint16_t>(PMXBoneFlags::IK);
            b.ikTargetBoneIndex = static_cast<int32_t>(i - 1);
            b.ikIterationCount = 40;
            b.ikLimit = 2.0f;
            b.ikLinks = {{static_cast<int32_t>(i - 2), 1, {-3.14f, 0, 0}, {-0.01f, 0, 0}},
                         {static_cast<int32_t>(i - 3), 0, {}, {}}};
        }
    }

    f.morphs.resize(shape.morphs);
    for (size_t i = 0; i < shape.morphs; ++i) {
        PMXMorph& m = f.morphs[i];
        m.name = u"モーフ" + std::u16string(1, u'0' + i % 10);
        m.englishName = u"morph";
        m.controlPanel = static_cast<uint8_t>(1 + i % 4);
        switch (i % 10) {
        case 0:
            m.morphType = PMXMorphType::Group;
            m.groupMorph = {{static_cast<int32_t>((i + 1) % shape.morphs), 1.0f}};
            break;
        case 1:
            m.morphType = PMXMorphType::Bone;
            m.boneMorph = {{boneOf(i), {0, 0.1f, 0}, quat{0, 0, 0, 1}}};
            break;
        case 2:
            m.morphType = PMXMorphType::UV;
            for (size_t k = 0; k < 20; ++k) m.uvMorph.push_back({static_cast<int32_t>((i * 37 + k) % shape.vertices), {0.01f, 0, 0, 0}});
            break;
        case 3:
            m.morphType = PMXMorphType::Material;
            m.materialMorph.resize(1);
            m.materialMorph[0].materialIndex = -1;
            break;
        default:
            m.morphType = PMXMorphType::Position;
            for (size_t k = 0; k < 40; ++k) {
                m.positionMorph.push_back({static_cast<int32_t>((i * 97 + k) % shape.vertices), {0, 0.01f, 0}});
            }
            break;
        }
    }

    PMXDisplayFrame frame;
    frame.name = u"表情";
    for (size_t i = 0; i < shape.morphs; ++i) frame.targets.push_back({PMXDisplayFrameTargetType::MorphIndex, static_cast<int32_t>(i)});
    f.displayFrames.push_back(std::move(frame));

    f.rigidBodies.resize(shape.rigidBodies);
    for (size_t i = 0; i < shape.rigidBodies; ++i) {
        PMXRigidBody& b = f.rigidBodies[i];
        b.name = u"剛体";
        b.boneIndex = boneOf(i);
        b.group = static_cast<uint8_t>(i % 16);
        b.collisionGroup = 0xFFFF;
        b.shape = static_cast<PMXRigidBodyShape>(i % 3);
        b.shapeSize = {0.5f, 1.0f, 0.5f};
        b.translate = {0, static_cast<float>(i) * 0.1f, 0};
        b.mass = 1.0f;
        b.translateDimmer = 0.5f;
        b.rotateDimmer = 0.5f;
        b.friction = 0.5f;
        b.op = i == 0 ? PMXRigidBodyOperation::Static : PMXRigidBodyOperation::Dynamic;
    }
    for (size_t i = 1; i < shape.rigidBodies; ++i) {
        PMXJoint j;
        j.name = u"ジョイント";
        j.rigidbodyAIndex = static_cast<int32_t>(i - 1);
        j.rigidbodyBIndex = static_cast<int32_t>(i);
        j.translate = {0, static_cast<float>(i) * 0.1f, 0};
        j.rotateLowerLimit = {-0.5f, -0.5f, -0.5f};
        j.rotateUpperLimit = {0.5f, 0.5f, 0.5f};
        f.joints.push_back(std::move(j));
    }
    return f;
}

}  // namespace TestSupport
