#include "tests/support/PmdWriter.h"

#include <algorithm>
#include <cstring>

#include "core/ShiftJis.h"

namespace TestSupport {
namespace {

class Out {
public:
    std::vector<uint8_t> bytes;

    template <typename T>
    void Put(const T& value) {
        const size_t at = bytes.size();
        bytes.resize(at + sizeof(T));
        std::memcpy(bytes.data() + at, &value, sizeof(T));
    }
    void Vec(const Math::vec3& v) {
        Put(v.x);
        Put(v.y);
        Put(v.z);
    }
    // A fixed field: the name's Shift_JIS bytes, cut to the field, then zeros.
    void Text(const std::u16string& text, size_t field) {
        std::string encoded = EncodeShiftJisName(text);
        if (encoded.size() > field) encoded.resize(field);
        const size_t at = bytes.size();
        bytes.resize(at + field, 0);
        std::memcpy(bytes.data() + at, encoded.data(), encoded.size());
    }
    size_t Size() const { return bytes.size(); }
};

}  // namespace

std::vector<uint8_t> WritePmd(const PmdModel& m, PmdLayout* layout) {
    PmdLayout at;
    Out out;
    out.bytes.reserve(300 + m.vertices.size() * 38 + m.indices.size() * 2);
    out.Put('P');
    out.Put('m');
    out.Put('d');
    out.Put(1.0f);
    out.Text(m.name, 20);
    out.Text(m.comment, 256);

    at.vertices = out.Size();
    out.Put(static_cast<uint32_t>(m.vertices.size()));
    for (const PmdVertex& v : m.vertices) {
        out.Vec(v.position);
        out.Vec(v.normal);
        out.Put(v.uv.x);
        out.Put(v.uv.y);
        out.Put(v.bones[0]);
        out.Put(v.bones[1]);
        out.Put(v.weight);
        out.Put(v.noEdge);
    }
    at.faces = out.Size();
    out.Put(static_cast<uint32_t>(m.indices.size()));
    for (uint16_t index : m.indices) out.Put(index);

    at.materials = out.Size();
    out.Put(static_cast<uint32_t>(m.materials.size()));
    for (const PmdMaterial& mat : m.materials) {
        out.Vec(mat.diffuse);
        out.Put(mat.alpha);
        out.Put(mat.specularPower);
        out.Vec(mat.specular);
        out.Vec(mat.ambient);
        out.Put(mat.toon);
        out.Put(mat.edge);
        out.Put(mat.faceVertices);
        out.Text(mat.texture, 20);
    }

    at.bones = out.Size();
    out.Put(static_cast<uint16_t>(m.bones.size()));
    for (const PmdBone& b : m.bones) {
        out.Text(b.name, 20);
        out.Put(b.parent);
        out.Put(b.tail);
        out.Put(b.kind);
        out.Put(b.ikParent);
        out.Vec(b.position);
    }

    at.iks = out.Size();
    out.Put(static_cast<uint16_t>(m.iks.size()));
    for (const PmdIk& ik : m.iks) {
        out.Put(ik.bone);
        out.Put(ik.target);
        out.Put(static_cast<uint8_t>(ik.chain.size()));
        out.Put(ik.iterations);
        out.Put(ik.controlWeight);
        for (uint16_t link : ik.chain) out.Put(link);
    }

    at.morphs = out.Size();
    out.Put(static_cast<uint16_t>(m.morphs.size()));
    for (const PmdMorph& morph : m.morphs) {
        out.Text(morph.name, 20);
        out.Put(static_cast<uint32_t>(morph.entries.size()));
        out.Put(morph.kind);
        for (const PmdMorphEntry& e : morph.entries) {
            out.Put(e.index);
            out.Vec(e.offset);
        }
    }

    at.displayLists = out.Size();
    out.Put(static_cast<uint8_t>(m.morphDisplay.size()));
    for (uint16_t morph : m.morphDisplay) out.Put(morph);
    out.Put(static_cast<uint8_t>(m.boneGroups.size()));
    for (const std::u16string& group : m.boneGroups) out.Text(group, 50);
    out.Put(static_cast<uint32_t>(m.boneGroupEntries.size()));
    for (const auto& [bone, group] : m.boneGroupEntries) {
        out.Put(bone);
        out.Put(group);
    }

    at.english = at.toons = at.bodies = at.joints = out.Size();
    if (m.hasEnglish || m.hasToonList || m.hasPhysics) {
        out.Put(static_cast<uint8_t>(m.hasEnglish ? 1 : 0));
        if (m.hasEnglish) {
            out.Text(m.englishName, 20);
            out.Text(m.englishComment, 256);
            for (size_t i = 0; i < m.bones.size(); ++i) out.Text(i < m.englishBones.size() ? m.englishBones[i] : u"", 20);
            const size_t morphNames = m.morphs.empty() ? 0 : m.morphs.size() - 1;
            for (size_t i = 0; i < morphNames; ++i) out.Text(i < m.englishMorphs.size() ? m.englishMorphs[i] : u"", 20);
            for (size_t i = 0; i < m.boneGroups.size(); ++i)
                out.Text(i < m.englishGroups.size() ? m.englishGroups[i] : u"", 50);
        }
        at.toons = at.bodies = at.joints = out.Size();
    }
    if (m.hasToonList || m.hasPhysics) {
        for (const std::u16string& toon : m.toonNames) out.Text(toon, 100);
        at.bodies = at.joints = out.Size();
    }
    if (m.hasPhysics) {
        out.Put(static_cast<uint32_t>(m.bodies.size()));
        for (const PmdRigidBody& b : m.bodies) {
            out.Text(b.name, 20);
            out.Put(b.bone);
            out.Put(b.group);
            out.Put(b.mask);
            out.Put(b.shape);
            out.Vec(b.size);
            out.Vec(b.position);
            out.Vec(b.rotation);
            out.Put(b.mass);
            out.Put(b.linearDamping);
            out.Put(b.angularDamping);
            out.Put(b.restitution);
            out.Put(b.friction);
            out.Put(b.type);
        }
        at.joints = out.Size();
        out.Put(static_cast<uint32_t>(m.joints.size()));
        for (const PmdJoint& j : m.joints) {
            out.Text(j.name, 20);
            out.Put(j.bodyA);
            out.Put(j.bodyB);
            out.Vec(j.position);
            out.Vec(j.rotation);
            out.Vec(j.translateLower);
            out.Vec(j.translateUpper);
            out.Vec(j.rotateLower);
            out.Vec(j.rotateUpper);
            out.Vec(j.springTranslate);
            out.Vec(j.springRotate);
        }
    }
    at.end = out.Size();
    if (layout) *layout = at;
    return std::move(out.bytes);
}

PmdModel MakeEveryVariantPmd() {
    PmdModel m;
    m.name = u"全種類テスト";
    m.comment = u"PMD の全ての節\r\n二行目";

    auto vertex = [](float x, float y, uint16_t b0, uint16_t b1, uint8_t weight, uint8_t noEdge) {
        PmdVertex v;
        v.position = {x, y, 0.0f};
        v.normal = {0.0f, 0.0f, -1.0f};
        v.uv = {x * 0.25f, y * 0.125f};
        v.bones = {b0, b1};
        v.weight = weight;
        v.noEdge = noEdge;
        return v;
    };
    m.vertices = {vertex(1, 9, 1, 2, 100, 0), vertex(1, 4, 2, 3, 75, 1), vertex(1, 1, 3, 2, 0, 0),
                  vertex(-1, 9, 5, 6, 50, 0), vertex(-1, 4, 6, 7, 100, 0), vertex(3, 14, 9, 10, 60, 1)};
    m.indices = {0, 1, 2, 3, 4, 5, 5, 4, 0};

    PmdMaterial skin;
    skin.texture = u"tex/肌.bmp";
    skin.toon = 0;
    skin.faceVertices = 3;
    PmdMaterial cloth;
    cloth.texture = u"tex/服.bmp*光.sph";
    cloth.alpha = 0.5f;
    cloth.edge = 0;
    cloth.toon = 3;
    cloth.faceVertices = 3;
    PmdMaterial metal;
    metal.texture = u"金属.spa";
    metal.toon = 0xFF;
    metal.specular = {0.5f, 0.5f, 0.5f};
    metal.faceVertices = 3;
    m.materials = {skin, cloth, metal};

    auto bone = [](std::u16string name, uint16_t parent, uint16_t tail, uint8_t kind, uint16_t ikParent, Math::vec3 p) {
        return PmdBone{std::move(name), parent, tail, kind, ikParent, p};
    };
    m.bones = {
        bone(u"センター", 0xFFFF, 0, 1, 0, {0, 8, 0}),      // 0
        bone(u"左足", 0, 2, 0, 0, {1, 10, 0}),              // 1
        bone(u"左ひざ", 1, 3, 4, 4, {1, 5, -0.2f}),         // 2
        bone(u"左足首", 2, 0, 4, 4, {1, 0, 0}),             // 3
        bone(u"左足ＩＫ", 0, 0, 2, 0, {1, 0, 0}),           // 4
        bone(u"右足", 0, 6, 0, 0, {-1, 10, 0}),             // 5
        bone(u"右ひざ", 5, 7, 4, 8, {-1, 5, -0.2f}),        // 6
        bone(u"右足首", 6, 0, 4, 8, {-1, 0, 0}),            // 7
        bone(u"右足ＩＫ", 0, 0, 2, 0, {-1, 0, 0}),          // 8
        bone(u"左腕", 0, 10, 0, 0, {2, 15, 0}),             // 9
        bone(u"左腕捩", 9, 11, 8, 0, {3, 14, 0}),           // 10: twist towards 11
        bone(u"左ひじ", 10, 0, 0, 0, {5, 12, 0}),           // 11
        bone(u"左目", 0, 0, 5, 9, {0, 18, 0}),              // 12: follows 左腕 wholly
        bone(u"連動", 0, 11, 9, 50, {0, 19, 0}),            // 13: half of 左ひじ
        bone(u"非表示", 0, 0, 7, 0, {0, 20, 0}),            // 14
        bone(u"左つま先", 3, 0, 6, 0, {1, 0, -1}),          // 15
    };
    m.iks = {PmdIk{4, 3, 40, 0.5f, {2, 1}}, PmdIk{8, 7, 40, 0.5f, {6, 5}}};

    PmdMorph base{u"base", 0, {{0, {1, 9, 0}}, {2, {1, 1, 0}}, {4, {-1, 4, 0}}}};
    PmdMorph blink{u"まばたき", 2, {{0, {0, -0.5f, 0}}, {1, {0, 0.25f, 0}}}};
    PmdMorph mouth{u"あ", 3, {{2, {0.5f, 0, 0}}}};
    PmdMorph brow{u"眉", 1, {{7, {1, 1, 1}}, {1, {0, 0, 0.75f}}}};  // place 7 is past the base list
    m.morphs = {base, blink, mouth, brow};
    m.morphDisplay = {1, 2, 3, 0};
    m.boneGroups = {u"足\n", u"腕\n"};
    m.boneGroupEntries = {{1, 1}, {2, 1}, {9, 2}, {10, 2}, {5, 3}};

    m.hasEnglish = true;
    m.englishName = u"Every kind";
    m.englishComment = u"Every section";
    m.englishBones = {u"center", u"leg_L", u"knee_L", u"ankle_L", u"leg IK_L", u"leg_R", u"knee_R", u"ankle_R",
                      u"leg IK_R", u"arm_L", u"arm twist_L", u"elbow_L", u"eye_L", u"follow", u"hidden", u"toe_L"};
    m.englishMorphs = {u"blink", u"a", u"brow"};
    m.englishGroups = {u"Legs", u"Arms"};

    m.hasToonList = true;
    for (size_t i = 0; i < m.toonNames.size(); ++i) {
        m.toonNames[i] = u"toon" + std::u16string(1, u'0' + (i + 1) / 10) + std::u16string(1, u'0' + (i + 1) % 10) + u".bmp";
    }
    m.toonNames[3] = u"my_toon.bmp";

    m.hasPhysics = true;
    PmdRigidBody head;
    head.name = u"頭";
    head.bone = 0;
    head.group = 1;
    head.mask = 0xFFFE;
    head.shape = 0;
    head.position = {0, 1, 0};
    PmdRigidBody loose;
    loose.name = u"無骨";
    loose.shape = 1;
    loose.position = {0, 2, 0};
    PmdRigidBody sleeve;
    sleeve.name = u"袖";
    sleeve.bone = 9;
    sleeve.shape = 2;
    sleeve.type = 1;
    sleeve.position = {0.5f, -0.5f, 0};
    sleeve.rotation = {0, 0, 0.5f};
    m.bodies = {head, loose, sleeve};
    PmdJoint joint;
    joint.name = u"袖継";
    joint.bodyA = 0;
    joint.bodyB = 2;
    joint.position = {2, 15, 0};
    joint.rotateLower = {-0.5f, -0.5f, -0.5f};
    joint.rotateUpper = {0.5f, 0.5f, 0.5f};
    joint.springRotate = {10, 10, 10};
    m.joints = {joint};
    return m;
}

PmdModel MakeLargePmd(size_t vertexCount) {
    PmdModel m;
    m.name = u"大きなモデル";
    m.comment = u"Generated for reading benchmarks.";
    constexpr uint16_t kBones = 500;
    size_t columns = 1;
    while (columns * columns < vertexCount) ++columns;
    m.vertices.resize(vertexCount);
    for (size_t i = 0; i < vertexCount; ++i) {
        PmdVertex& v = m.vertices[i];
        const float x = static_cast<float>(i % columns);
        const float y = static_cast<float>(i / columns);
        v.position = {x * 0.01f, y * 0.01f, 0.0f};
        v.normal = {0, 0, -1};
        v.uv = {x / columns, y / columns};
        v.bones = {static_cast<uint16_t>(i % kBones), static_cast<uint16_t>((i + 1) % kBones)};
        v.weight = static_cast<uint8_t>(i % 101);
        v.noEdge = static_cast<uint8_t>(i % 2);
    }
    const size_t rows = (vertexCount + columns - 1) / columns;
    for (size_t r = 0; r + 1 < rows; ++r) {
        for (size_t c = 0; c + 1 < columns; ++c) {
            const size_t a = r * columns + c, b = a + 1, d = a + columns, e = d + 1;
            if (e >= vertexCount) continue;
            // Faces hold 16-bit indices: bigger grids wrap, which a reader does not mind.
            for (size_t index : {a, d, b, b, d, e}) m.indices.push_back(static_cast<uint16_t>(index));
        }
    }
    constexpr size_t kMaterials = 20;
    size_t facesLeft = m.indices.size();
    for (size_t i = 0; i < kMaterials; ++i) {
        PmdMaterial mat;
        mat.texture = u"tex/texture_" + std::u16string(1, u'a' + i) + u".png*s.sph";
        mat.toon = static_cast<uint8_t>(i % 10);
        const size_t share = i + 1 == kMaterials ? facesLeft : (m.indices.size() / kMaterials) / 3 * 3;
        mat.faceVertices = static_cast<uint32_t>(share);
        facesLeft -= share;
        m.materials.push_back(mat);
    }
    for (uint16_t i = 0; i < kBones; ++i) {
        PmdBone b;
        b.name = u"骨" + std::u16string(1, u'0' + i % 10) + std::u16string(1, u'0' + (i / 10) % 10) +
                 std::u16string(1, u'0' + i / 100);
        b.parent = i == 0 ? 0xFFFF : static_cast<uint16_t>(i - 1);
        b.tail = static_cast<uint16_t>((i + 1) % kBones);
        b.kind = static_cast<uint8_t>(i % 50 == 49 ? 2 : 0);
        b.position = {0.0f, static_cast<float>(i) * 0.1f, 0.0f};
        m.bones.push_back(b);
        if (b.kind == 2) m.iks.push_back(PmdIk{i, static_cast<uint16_t>(i - 2), 40, 0.5f, {static_cast<uint16_t>(i - 3), static_cast<uint16_t>(i - 4)}});
    }
    PmdMorph base{u"base", 0, {}};
    const size_t morphVertices = std::min<size_t>(vertexCount, 20000);
    for (size_t i = 0; i < morphVertices; ++i) base.entries.push_back({static_cast<uint32_t>(i), m.vertices[i].position});
    m.morphs.push_back(base);
    for (size_t k = 0; k < 100; ++k) {
        PmdMorph morph{u"表情" + std::u16string(1, u'0' + k % 10) + std::u16string(1, u'0' + k / 10), static_cast<uint8_t>(1 + k % 4), {}};
        for (size_t i = k; i < morphVertices; i += 50) morph.entries.push_back({static_cast<uint32_t>(i), {0.01f, 0.0f, 0.0f}});
        m.morphs.push_back(morph);
        if (k < 255) m.morphDisplay.push_back(static_cast<uint16_t>(k + 1));
    }
    m.boneGroups = {u"体"};
    for (uint16_t i = 1; i < kBones; ++i) m.boneGroupEntries.push_back({i, 1});
    m.hasToonList = true;
    m.hasPhysics = true;
    for (uint16_t i = 0; i < 200; ++i) {
        PmdRigidBody b;
        b.name = u"剛体";
        b.bone = static_cast<uint16_t>(i % kBones);
        b.type = static_cast<uint8_t>(i % 3);
        m.bodies.push_back(b);
        if (i > 0) m.joints.push_back(PmdJoint{u"関節", static_cast<uint32_t>(i - 1), i, {}, {}, {}, {}, {}, {}, {}, {}});
    }
    return m;
}

}  // namespace TestSupport
