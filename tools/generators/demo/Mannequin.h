#pragma once
// The demo character: a jointed mannequin of boxes and capsules with the bone names that dance
// motions for humanoid PMX models expect, the leg and toe IK chains, a ponytail on rigid bodies
// and joints, and a few morphs.
//
// File coordinates: y up, the character faces -z, its left side is +x, about 8 cm per unit.
#include "core/Math.h"
#include "model/io/PMXFile.h"

namespace DemoScene {

/// Joint positions of the left side (the right side mirrors x) and of the head and ponytail.
struct MannequinMeasures {
    static constexpr Math::vec3 kCenter{0.0f, 8.0f, 0.0f};
    static constexpr Math::vec3 kLeftLeg{1.0f, 9.6f, 0.0f};
    static constexpr Math::vec3 kLeftKnee{1.0f, 5.4f, -0.15f};
    static constexpr Math::vec3 kLeftAnkle{1.0f, 1.2f, 0.1f};
    static constexpr Math::vec3 kLeftToe{1.0f, 0.15f, -1.5f};
    static constexpr Math::vec3 kHead{0.0f, 16.4f, 0.0f};
    static constexpr Math::vec3 kHairRoot{0.0f, 18.2f, 1.35f};
    /// Ponytail bones from the root down (the last is the tip, without a rigid body).
    static constexpr int kHairBones = 5;
};

/// The whole model, deterministic.
Vesma::PMXFile BuildMannequin();

}  // namespace DemoScene
