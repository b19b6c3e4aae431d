#include "tools/generators/demo/Mannequin.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/io/PmxWriter.h"
#include "tools/generators/demo/MeshKit.h"

namespace DemoScene {

using namespace Vesma;
using Math::vec3;
using Math::vec4;
using M = MannequinMeasures;

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kDegree = kPi / 180.0f;

enum Material { kSkin, kSuit, kPants, kShoes, kHair, kFace, kMaterialCount };

constexpr uint16_t Flags(std::initializer_list<PMXBoneFlags> flags) {
    uint16_t bits = 0;
    for (const PMXBoneFlags f : flags) bits = static_cast<uint16_t>(bits | static_cast<uint16_t>(f));
    return bits;
}

constexpr uint16_t kRotatable =
    Flags({PMXBoneFlags::AllowRotate, PMXBoneFlags::Visible, PMXBoneFlags::AllowControl});
constexpr uint16_t kMovable = Flags({PMXBoneFlags::AllowRotate, PMXBoneFlags::AllowTranslate,
                                     PMXBoneFlags::Visible, PMXBoneFlags::AllowControl});
constexpr uint16_t kIkController = static_cast<uint16_t>(kMovable | static_cast<uint16_t>(PMXBoneFlags::IK));

vec3 Mirror(vec3 p) { return {-p.x, p.y, p.z}; }

// `toon`: the shared toon ramp the classic look shades the material with (0 is toon01).
PMXMaterial MakeMaterial(std::u16string name, std::u16string englishName, vec4 diffuse, vec3 specular, float power,
                         int32_t toon) {
    PMXMaterial m;
    m.name = std::move(name);
    m.englishName = std::move(englishName);
    m.diffuse = diffuse;
    m.specular = specular;
    m.specularPower = power;
    m.ambient = {diffuse.x * 0.5f, diffuse.y * 0.5f, diffuse.z * 0.5f};
    m.drawMode = static_cast<uint8_t>(PMXDrawModeFlags::GroundShadow) |
                 static_cast<uint8_t>(PMXDrawModeFlags::CastSelfShadow) |
                 static_cast<uint8_t>(PMXDrawModeFlags::ReceiveSelfShadow) |
                 static_cast<uint8_t>(PMXDrawModeFlags::DrawEdge);
    m.edgeColor = {0.1f, 0.08f, 0.08f, 1.0f};
    m.edgeSize = 0.6f;
    m.textureIndex = -1;
    m.sphereTextureIndex = -1;
    m.sphereMode = PMXSphereMode::None;
    m.toonMode = PMXToonMode::Common;
    m.toonTextureIndex = toon;
    return m;
}


// A limb or trunk as one smooth surface: a path through the joints, cross-section sizes keyed by
// the distance along it (eased from key to key), and the bones that own stretches of it. Around
// each joint the vertices blend from one bone to the next, so the surface bends there without a
// break.
struct SectionKey {
    float at;      // distance along the path
    float across;  // radius along the side direction
    float deep;    // radius along the third axis
};

struct PathBone {
    int32_t bone;
    float until;  // distance along the path where the next bone takes over
    float blend;  // half-width of the stretch shared with the next bone
};

class BodyPath {
public:
    BodyPath(std::vector<vec3> points, std::vector<SectionKey> keys, std::vector<PathBone> bones)
        : m_points(std::move(points)), m_keys(std::move(keys)), m_bones(std::move(bones)) {
        m_lengths.push_back(0.0f);
        for (size_t i = 1; i < m_points.size(); ++i)
            m_lengths.push_back(m_lengths.back() + Math::Length(m_points[i] - m_points[i - 1]));
    }

    float Length() const { return m_lengths.back(); }
    /// Distance along the path of point `index`.
    float At(size_t index) const { return m_lengths[index]; }

    /// Rings every `step` (or closer) from distance `from` to `to`, sizes scaled by `scale`.
    std::vector<TubeRing> Rings(float from, float to, float step, float scale = 1.0f) const {
        const int count = std::max(2, static_cast<int>(std::ceil((to - from) / step)) + 1);
        std::vector<TubeRing> rings;
        for (int k = 0; k < count; ++k) {
            const float at = from + (to - from) * static_cast<float>(k) / static_cast<float>(count - 1);
            TubeRing ring;
            ring.centre = Point(at);
            Size(at, ring.across, ring.deep);
            ring.across *= scale;
            ring.deep *= scale;
            Weights(at, ring);
            rings.push_back(ring);
        }
        return rings;
    }

private:
    static float Ease(float t) {
        t = std::clamp(t, 0.0f, 1.0f);
        return t * t * (3.0f - 2.0f * t);
    }

    vec3 Point(float at) const {
        for (size_t i = 1; i < m_points.size(); ++i) {
            if (at <= m_lengths[i] || i + 1 == m_points.size()) {
                const float span = std::max(m_lengths[i] - m_lengths[i - 1], 1e-6f);
                const float t = (at - m_lengths[i - 1]) / span;
                return m_points[i - 1] + (m_points[i] - m_points[i - 1]) * t;
            }
        }
        return m_points.front();
    }

    void Size(float at, float& across, float& deep) const {
        if (at <= m_keys.front().at) {
            across = m_keys.front().across;
            deep = m_keys.front().deep;
            return;
        }
        for (size_t i = 1; i < m_keys.size(); ++i) {
            if (at <= m_keys[i].at) {
                const float t = Ease((at - m_keys[i - 1].at) / std::max(m_keys[i].at - m_keys[i - 1].at, 1e-6f));
                across = m_keys[i - 1].across + (m_keys[i].across - m_keys[i - 1].across) * t;
                deep = m_keys[i - 1].deep + (m_keys[i].deep - m_keys[i - 1].deep) * t;
                return;
            }
        }
        across = m_keys.back().across;
        deep = m_keys.back().deep;
    }

    void Weights(float at, TubeRing& ring) const {
        for (size_t k = 0; k + 1 < m_bones.size(); ++k) {
            const PathBone& b = m_bones[k];
            if (at >= b.until + b.blend) continue;
            ring.boneA = b.bone;
            if (at > b.until - b.blend) {
                ring.boneB = m_bones[k + 1].bone;
                ring.weightA = 1.0f - Ease((at - (b.until - b.blend)) / (2.0f * b.blend));
            }
            return;
        }
        ring.boneA = m_bones.back().bone;
    }

    std::vector<vec3> m_points;
    std::vector<float> m_lengths;
    std::vector<SectionKey> m_keys;
    std::vector<PathBone> m_bones;
};

// Builds the bone list, the meshes bound to it, and the records that refer to bones by index.
class MannequinBuilder {
public:
    explicit MannequinBuilder(PMXFile& file) : m_file(file), m_mesh(file, kMaterialCount) {}

    void Build() {
        Materials();
        const int32_t root = AddBone(u"全ての親", u"master", {0, 0, 0}, -1, kMovable, {0, 2, 0});
        const int32_t center = AddBone(u"センター", u"center", M::kCenter, root, kMovable, {0, -1.5f, 0});
        const int32_t lower = AddBone(u"下半身", u"lower body", {0, 10.2f, 0}, center, kRotatable, {0, -1.6f, 0});
        const int32_t upper = AddBone(u"上半身", u"upper body", {0, 10.4f, 0}, center, kRotatable, {0, 4.6f, 0});
        const int32_t neck = AddBone(u"首", u"neck", {0, 15.2f, 0}, upper, kRotatable, {0, 1.2f, 0});
        m_head = AddBone(u"頭", u"head", M::kHead, neck, kRotatable, {0, 2.4f, 0});
        m_lower = lower;
        m_upper = upper;

        Trunk(lower, upper);
        m_mesh.Capsule(kSkin, neck, {0, 14.9f, 0}, {0, 16.3f, 0}, 0.45f);
        m_mesh.Capsule(kSkin, m_head, {0, 17.2f, 0}, {0, 18.0f, 0}, 1.35f, 20, 8);
        Face();

        for (const bool left : {true, false}) {
            Arm(left, upper);
            Leg(left, lower, root);
        }
        Ponytail();
        RigidBodies();
        Morphs();
        DisplayFrames();
        m_mesh.Finish();
    }

private:
    int32_t AddBone(std::u16string name, std::u16string englishName, vec3 position, int32_t parent, uint16_t flags,
                    vec3 tail) {
        PMXBone bone;
        bone.name = std::move(name);
        bone.englishName = std::move(englishName);
        bone.position = position;
        bone.parentBoneIndex = parent;
        bone.boneFlag = flags;
        bone.positionOffset = tail;
        bone.linkBoneIndex = -1;
        bone.appendBoneIndex = -1;
        bone.ikTargetBoneIndex = -1;
        m_file.bones.push_back(std::move(bone));
        return static_cast<int32_t>(m_file.bones.size() - 1);
    }

    int32_t Bone(std::u16string_view name) const {
        for (size_t i = 0; i < m_file.bones.size(); ++i) {
            if (m_file.bones[i].name == name) return static_cast<int32_t>(i);
        }
        return -1;
    }

    void Materials() {
        m_file.materials = {
            MakeMaterial(u"肌", u"skin", {1.0f, 0.84f, 0.74f, 1.0f}, {0.1f, 0.1f, 0.1f}, 8.0f, 1),
            MakeMaterial(u"服", u"suit", {0.16f, 0.55f, 0.78f, 1.0f}, {0.4f, 0.4f, 0.4f}, 30.0f, 2),
            MakeMaterial(u"ズボン", u"trousers", {0.14f, 0.14f, 0.22f, 1.0f}, {0.1f, 0.1f, 0.1f}, 10.0f, 2),
            MakeMaterial(u"靴", u"shoes", {0.85f, 0.2f, 0.25f, 1.0f}, {0.6f, 0.6f, 0.6f}, 50.0f, 2),
            MakeMaterial(u"髪", u"hair", {0.35f, 0.2f, 0.12f, 1.0f}, {0.3f, 0.3f, 0.3f}, 20.0f, 0),
            MakeMaterial(u"目と口", u"eyes and mouth", {0.08f, 0.06f, 0.08f, 1.0f}, {0.8f, 0.8f, 0.8f}, 80.0f, 9),
        };
    }

    // Hips, waist, chest and shoulders in one piece: trousers up to the waist, the suit above,
    // the waist bending between the lower and the upper body.
    void Trunk(int32_t lower, int32_t upper) {
        const BodyPath path({{0, 8.55f, 0.0f}, {0, 15.25f, 0.05f}},
                            {{0.0f, 1.45f, 0.92f},
                             {0.9f, 1.78f, 1.05f},
                             {2.0f, 1.42f, 0.86f},
                             {3.0f, 1.5f, 0.9f},
                             {4.6f, 1.8f, 1.05f},
                             {5.9f, 1.82f, 0.92f},
                             {6.7f, 0.75f, 0.55f}},
                            {{lower, 1.75f, 0.55f}, {upper, 99.0f, 0.1f}});
        const vec3 side{1, 0, 0};
        m_mesh.Tube(kPants, path.Rings(0.0f, 2.05f, 0.2f), side);
        // The suit starts inside the trousers' waistband, a little wider from there up.
        m_mesh.Tube(kSuit, path.Rings(1.75f, path.Length(), 0.2f, 1.02f), side);
    }

    // Two eyes and a mouth on the front of the head; their vertices are what the morphs move.
    void Face() {
        for (const float side : {1.0f, -1.0f}) {
            const vec3 centre{0.45f * side, 17.7f, -1.3f};
            m_eyes.push_back({centre, m_mesh.Box(kFace, m_head, centre, {0.17f, 0.22f, 0.1f})});
        }
        m_mouthCentre = {0, 16.95f, -1.26f};
        m_mouth = m_mesh.Box(kFace, m_head, m_mouthCentre, {0.35f, 0.07f, 0.1f});
    }

    void Arm(bool left, int32_t upper) {
        const std::u16string s = left ? u"左" : u"右";
        const std::u16string e = left ? u"left " : u"right ";
        const auto side = [&](vec3 p) { return left ? p : Mirror(p); };
        // A-pose: the arm hangs 40 degrees below the horizontal.
        const vec3 down = side(vec3{std::cos(40 * kDegree), -std::sin(40 * kDegree), 0});
        const vec3 shoulderPos = side({0.4f, 14.9f, 0});
        const vec3 armPos = side({1.8f, 14.7f, 0});
        const vec3 elbowPos = armPos + down * 3.0f;
        const vec3 wristPos = elbowPos + down * 2.6f;
        const int32_t shoulder = AddBone(s + u"肩", e + u"shoulder", shoulderPos, upper, kRotatable, armPos - shoulderPos);
        const int32_t arm = AddBone(s + u"腕", e + u"arm", armPos, shoulder, kRotatable, elbowPos - armPos);
        const int32_t elbow = AddBone(s + u"ひじ", e + u"elbow", elbowPos, arm, kRotatable, wristPos - elbowPos);
        const int32_t wrist = AddBone(s + u"手首", e + u"wrist", wristPos, elbow, kRotatable, down * 0.9f);

        // From inside the shoulders down to the wrist: the sleeve over the upper arm and past
        // the elbow, the bare forearm from inside the sleeve on. The shoulder, upper arm and
        // forearm blend into each other at the shoulder and the elbow.
        const vec3 front{0, 0, -1};
        const vec3 start = side({0.7f, 14.75f, 0});
        const float atArm = Math::Length(armPos - start), atElbow = atArm + 3.0f, atWrist = atElbow + 2.6f;
        const BodyPath path({start, armPos, elbowPos, wristPos},
                            {{0.0f, 0.62f, 0.6f},
                             {1.1f, 0.55f, 0.52f},
                             {2.4f, 0.47f, 0.45f},
                             {atElbow, 0.38f, 0.37f},
                             {atElbow + 1.2f, 0.36f, 0.33f},
                             {atWrist, 0.25f, 0.2f}},
                            {{shoulder, atArm, 0.4f}, {arm, atElbow, 0.45f}, {elbow, atWrist, 0.12f}, {wrist, 99.0f, 0.1f}});
        m_mesh.Tube(kSuit, path.Rings(0.0f, atElbow + 0.35f, 0.25f, 1.08f), front, 20);
        m_mesh.Tube(kSkin, path.Rings(atElbow - 0.3f, atWrist + 0.05f, 0.25f), front, 20);
        // The palm lies in the plane of the arm and the body's front, so the fingers spread along
        // z: a flat rounded slab, wide towards the front and back, thin across.
        const BodyPath palm({wristPos - down * 0.05f, wristPos + down * 0.95f},
                            {{0.0f, 0.3f, 0.16f}, {0.4f, 0.42f, 0.15f}, {1.0f, 0.42f, 0.13f}}, {{wrist, 99.0f, 0.1f}});
        m_mesh.Tube(kSkin, palm.Rings(0.0f, 1.0f, 0.2f), front, 16, 3);

        struct FingerShape {
            const char16_t* name;
            const char16_t* englishName;
            float offset;  // along z from the palm's middle (negative: towards the front)
            float length;
        };
        const FingerShape fingers[] = {{u"人指", u"index", -0.31f, 1.0f},
                                       {u"中指", u"middle", -0.1f, 1.1f},
                                       {u"薬指", u"ring", 0.11f, 1.0f},
                                       {u"小指", u"little", 0.31f, 0.8f}};
        const float parts[3] = {0.42f, 0.32f, 0.26f};
        const char16_t* numbers[3] = {u"１", u"２", u"３"};
        for (const FingerShape& f : fingers) {
            int32_t parent = wrist;
            vec3 at = wristPos + down * 0.9f + vec3{0, 0, f.offset};
            for (int k = 0; k < 3; ++k) {
                const vec3 next = at + down * (parts[k] * f.length);
                parent = AddBone(s + f.name + numbers[k], e + f.englishName + static_cast<char16_t>(u'1' + k), at,
                                 parent, kRotatable, next - at);
                m_mesh.Capsule(kSkin, parent, at, next, 0.1f, 8, 2);
                at = next;
            }
        }
        const vec3 thumbDir = Math::Normalize(down * 0.6f + front * 0.8f);
        vec3 at = wristPos + down * 0.25f + front * 0.42f;
        int32_t parent = wrist;
        for (int k = 0; k < 2; ++k) {
            const vec3 next = at + thumbDir * 0.42f;
            parent = AddBone(s + u"親指" + numbers[k], e + u"thumb" + static_cast<char16_t>(u'1' + k), at, parent,
                             kRotatable, next - at);
            m_mesh.Capsule(kSkin, parent, at, next, 0.12f, 8, 2);
            at = next;
        }
    }

    void Leg(bool left, int32_t lower, int32_t root) {
        const std::u16string s = left ? u"左" : u"右";
        const std::u16string e = left ? u"left " : u"right ";
        const auto side = [&](vec3 p) { return left ? p : Mirror(p); };
        const vec3 legPos = side(M::kLeftLeg), kneePos = side(M::kLeftKnee);
        const vec3 anklePos = side(M::kLeftAnkle), toePos = side(M::kLeftToe);
        const int32_t leg = AddBone(s + u"足", e + u"leg", legPos, lower, kRotatable, kneePos - legPos);
        const int32_t knee = AddBone(s + u"ひざ", e + u"knee", kneePos, leg, kRotatable, anklePos - kneePos);
        const int32_t ankle = AddBone(s + u"足首", e + u"ankle", anklePos, knee, kRotatable, toePos - anklePos);
        const int32_t toe = AddBone(s + u"つま先", e + u"toe", toePos, ankle,
                                    static_cast<uint16_t>(PMXBoneFlags::AllowRotate), {0, 0, -0.5f});

        // From inside the hips down into the shoe: the top of the thigh still follows the lower
        // body (a continuous hip), then the thigh, the shin and the ankle, blending at the knee.
        const vec3 top = side({0.8f, 9.95f, 0.0f});
        const float atLeg = Math::Length(legPos - top);
        const float atKnee = atLeg + Math::Length(kneePos - legPos);
        const float atAnkle = atKnee + Math::Length(anklePos - kneePos);
        const BodyPath path({top, legPos, kneePos, anklePos, anklePos + vec3{0, -0.5f, 0}},
                            {{0.0f, 0.72f, 0.76f},
                             {atLeg + 0.4f, 0.84f, 0.86f},
                             {atLeg + 2.2f, 0.7f, 0.72f},
                             {atKnee, 0.54f, 0.56f},
                             {atKnee + 1.3f, 0.56f, 0.6f},
                             {atAnkle, 0.36f, 0.38f}},
                            {{lower, atLeg + 0.15f, 0.5f}, {leg, atKnee, 0.6f}, {knee, atAnkle, 0.25f}, {ankle, 99.0f, 0.1f}});
        m_mesh.Tube(kPants, path.Rings(0.0f, atAnkle + 0.3f, 0.25f), {1, 0, 0}, 20);
        // A rounded shoe from the heel to the toe, its sole on the floor.
        const BodyPath shoe({side({1.0f, 0.42f, 0.55f}), side({1.0f, 0.42f, -1.6f})},
                            {{0.0f, 0.46f, 0.42f}, {0.8f, 0.52f, 0.44f}, {1.6f, 0.5f, 0.36f}, {2.15f, 0.42f, 0.28f}},
                            {{ankle, 99.0f, 0.1f}});
        m_mesh.Tube(kShoes, shoe.Rings(0.0f, shoe.Length(), 0.2f), {1, 0, 0}, 20, 4);

        // The leg IK bends the knee (one axis, forwards only) and turns the leg; the toe IK turns
        // the ankle so that the toe follows its own controller.
        const int32_t legIkIndex = AddBone(s + u"足ＩＫ", e + u"leg IK", anklePos, root, kIkController, {0, 0, 1.5f});
        PMXBone& ik = m_file.bones[static_cast<size_t>(legIkIndex)];
        ik.ikTargetBoneIndex = ankle;
        ik.ikIterationCount = 40;
        ik.ikLimit = 2.0f;
        PMXIKLink kneeLink;
        kneeLink.ikBoneIndex = knee;
        kneeLink.enableLimit = 1;
        kneeLink.limitMin = {-180 * kDegree, 0, 0};
        kneeLink.limitMax = {-0.5f * kDegree, 0, 0};
        PMXIKLink legLink;
        legLink.ikBoneIndex = leg;
        ik.ikLinks = {kneeLink, legLink};

        const int32_t toeIkIndex = AddBone(s + u"つま先ＩＫ", e + u"toe IK", toePos, legIkIndex, kIkController,
                                           {0, -1.0f, 0});
        PMXBone& toeIk = m_file.bones[static_cast<size_t>(toeIkIndex)];
        toeIk.ikTargetBoneIndex = toe;
        toeIk.ikIterationCount = 3;
        toeIk.ikLimit = 4.0f;
        PMXIKLink ankleLink;
        ankleLink.ikBoneIndex = ankle;
        toeIk.ikLinks = {ankleLink};
    }

    void Ponytail() {
        const vec3 positions[M::kHairBones] = {M::kHairRoot, {0, 17.0f, 1.75f}, {0, 15.8f, 1.9f}, {0, 14.6f, 1.95f},
                                               {0, 13.4f, 1.95f}};
        // A cap of hair over the top, back and sides of the head (the face stays in front of it),
        // and a knot where the ponytail starts.
        m_mesh.Capsule(kHair, m_head, {0, 17.55f, 0.15f}, {0, 18.1f, 0.15f}, 1.42f, 20, 8);
        m_mesh.Capsule(kHair, m_head, {0, 18.5f, 1.05f}, {0, 18.2f, 1.4f}, 0.55f);
        int32_t parent = m_head;
        for (int k = 0; k < M::kHairBones; ++k) {
            const bool tip = k + 1 == M::kHairBones;
            const vec3 tail = tip ? vec3{0, -0.6f, 0} : positions[k + 1] - positions[k];
            const std::u16string name = std::u16string(u"髪") + static_cast<char16_t>(u'１' + k);
            parent = AddBone(name, u"hair " + std::u16string(1, static_cast<char16_t>(u'1' + k)), positions[k], parent,
                             kRotatable, tail);
            if (!tip) {
                const float radius = 0.38f - 0.04f * static_cast<float>(k);
                m_mesh.Capsule(kHair, parent, positions[k], positions[k + 1], radius);
                m_hairBones.push_back(parent);
            }
        }
        m_hairPositions.assign(positions, positions + M::kHairBones);
    }

    int32_t AddBody(std::u16string name, std::u16string englishName, int32_t bone, PMXRigidBodyShape shape,
                    vec3 size, vec3 position, PMXRigidBodyOperation op, uint8_t group, uint16_t mask) {
        PMXRigidBody body;
        body.name = std::move(name);
        body.englishName = std::move(englishName);
        body.boneIndex = bone;
        body.group = group;
        body.collisionGroup = mask;
        body.shape = shape;
        body.shapeSize = size;
        body.translate = position;
        body.mass = 1.0f;
        body.translateDimmer = 0.5f;
        body.rotateDimmer = 0.5f;
        body.repulsion = 0.0f;
        body.friction = 0.5f;
        body.op = op;
        m_file.rigidBodies.push_back(std::move(body));
        return static_cast<int32_t>(m_file.rigidBodies.size() - 1);
    }

    // The torso and head follow their bones; the ponytail is simulated, hung from the head by
    // sprung joints. It collides with the torso (group 0) but not with the head it starts inside
    // (group 1) nor with itself (group 2).
    void RigidBodies() {
        constexpr uint16_t kBodyMask = 0xFFFF & ~0x0003;
        constexpr uint16_t kHairMask = 0x0001;
        AddBody(u"上半身", u"upper body", m_upper, PMXRigidBodyShape::Box, {1.6f, 2.3f, 1.0f}, {0, 12.7f, 0},
                PMXRigidBodyOperation::Static, 0, kBodyMask);
        AddBody(u"下半身", u"lower body", m_lower, PMXRigidBodyShape::Box, {1.6f, 0.9f, 1.0f}, {0, 9.75f, 0},
                PMXRigidBodyOperation::Static, 0, kBodyMask);
        int32_t previous = AddBody(u"頭", u"head", m_head, PMXRigidBodyShape::Sphere, {1.4f, 0, 0}, {0, 17.6f, 0},
                                   PMXRigidBodyOperation::Static, 1, kBodyMask);
        for (size_t k = 0; k < m_hairBones.size(); ++k) {
            const vec3 from = m_hairPositions[k], to = m_hairPositions[k + 1];
            const std::u16string digit(1, static_cast<char16_t>(u'１' + k));
            const int32_t body = AddBody(u"髪" + digit, u"hair " + std::u16string(1, static_cast<char16_t>(u'1' + k)),
                                         m_hairBones[k], PMXRigidBodyShape::Capsule, {0.3f, Math::Length(to - from), 0},
                                         (from + to) * 0.5f, PMXRigidBodyOperation::Dynamic, 2, kHairMask);
            PMXJoint joint;
            joint.name = u"髪" + digit;
            joint.englishName = u"hair joint";
            joint.rigidbodyAIndex = previous;
            joint.rigidbodyBIndex = body;
            joint.translate = from;
            joint.rotateLowerLimit = {-0.6f, -0.15f, -0.45f};
            joint.rotateUpperLimit = {0.6f, 0.15f, 0.45f};
            joint.springRotateFactor = {8.0f, 0.0f, 8.0f};
            m_file.joints.push_back(std::move(joint));
            previous = body;
        }
    }

    void Morphs() {
        PMXMorph mouth;
        mouth.name = u"あ";
        mouth.englishName = u"a";
        mouth.controlPanel = 3;
        mouth.morphType = PMXMorphType::Position;
        for (uint32_t v = m_mouth.first; v < m_mouth.first + m_mouth.count; ++v) {
            if (m_file.vertices[v].position.y < m_mouthCentre.y) {
                mouth.positionMorph.push_back({static_cast<int32_t>(v), {0, -0.4f, 0}});
            }
        }
        PMXMorph blink;
        blink.name = u"まばたき";
        blink.englishName = u"blink";
        blink.controlPanel = 1;
        blink.morphType = PMXMorphType::Position;
        for (const EyeMesh& eye : m_eyes) {
            for (uint32_t v = eye.range.first; v < eye.range.first + eye.range.count; ++v) {
                if (m_file.vertices[v].position.y > eye.centre.y) {
                    blink.positionMorph.push_back({static_cast<int32_t>(v), {0, -0.38f, 0}});
                }
            }
        }
        PMXMorph blush;
        blush.name = u"照れ";
        blush.englishName = u"blush";
        blush.controlPanel = 4;
        blush.morphType = PMXMorphType::Material;
        PMXMaterialMorph redder;
        redder.materialIndex = kSkin;
        redder.opType = PMXMaterialMorphOp::Add;
        redder.diffuse = {0.0f, -0.25f, -0.2f, 0.0f};
        redder.ambient = {0.1f, -0.1f, -0.1f};
        blush.materialMorph.push_back(redder);
        PMXMorph smile;
        smile.name = u"笑顔";
        smile.englishName = u"smile";
        smile.controlPanel = 4;
        smile.morphType = PMXMorphType::Group;
        smile.groupMorph = {{0, 0.35f}, {1, 0.6f}, {2, 0.5f}};
        m_file.morphs = {mouth, blink, blush, smile};
    }

    void DisplayFrames() {
        const auto frame = [&](std::u16string name, std::u16string englishName, uint8_t flag,
                               std::initializer_list<std::u16string_view> bones) {
            PMXDisplayFrame f;
            f.name = std::move(name);
            f.englishName = std::move(englishName);
            f.flag = flag;
            for (const std::u16string_view bone : bones) {
                const int32_t index = Bone(bone);
                if (index >= 0) f.targets.push_back({PMXDisplayFrameTargetType::BoneIndex, index});
            }
            m_file.displayFrames.push_back(std::move(f));
        };
        frame(u"Root", u"Root", 1, {u"全ての親"});
        PMXDisplayFrame facial;
        facial.name = u"表情";
        facial.englishName = u"Exp";
        facial.flag = 1;
        for (int32_t m = 0; m < static_cast<int32_t>(m_file.morphs.size()); ++m) {
            facial.targets.push_back({PMXDisplayFrameTargetType::MorphIndex, m});
        }
        m_file.displayFrames.push_back(std::move(facial));
        frame(u"センター", u"center", 0, {u"センター"});
        frame(u"体(上)", u"upper body", 0, {u"上半身", u"首", u"頭"});
        frame(u"腕", u"arms", 0, {u"左肩", u"左腕", u"左ひじ", u"左手首", u"右肩", u"右腕", u"右ひじ", u"右手首"});
        frame(u"足", u"legs", 0,
              {u"下半身", u"左足", u"左ひざ", u"左足首", u"右足", u"右ひざ", u"右足首", u"左足ＩＫ", u"左つま先ＩＫ",
               u"右足ＩＫ", u"右つま先ＩＫ"});
        frame(u"髪", u"hair", 0, {u"髪１", u"髪２", u"髪３", u"髪４", u"髪５"});
    }

    struct EyeMesh {
        vec3 centre;
        VertexRange range;
    };

    PMXFile& m_file;
    MeshKit m_mesh;
    int32_t m_head = -1, m_upper = -1, m_lower = -1;
    std::vector<EyeMesh> m_eyes;
    vec3 m_mouthCentre;
    VertexRange m_mouth;
    std::vector<int32_t> m_hairBones;
    std::vector<vec3> m_hairPositions;
};

}  // namespace

PMXFile BuildMannequin() {
    PMXFile file;
    file.header = MakePmxHeader(2.0f, PMXEncoding::UTF16, 4);
    file.modelName = u"デモ人形";
    file.englishModelName = u"Demo mannequin";
    file.comment = u"デモ用の関節人形：関節でなめらかに曲がる丸い体、足ＩＫ、物理で揺れるポニーテール、表情モーフ。";
    file.englishComment = u"Demo mannequin: a rounded body that bends smoothly at its joints, leg IK, a ponytail on "
                          u"rigid bodies and joints, and a few morphs.";
    MannequinBuilder(file).Build();
    return file;
}

}  // namespace DemoScene
