#pragma once
// The demo's motions: a dance for the mannequin and a camera motion that follows it, both on the
// demo tempo.
#include "model/io/VMDFile.h"

namespace DemoScene {

/// Where the dance puts the mannequin: its master bone's offset from the origin, in file
/// coordinates (in front of the stage's row of shapes).
inline constexpr Math::vec3 kDancePlace{0.0f, 0.0f, -8.0f};

/// The mannequin's dance: side steps and forward steps on the leg IK, a bouncing centre, twisting
/// body, swinging arms, a nodding head that throws the ponytail, and morph keys.
Vesma::VMDFile BuildDanceMotion();

/// A camera motion over the same frames: slow orbits around the dancer, a close-up and a cut
/// to a wide shot of the stage.
Vesma::VMDFile BuildCameraMotion();

}  // namespace DemoScene
