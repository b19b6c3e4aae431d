#pragma once
// The end of the frame: the graded scene into the 8-bit final image, then that image into the
// output's back buffer, directly when the sizes agree and through the fitting resample into the
// output-size target when they do not.
#include <string_view>

#include "Engine/EngineCore.h"
#include "renderer/SceneTargets.h"
#include "renderer/passes/ComputePass.h"

namespace ProjectTavrin {

class FinalCopyPass {
public:
    static constexpr std::string_view kName = "FinalCopy";
    static constexpr std::string_view kResampleName = "OutputResample";

    explicit FinalCopyPass(Engine::Platform::Device& device);
    /// The final copy into "SceneColor8BitBuffer".
    void RecordFinalCopy(Engine::Platform::CommandList& list, SceneTargets& targets, bool outputStoresBlueFirst);
    /// True when the output needs the resample (the render size is not the output size).
    static bool NeedsResample(const SceneTargets& targets);
    /// Fits the 8-bit image into "OutputTempBuffer".
    void RecordResample(Engine::Platform::CommandList& list, SceneTargets& targets);
    /// Copies the 8-bit image (or the resampled one) into the back buffer, leaving it presentable.
    void RecordOutputCopy(Engine::Platform::CommandList& list, SceneTargets& targets, Engine::Platform::Resource& backBuffer);

private:
    ComputePass m_copy;
    ComputePass m_resample;
};

}  // namespace ProjectTavrin
