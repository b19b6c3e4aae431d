#pragma once
// Builds a Scene from the entries of the scene list, in entry order:
//  - a camera entry with a motion reads the VMD and replaces the camera motion; a file without
//    camera keys logs "相机使用的VMD没有相机数据！" and leaves the scene without one;
//  - any other entry makes a model (from its file, or the built-in sample for "<Sample>"), gives
//    it its GPU side, and binds, warms up and evaluates its motion;
//  - the light and self-shadow keys of the motion files (the camera motion's where it has them,
//    else the first model motion's) become the scene's light motion.
// A motion file is a VMD motion or a VPD pose (a one-key motion); a model file PMX or PMD.
//
// A model that fails to load stays in the scene (possibly empty); a motion that fails leaves its
// model without one; a failing GPU call (HrException) drops the entry. Each failure logs which
// file failed and why, and loading goes on with the next entry.
#include <functional>
#include <memory>
#include <vector>

#include "scene/ModelConfig.h"
#include "scene/Scene.h"

namespace ProjectTavrin {

/// Makes the GPU side of a loaded model (textures, buffers); may throw HrException. Empty when
/// there is no device: the scene then has no GPU sides.
using ModelGpuFactory = std::function<std::unique_ptr<PMXModelGpu>(Vesma::PMXModel&)>;

/// Starts `motion` (bound to `model`) at `frame` as a freshly loaded scene starts: hair and
/// cloth settle into the pose at `frame`, then the model goes back to rest (which also resets
/// its physics) and is posed at `frame`.
void SettleMotionAt(Vesma::VMDModelAnimation& motion, Vesma::PMXModel& model, float frame);

/// Empties `scene`, then loads `entries` into it.
void LoadSceneEntries(const std::vector<SceneEntry>& entries, Scene& scene, const ModelGpuFactory& makeGpu = {});

}  // namespace ProjectTavrin
