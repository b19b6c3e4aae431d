#pragma once
// The scene's camera motion: the evaluator built from a camera VMD and the state it gave at the
// last update (look-at point, rotation, distance, field of view), which starts at the evaluator's
// initial state. A new camera entry replaces the whole object.
#include "model/motion/CameraAnimation.h"

namespace ProjectTavrin {

struct CameraMotion {
    Vesma::CameraAnimation evaluator;
    Vesma::CameraState lastEvaluated;
};

}  // namespace ProjectTavrin
