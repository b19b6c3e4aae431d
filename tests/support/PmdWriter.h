#pragma once
// PMD model files of any shape, in memory, for tests, benchmarks and fuzz seeds: a record in the
// file's own terms (kinds, percentages, relative body positions) and a writer that lays it out as
// the format does. Names are UTF-16 here and written as Shift_JIS (a name that cannot be encoded,
// or that does not fit its field, is cut to what fits); counts are written as the lists say, so
// broken files are built by editing the record or patching the bytes at the reported offsets.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Math.h"

namespace TestSupport {

struct PmdVertex {
    Math::vec3 position;
    Math::vec3 normal{0.0f, 1.0f, 0.0f};
    Math::vec2 uv;
    std::array<uint16_t, 2> bones{};
    uint8_t weight = 100;  ///< percent for the first bone
    uint8_t noEdge = 0;    ///< 1: no edge
};

struct PmdMaterial {
    Math::vec3 diffuse{0.8f, 0.8f, 0.8f};
    float alpha = 1.0f;
    float specularPower = 5.0f;
    Math::vec3 specular;
    Math::vec3 ambient{0.4f, 0.4f, 0.4f};
    uint8_t toon = 0xFF;
    uint8_t edge = 1;
    uint32_t faceVertices = 0;
    std::u16string texture;  ///< "tex.bmp*sphere.sph"
};

struct PmdBone {
    std::u16string name;
    uint16_t parent = 0xFFFF;
    uint16_t tail = 0;
    uint8_t kind = 0;
    uint16_t ikParent = 0;
    Math::vec3 position;
};

struct PmdIk {
    uint16_t bone = 0;
    uint16_t target = 0;
    uint16_t iterations = 40;
    float controlWeight = 0.5f;
    std::vector<uint16_t> chain;  ///< nearest the target first
};

struct PmdMorphEntry {
    uint32_t index = 0;  ///< a vertex (base morph) or a place in the base morph's list (others)
    Math::vec3 offset;
};

struct PmdMorph {
    std::u16string name;
    uint8_t kind = 0;  ///< 0 base, 1 eyebrow, 2 eye, 3 lip, 4 other
    std::vector<PmdMorphEntry> entries;
};

struct PmdRigidBody {
    std::u16string name;
    uint16_t bone = 0xFFFF;
    uint8_t group = 0;
    uint16_t mask = 0xFFFF;
    uint8_t shape = 0;
    Math::vec3 size{1.0f, 1.0f, 1.0f};
    Math::vec3 position;  ///< relative to the bone
    Math::vec3 rotation;
    float mass = 1.0f;
    float linearDamping = 0.5f;
    float angularDamping = 0.5f;
    float restitution = 0.0f;
    float friction = 0.5f;
    uint8_t type = 0;
};

struct PmdJoint {
    std::u16string name;
    uint32_t bodyA = 0;
    uint32_t bodyB = 0;
    Math::vec3 position;
    Math::vec3 rotation;
    Math::vec3 translateLower, translateUpper, rotateLower, rotateUpper;
    Math::vec3 springTranslate, springRotate;
};

struct PmdModel {
    std::u16string name;
    std::u16string comment;
    std::vector<PmdVertex> vertices;
    std::vector<uint16_t> indices;
    std::vector<PmdMaterial> materials;
    std::vector<PmdBone> bones;
    std::vector<PmdIk> iks;
    std::vector<PmdMorph> morphs;
    std::vector<uint16_t> morphDisplay;
    std::vector<std::u16string> boneGroups;
    std::vector<std::pair<uint16_t, uint8_t>> boneGroupEntries;  ///< bone, group (from 1)

    bool hasEnglish = false;
    std::u16string englishName, englishComment;
    std::vector<std::u16string> englishBones, englishMorphs, englishGroups;  ///< morphs without the base

    bool hasToonList = false;
    std::array<std::u16string, 10> toonNames;

    bool hasPhysics = false;
    std::vector<PmdRigidBody> bodies;
    std::vector<PmdJoint> joints;
};

/// Byte offsets of a written file's sections (each at its count, or its flag byte).
struct PmdLayout {
    size_t vertices = 0, faces = 0, materials = 0, bones = 0, iks = 0, morphs = 0, displayLists = 0;
    size_t english = 0, toons = 0, bodies = 0, joints = 0, end = 0;
};

std::vector<uint8_t> WritePmd(const PmdModel& model, PmdLayout* layout = nullptr);

/// Every section and every bone kind: a centre, two legs with IK (knees named "左ひざ"/"右ひざ"),
/// a twist bone, an under-rotation and a rotation-follow bone, a hidden bone and an IK target;
/// materials with a plain texture, "texture*sphere", a lone ".spa", shared and listed toons;
/// a base morph and three morphs; display lists; English names; the toon list; bodies and joints.
PmdModel MakeEveryVariantPmd();

/// A model of about `vertices` vertices in a grid, with bones, morphs and bodies, for reading
/// benchmarks.
PmdModel MakeLargePmd(size_t vertices);

}  // namespace TestSupport
