#pragma once
// The ray-traced scene's geometry from the loaded models: the set "All" with one record per
// drawable material range of every model, in load order, then material order. Materials with no
// indices, shading model 0 (not drawn) or 11 (thin translucent) are left out, and a range that
// runs past the model's index buffer (a damaged file) keeps what lies inside it.
#include <map>
#include <string>
#include <vector>

#include "Engine/raytracing/GeometryInstance.h"
#include "Engine/raytracing/SceneAccelerationStructures.h"
#include "renderer/PMXModelGpu.h"

namespace ProjectTavrin {

std::map<std::string, Engine::BottomLevelGeometry> CollectGeometry(const std::vector<PMXModelGpu*>& models);

}  // namespace ProjectTavrin
