#include <cmath>
#include <string>
#include <vector>

#include "model/io/VmdWriter.h"
#include "tools/generators/demo/Motions.h"
#include "tools/generators/demo/Tempo.h"

namespace DemoScene {

using namespace Vesma;
using Math::quat;
using Math::vec3;

namespace {

constexpr float kDegree = 3.14159265358979323846f / 180.0f;
constexpr int kBeat = Tempo::kFramesPerBeat;

// Rotation about an axis given in file coordinates, in degrees.
quat Turn(vec3 axis, float degrees) { return Math::QuaternionRotationAxis(axis, degrees * kDegree); }

class DanceBuilder {
public:
    explicit DanceBuilder(VMDFile& file) : m_file(file) {}

    void Key(std::u16string_view bone, int frame, vec3 translation = {}, quat rotation = quat::Identity()) {
        VMDMotionKey key;
        key.boneName = VmdBoneName(bone);
        key.frame = static_cast<uint32_t>(frame);
        key.translation = translation;
        key.rotation = rotation;
        // Eased in and out, so steps start and land softly.
        key.interpolation = VmdBoneCurves(48, 0, 80, 127);
        m_file.boneKeys.push_back(key);
    }

    void Morph(std::u16string_view morph, int frame, float weight) {
        VMDMorphKey key;
        const auto name = VmdBoneName(morph);
        key.morphName = name;
        key.frame = static_cast<uint32_t>(frame);
        key.weight = weight;
        m_file.morphKeys.push_back(key);
    }

private:
    VMDFile& m_file;
};

// Where each foot is (offset from its rest place) at the start of every beat, and which foot
// moves during that beat. Bars alternate a side step-touch with steps forwards and back.
struct FootPlan {
    struct Beat {
        vec3 left, right;  // offsets at the beat's start
        int moving = -1;   // 0 left, 1 right, -1 none
        vec3 target;       // the moving foot's offset when it lands
    };
    std::vector<Beat> beats;

    FootPlan() {
        vec3 left, right;
        for (int b = 0; b < Tempo::kBeats; ++b) {
            const int bar = b / Tempo::kBeatsPerBar, beat = b % Tempo::kBeatsPerBar;
            Beat step{left, right, -1, {}};
            const bool sideways = bar % 2 == 0;
            const bool last = b + 1 == Tempo::kBeats;
            if (!last) {
                if (sideways) {
                    // Left foot out, right foot closes, right foot back, left foot closes.
                    const vec3 targets[4] = {{2.0f, 0, 0}, {2.0f, 0, 0}, {0, 0, 0}, {0, 0, 0}};
                    step.moving = (beat == 0 || beat == 3) ? 0 : 1;
                    step.target = targets[beat];
                } else {
                    const vec3 targets[4] = {{0, 0, -1.5f}, {0, 0, -1.5f}, {0, 0, 0}, {0, 0, 0}};
                    step.moving = beat % 2;
                    step.target = targets[beat];
                }
                (step.moving == 0 ? left : right) = step.target;
            }
            beats.push_back(step);
        }
    }
};

}  // namespace

VMDFile BuildDanceMotion() {
    VMDFile file;
    file.header = VmdSignature();
    file.modelName = VmdModelName(u"デモ人形");
    DanceBuilder dance(file);
    const FootPlan plan;
    const int end = static_cast<int>(Tempo::kLastFrame);

    dance.Key(u"全ての親", 0, kDancePlace);
    dance.Key(u"全ての親", end, kDancePlace);

    for (int b = 0; b < Tempo::kBeats; ++b) {
        const FootPlan::Beat& beat = plan.beats[static_cast<size_t>(b)];
        const int f0 = b * kBeat;
        const int bar = b / Tempo::kBeatsPerBar;
        const bool finale = bar + 1 == Tempo::kBars;
        const float swing = b % 2 == 0 ? 1.0f : -1.0f;

        // Feet: the moving one lifts half way and lands two frames before the next beat; the other
        // stays planted.
        for (int foot = 0; foot < 2; ++foot) {
            const std::u16string_view name = foot == 0 ? u"左足ＩＫ" : u"右足ＩＫ";
            const vec3 start = foot == 0 ? beat.left : beat.right;
            dance.Key(name, f0, start);
            if (beat.moving == foot) {
                dance.Key(name, f0 + 6, (start + beat.target) * 0.5f + vec3{0, 1.4f, 0});
                dance.Key(name, f0 + kBeat - 2, beat.target);
            }
        }
        // The centre rides between the feet and dips on every landing.
        const vec3 landed = beat.moving == 0 ? beat.target : beat.left;
        const vec3 landedRight = beat.moving == 1 ? beat.target : beat.right;
        const vec3 between = (beat.left + beat.right) * 0.5f;
        const vec3 next = (landed + landedRight) * 0.5f;
        dance.Key(u"センター", f0, between + vec3{0, -1.1f, 0});
        dance.Key(u"センター", f0 + kBeat / 2, (between + next) * 0.5f + vec3{0, -0.6f, 0});

        // Body: the upper body leans forwards a little and twists against the lower one, beat by beat.
        dance.Key(u"上半身", f0, {}, Turn({0, 1, 0}, 12.0f * swing) * Turn({1, 0, 0}, -6.0f));
        dance.Key(u"下半身", f0, {}, Turn({0, 1, 0}, -6.0f * swing));
        // The head nods on the off-beat; the ponytail swings after it.
        dance.Key(u"頭", f0, {}, Turn({0, 1, 0}, -8.0f * swing));
        dance.Key(u"頭", f0 + kBeat / 2, {}, Turn({1, 0, 0}, -14.0f) * Turn({0, 1, 0}, -4.0f * swing));

        // Arms swing against the steps; in the last bar they rise and wave.
        for (int side = 0; side < 2; ++side) {
            const float mirror = side == 0 ? 1.0f : -1.0f;
            const std::u16string s = side == 0 ? u"左" : u"右";
            quat arm, elbow;
            if (finale) {
                arm = Turn({0, 0, 1}, 95.0f * mirror) * Turn({1, 0, 0}, 15.0f * swing);
                elbow = Turn({0, 0, 1}, (b % 2 == 0 ? 30.0f : 5.0f) * mirror);
            } else {
                arm = Turn({0, 0, 1}, -20.0f * mirror) * Turn({1, 0, 0}, 28.0f * swing * mirror);
                elbow = Turn({0, 1, 0}, 50.0f * mirror);
            }
            dance.Key(s + u"腕", f0, {}, arm);
            dance.Key(s + u"ひじ", f0, {}, elbow);
            dance.Key(s + u"手首", f0, {}, Turn({0, 0, 1}, 12.0f * swing * mirror));
            // A loose fist while dancing, an open hand in the finale.
            for (const char16_t* finger : {u"人指", u"中指", u"薬指", u"小指"}) {
                for (const char16_t* joint : {u"１", u"２", u"３"}) {
                    dance.Key(s + finger + joint, f0, {}, Turn({0, 0, 1}, (finale ? 5.0f : 35.0f) * mirror));
                }
            }
        }

        // Morphs: the mouth opens on every beat after the first bar, the eyes blink now and then.
        if (bar >= 1 && !finale) {
            dance.Morph(u"あ", f0, 0.0f);
            dance.Morph(u"あ", f0 + 3, 0.8f);
            dance.Morph(u"あ", f0 + 10, 0.0f);
        }
        if (b % 6 == 3) {
            dance.Morph(u"まばたき", f0, 0.0f);
            dance.Morph(u"まばたき", f0 + 3, 1.0f);
            dance.Morph(u"まばたき", f0 + 6, 0.0f);
        }
    }
    // The last pose holds.
    const FootPlan::Beat& last = plan.beats.back();
    dance.Key(u"左足ＩＫ", end, last.left);
    dance.Key(u"右足ＩＫ", end, last.right);
    dance.Key(u"センター", end, (last.left + last.right) * 0.5f + vec3{0, -0.6f, 0});
    const int finaleStart = (Tempo::kBars - 1) * Tempo::kBeatsPerBar * kBeat;
    dance.Morph(u"笑顔", 0, 0.0f);
    dance.Morph(u"笑顔", finaleStart, 0.0f);
    dance.Morph(u"笑顔", finaleStart + kBeat, 1.0f);
    dance.Morph(u"照れ", finaleStart + kBeat, 0.0f);
    dance.Morph(u"照れ", end, 1.0f);

    // Every IK on from the first frame.
    VMDIKKey ik;
    ik.frame = 0;
    ik.show = 1;
    for (const std::u16string_view name : {u"左足ＩＫ", u"右足ＩＫ", u"左つま先ＩＫ", u"右つま先ＩＫ"}) {
        VMDIKInfo info;
        info.name = VmdIKName(name);
        info.enable = 1;
        ik.ikInfos.push_back(info);
    }
    file.ikKeys.push_back(ik);
    return file;
}

}  // namespace DemoScene
