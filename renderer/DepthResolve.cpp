#include "renderer/DepthResolve.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

void ResolveSceneDepth(CommandList& list, SceneTargets& targets, uint32_t sampleCount) {
    if (sampleCount > 1) {
        targets.depth.ResolveFrom(targets.depthMsaa, list, kSceneDepthResolveMode);
    } else {
        // One sample: the "multisampled" depth is a plain image of the same size and format.
        targets.depthMsaa.TransitionTo(list, ResourceState::CopySource);
        targets.depth.TransitionTo(list, ResourceState::CopyDest);
        list.CopyResource(*targets.depth.GetResource(), *targets.depthMsaa.GetResource());
    }
    targets.depth.TransitionTo(list, ResourceState::NonPixelShaderResource);
}

}  // namespace ProjectTavrin
