#pragma once
// The live scene of the engine: the models in entry order, each with its GPU side (when there is
// a device) and its motion (or none), at most one camera motion and at most one light motion.
//
// The three model lists have the same length. A motion keeps its model alive; the GPU side refers
// to its model, so it is released first.
#include <cstddef>
#include <memory>
#include <vector>

#include "model/PMXModel.h"
#include "model/motion/VMDModelAnimation.h"
#include "renderer/PMXModelGpu.h"
#include "scene/CameraMotion.h"
#include "scene/LightMotion.h"
#include "scene/SceneLoadTimes.h"

namespace ProjectTavrin {

struct Scene {
    std::vector<std::shared_ptr<Vesma::PMXModel>> models;
    std::vector<std::unique_ptr<PMXModelGpu>> modelGpus;  ///< null where there is no device
    std::vector<std::shared_ptr<Vesma::VMDModelAnimation>> motions;
    std::unique_ptr<CameraMotion> cameraMotion;
    std::unique_ptr<LightMotion> lightMotion;  ///< null when no motion file has light or self-shadow keys
    SceneLoadTimes loadTimes;  ///< of the load that made this scene

    Scene() = default;
    ~Scene() { Clear(); }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    std::size_t ModelCount() const { return models.size(); }
    bool Empty() const { return models.empty() && !cameraMotion; }
    /// Releases every model, motion and the camera motion (GPU sides first).
    void Clear() {
        modelGpus.clear();
        motions.clear();
        models.clear();
        cameraMotion.reset();
        lightMotion.reset();
        loadTimes = {};
    }
};

}  // namespace ProjectTavrin
