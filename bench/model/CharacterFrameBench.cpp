// One frame of the CPU update (evaluation, morphs, nodes, IK; skinning and physics apart) of a
// generated model built the way dance models are: a humanoid skeleton with leg and toe IK, the
// "D" bones that copy the legs' turns, skirt chains pulled by IK bones that follow the thighs, and
// hair and skirt chains that only physics would move; about 300 bones and 10 IK chains. The motion
// is a generated dance: the centre bobs and sways so the knees stay bent, the feet step and lift,
// the upper body, arms and fingers turn, and the face blinks, smiles and lip-syncs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bench/model/FrameTiming.h"
#include "model/PMXModel.h"
#include "model/io/VMDFile.h"
#include "model/motion/VMDModelAnimation.h"
#include "tests/support/VmdWriter.h"

namespace {

using Math::quat;
using Math::vec3;

constexpr float kTurn = 6.2831855f;

class CharacterBuilder {
public:
    Vesma::PMXFile file;

    int32_t Bone(const std::string& name, vec3 position, int32_t parent, int32_t layer = 0) {
        Vesma::PMXBone b;
        b.name = std::u16string(name.begin(), name.end());
        b.position = position;
        b.parentBoneIndex = parent;
        b.deformDepth = layer;
        b.boneFlag = 0x001A;  // rotatable, visible, controllable
        b.appendBoneIndex = -1;
        b.ikTargetBoneIndex = -1;
        file.bones.push_back(b);
        return static_cast<int32_t>(file.bones.size() - 1);
    }

    // A bone that copies `source`'s turn (the legs' "D" bones, one layer later).
    int32_t AppendBone(const std::string& name, int32_t source, int32_t parent) {
        const int32_t i = Bone(name, file.bones[source].position, parent, 1);
        file.bones[i].boneFlag |= 0x0100;
        file.bones[i].appendBoneIndex = source;
        file.bones[i].appendWeight = 1.0f;
        return i;
    }

    int32_t IkBone(const std::string& name, int32_t parent, int32_t target, int32_t loops, float limit,
                   std::vector<Vesma::PMXIKLink> links) {
        const int32_t i = Bone(name, file.bones[target].position, parent);
        Vesma::PMXBone& b = file.bones[i];
        b.boneFlag |= 0x0020 | 0x0004;
        b.ikTargetBoneIndex = target;
        b.ikIterationCount = loops;
        b.ikLimit = limit;
        b.ikLinks = std::move(links);
        return i;
    }

    // A chain of `count` bones hanging from `parent`, from `start` by `step`; returns the last.
    int32_t Chain(const std::string& name, int32_t parent, vec3 start, vec3 step, int count) {
        int32_t last = parent;
        for (int k = 0; k < count; ++k) {
            last = Bone(name + std::to_string(k), start + step * static_cast<float>(k), last);
        }
        return last;
    }
};

Vesma::PMXFile MakeCharacter() {
    CharacterBuilder c;
    const int32_t root = c.Bone("root", {0, 0, 0}, -1);
    const int32_t center = c.Bone("center", {0, 8, 0}, root);
    const int32_t groove = c.Bone("groove", {0, 8.2f, 0}, center);
    const int32_t waist = c.Bone("waist", {0, 9.6f, 0}, groove);
    const int32_t lower = c.Bone("lower", {0, 9.8f, 0}, waist);
    const int32_t upper = c.Bone("upper", {0, 10.2f, 0}, waist);
    const int32_t upper2 = c.Bone("upper2", {0, 12, 0}, upper);
    const int32_t neck = c.Bone("neck", {0, 14.6f, 0}, upper2);
    const int32_t head = c.Bone("head", {0, 15.4f, 0}, neck);
    const int32_t eyes = c.Bone("eyes", {0, 17, -1}, head);
    c.Bone("eyeL", {0.4f, 16.6f, -0.6f}, head);
    c.Bone("eyeR", {-0.4f, 16.6f, -0.6f}, head);
    (void)eyes;

    std::vector<int32_t> thighs;
    for (const float side : {1.0f, -1.0f}) {
        const std::string s = side > 0 ? "L" : "R";
        // Arm and hand.
        const int32_t shoulder = c.Bone("shoulder" + s, {side * 0.4f, 14.2f, 0.1f}, upper2);
        const int32_t arm = c.Bone("arm" + s, {side * 1.4f, 13.9f, 0.2f}, shoulder);
        c.Bone("armTwist" + s, {side * 2.6f, 12.9f, 0.2f}, arm);
        const int32_t elbow = c.Bone("elbow" + s, {side * 3.8f, 11.9f, 0.2f}, arm);
        c.Bone("handTwist" + s, {side * 4.9f, 10.9f, 0.0f}, elbow);
        const int32_t wrist = c.Bone("wrist" + s, {side * 5.9f, 10.0f, -0.1f}, elbow);
        for (int f = 0; f < 5; ++f) {
            const vec3 base(side * (6.2f + 0.1f * f), 9.7f - 0.1f * f, -0.3f + 0.15f * f);
            c.Chain("finger" + s + std::to_string(f) + "_", wrist, base, {side * 0.25f, -0.25f, 0}, 3);
        }

        // Leg with knee, ankle and toe; its IK and the toe IK; the D bones that copy the turns.
        const int32_t thigh = c.Bone("leg" + s, {side * 0.9f, 9.4f, 0.0f}, lower);
        const int32_t knee = c.Bone("knee" + s, {side * 0.9f, 5.2f, -0.15f}, thigh);
        const int32_t ankle = c.Bone("ankle" + s, {side * 0.9f, 1.0f, 0.15f}, knee);
        const int32_t toe = c.Bone("toe" + s, {side * 0.9f, 0.0f, -1.2f}, ankle);
        const int32_t legIk = c.IkBone("legIK" + s, root, ankle, 40, 2.0f,
                                       {{knee, 1, {-3.1415927f, 0, 0}, {-0.008726646f, 0, 0}}, {thigh, 0, {}, {}}});
        c.IkBone("toeIK" + s, legIk, toe, 3, 4.0f, {{ankle, 0, {}, {}}});
        const int32_t thighD = c.AppendBone("legD" + s, thigh, lower);
        const int32_t kneeD = c.AppendBone("kneeD" + s, knee, thighD);
        const int32_t ankleD = c.AppendBone("ankleD" + s, ankle, kneeD);
        c.Bone("toeEX" + s, {side * 0.9f, 0.2f, -0.8f}, ankleD, 1);
        thighs.push_back(thigh);
    }

    // Skirt chains pulled by IK bones that ride on the thighs: three links each.
    for (int k = 0; k < 6; ++k) {
        const float a = kTurn * (static_cast<float>(k) + 0.5f) / 6.0f;
        const vec3 dir(std::cos(a), 0, std::sin(a));
        const std::string n = "skirtIK" + std::to_string(k) + "_";
        const int32_t s0 = c.Bone(n + "0", vec3(0, 9.6f, 0) + dir * 1.6f, lower);
        const int32_t s1 = c.Bone(n + "1", vec3(0, 8.0f, 0) + dir * 1.9f, s0);
        const int32_t s2 = c.Bone(n + "2", vec3(0, 6.4f, 0) + dir * 2.2f, s1);
        const int32_t tip = c.Bone(n + "3", vec3(0, 4.8f, 0) + dir * 2.5f, s2);
        c.IkBone(n + "IK", thighs[dir.x > 0 ? 0 : 1], tip, 10, 1.0f, {{s2, 0, {}, {}}, {s1, 0, {}, {}}, {s0, 0, {}, {}}});
    }

    // Chains only physics moves (no keys): a loose skirt layer and the hair, up to 300 bones.
    for (int k = 0; c.file.bones.size() + 6 <= 300; ++k) {
        const float a = kTurn * static_cast<float>(k) / 13.0f;
        const vec3 dir(std::cos(a), 0, std::sin(a));
        if (k < 12) {
            c.Chain("skirt" + std::to_string(k) + "_", lower, vec3(0, 9.4f, 0) + dir * 1.8f, dir * 0.2f + vec3(0, -1, 0), 6);
        } else {
            c.Chain("hair" + std::to_string(k) + "_", head, vec3(0, 17.5f, 0) + dir * 1.2f, dir * 0.25f + vec3(0, -1.2f, 0), 6);
        }
    }
    while (c.file.bones.size() < 300) c.Bone("bust" + std::to_string(c.file.bones.size()), {0, 12.5f, -1}, upper2);

    // A face region of 3,000 of the 20,000 vertices carries the morphs.
    constexpr int kVertices = 20000;
    for (int i = 0; i < kVertices; ++i) {
        Vesma::PMXVertex v;
        v.position = {std::sin(0.37f * i) * 3, 8 + std::cos(0.11f * i) * 8, std::sin(0.05f * i)};
        v.normal = {0, 0, -1};
        v.weightType = Vesma::PMXVertexWeight::BDEF1;
        v.boneIndices = {head, -1, -1, -1};
        c.file.vertices.push_back(v);
    }
    // Eye, mouth, brow and cheek morphs: 40 morphs of 200 to 900 offsets.
    for (int m = 0; m < 40; ++m) {
        Vesma::PMXMorph morph;
        morph.name = u"morph" + std::u16string(1, static_cast<char16_t>(u'A' + m));
        morph.morphType = Vesma::PMXMorphType::Position;
        const int offsets = 200 + (m * 173) % 700;
        for (int k = 0; k < offsets; ++k) {
            const int vertex = (m * 911 + k * 7) % 3000;
            morph.positionMorph.push_back({vertex, {0.01f * std::sin(0.3f * k), 0.02f * std::cos(0.2f * k), 0.005f}});
        }
        c.file.morphs.push_back(morph);
    }
    return c.file;
}

std::string MorphName(int m) { return "morph" + std::string(1, static_cast<char>('A' + m)); }

quat Turn(vec3 axis, float angle) { return Math::QuaternionRotationAxis(Math::Normalize(axis), angle); }

// Keys every 4 frames for 600 frames. Half of the bones' keys carry eased curves, as hand-keyed
// dance motions mostly do; the other half move in straight lines between keys.
Vesma::VMDFile MakeDance() {
    Vesma::VMDFile vmd;
    const auto key = [&](const std::string& name, uint32_t frame, vec3 t, quat r, bool eased) {
        vmd.boneKeys.push_back(TestSupport::MakeBoneKey(name, frame, t, r));
        if (eased) {
            TestSupport::SetBoneKeyCurves(vmd.boneKeys.back(), 40, 10, 90, 117);
        }
    };
    for (uint32_t frame = 0; frame <= 600; frame += 4) {
        const float t = static_cast<float>(frame) / 30.0f;  // seconds
        const float beat = t * kTurn;                      // one beat a second
        key("center", frame, {0.5f * std::sin(beat * 0.5f), -0.9f + 0.4f * std::sin(beat), 0.3f * std::sin(beat * 0.25f)},
            Turn({0, 1, 0}, 0.3f * std::sin(beat * 0.25f)), false);
        key("groove", frame, {0, 0.1f * std::sin(beat * 2), 0}, quat::Identity(), true);
        key("lower", frame, {}, Turn({0.2f, 1, 0.1f}, 0.15f * std::sin(beat * 0.5f)), true);
        key("upper", frame, {}, Turn({1, 0.3f, 0}, 0.12f * std::sin(beat)), true);
        key("upper2", frame, {}, Turn({0.1f, 1, 0.2f}, 0.2f * std::sin(beat * 0.5f + 1)), true);
        key("neck", frame, {}, Turn({1, 0, 0}, 0.1f * std::sin(beat + 0.5f)), true);
        key("head", frame, {}, Turn({0.3f, 1, 0}, 0.25f * std::sin(beat * 0.5f)), true);
        key("eyes", frame, {}, Turn({0, 1, 0}, 0.1f * std::sin(beat * 0.25f)), false);
        for (const float side : {1.0f, -1.0f}) {
            const std::string s = side > 0 ? "L" : "R";
            const float phase = side > 0 ? 0.0f : kTurn / 2;
            key("shoulder" + s, frame, {}, Turn({0, 0, 1}, side * 0.1f * std::sin(beat + phase)), true);
            key("arm" + s, frame, {}, Turn({0.2f, 0.3f, 1}, side * (0.6f + 0.5f * std::sin(beat * 0.5f + phase))), true);
            key("elbow" + s, frame, {}, Turn({0, 1, 0.1f}, -side * (0.8f + 0.6f * std::sin(beat + phase))), true);
            key("wrist" + s, frame, {}, Turn({1, 0, 0.3f}, 0.4f * std::sin(beat * 2 + phase)), true);
            for (int f = 0; f < 5; ++f) {
                for (int j = 0; j < 3; ++j) {
                    key("finger" + s + std::to_string(f) + "_" + std::to_string(j), frame, {},
                        Turn({0, 0, 1}, -side * (0.3f + 0.3f * std::sin(beat * 0.5f + f))), false);
                }
            }
            // A step: each foot lifts and moves forward in its half of a two-beat cycle.
            const float cycle = std::sin(beat * 0.5f + phase);
            const float lift = cycle > 0 ? cycle * 1.2f : 0.0f;
            key("legIK" + s, frame, {side * 0.2f * std::sin(beat * 0.25f) + 0.5f * std::sin(beat * 0.5f), lift, -0.8f * cycle},
                Turn({1, 0, 0}, -0.4f * lift), false);
        }
    }
    // Face: a blink every three seconds, a smile that comes and goes, and lip-sync over five
    // mouth shapes, two of them fading into each other at a time.
    for (uint32_t frame = 0; frame <= 600; frame += 2) {
        const uint32_t inBlink = frame % 90;
        vmd.morphKeys.push_back(TestSupport::MakeMorphKey(MorphName(0), frame, inBlink < 6 ? 1.0f - std::fabs(inBlink - 3.0f) / 3.0f : 0.0f));
        vmd.morphKeys.push_back(TestSupport::MakeMorphKey(MorphName(1), frame, 0.5f + 0.5f * std::sin(frame * 0.02f)));
        const uint32_t shape = (frame / 6) % 5;
        for (uint32_t m = 0; m < 5; ++m) {
            const float w = m == shape ? 0.8f : m == (shape + 4) % 5 ? 0.3f : 0.0f;
            vmd.morphKeys.push_back(TestSupport::MakeMorphKey(MorphName(2 + static_cast<int>(m)), frame, w));
        }
        vmd.morphKeys.push_back(TestSupport::MakeMorphKey(MorphName(8), frame, 0.3f + 0.2f * std::sin(frame * 0.05f)));
    }
    return vmd;
}

struct Character {
    std::shared_ptr<Vesma::PMXModel> model = std::make_shared<Vesma::PMXModel>();
    Vesma::VMDModelAnimation motion;
    Character() {
        model->Load(MakeCharacter(), u"character");
        motion.Bind(model);
        motion.AddMotion(MakeDance());
        model->ResetPose();
    }
};

// Plays the dance through at 60 frames a second (half motion frames), looping.
void BM_CharacterFrame(benchmark::State& state) {
    static Character character;
    BenchSupport::TimeFrames(state, *character.model, character.motion, 0.5f, 600.0f, false);
    state.counters["bones"] = static_cast<double>(character.model->GetNodeManager().GetNodeCount());
}
BENCHMARK(BM_CharacterFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same, with every IK chain solved on its own (no lanes), for comparison.
void BM_CharacterFrameOneChainAtATime(benchmark::State& state) {
    static Character character;
    character.model->SetIkLaneSharing(false);
    BenchSupport::TimeFrames(state, *character.model, character.motion, 0.5f, 600.0f, false);
}
BENCHMARK(BM_CharacterFrameOneChainAtATime)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same, with lanes but without AVX: the six skirt chains take two SSE groups.
void BM_CharacterFrameWithoutAvx(benchmark::State& state) {
    static Character character;
    character.model->GetIkLaneSolver().UseAvx(false);
    BenchSupport::TimeFrames(state, *character.model, character.motion, 0.5f, 600.0f, false);
}
BENCHMARK(BM_CharacterFrameWithoutAvx)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
