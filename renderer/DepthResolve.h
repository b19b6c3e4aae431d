#pragma once
// The main draw's depth into "SceneDepthBuffer", the single-sampled depth the later passes
// (TAA's linear depth, and the screen-space passes to come) read.
#include <cstdint>

#include "Engine/Platform/CommandList.h"
#include "renderer/SceneTargets.h"

namespace ProjectTavrin {

/// The nearest sample of each pixel is kept: an edge pixel then carries the depth of the
/// surface in front, so TAA's depth test follows the object that covers it. Devices without a
/// min resolve take sample zero.
inline constexpr auto kSceneDepthResolveMode = Engine::Platform::DepthResolveMode::Min;

/// Resolves the multisampled scene depth into the single-sampled one, or copies it where the
/// device draws with one sample. Leaves "SceneDepthBuffer" ready to be read by compute shaders.
void ResolveSceneDepth(Engine::Platform::CommandList& list, SceneTargets& targets, uint32_t sampleCount);

}  // namespace ProjectTavrin
