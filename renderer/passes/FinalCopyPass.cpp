#include "renderer/passes/FinalCopyPass.h"

#include "CompiledShaders.h"
#include "shaders/RendererShaderLayouts.h"
#include "shaders/shared/PostConstants.h"

namespace ProjectTavrin {

using namespace Engine::Platform;

FinalCopyPass::FinalCopyPass(Device& device)
    : m_copy(device, Engine::Shaders::FinalCopy_comp(), Engine::ShaderLayouts::FinalCopy(), "FinalCopy"),
      m_resample(device, Engine::Shaders::OutputResample_comp(), Engine::ShaderLayouts::OutputResample(),
                 "OutputResample") {}

void FinalCopyPass::RecordFinalCopy(CommandList& list, SceneTargets& targets, bool outputStoresBlueFirst) {
    targets.color.TransitionTo(list, ResourceState::NonPixelShaderResource);
    targets.color8Bit.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::FinalCopyConstants c{};
    c.source = targets.color.srvHandle.Gpu();
    c.dest = targets.color8Bit.uavHandle.Gpu();
    c.width = targets.color8Bit.Width();
    c.height = targets.color8Bit.Height();
    c.swapRedBlue = outputStoresBlueFirst ? 1u : 0u;
    m_copy.Bind(list, c);
    list.Dispatch(GroupCount(c.width, 16), GroupCount(c.height, 16), 1);
}

bool FinalCopyPass::NeedsResample(const SceneTargets& targets) { return !(targets.RenderSize() == targets.OutputSize()); }

void FinalCopyPass::RecordResample(CommandList& list, SceneTargets& targets) {
    targets.color8Bit.TransitionTo(list, ResourceState::NonPixelShaderResource);
    targets.outputTemp.TransitionTo(list, ResourceState::UnorderedAccess);
    Engine::Shared::ResampleConstants c{};
    c.srcWidth = targets.color8Bit.Width();
    c.srcHeight = targets.color8Bit.Height();
    c.destWidth = targets.outputTemp.Width();
    c.destHeight = targets.outputTemp.Height();
    c.widthScaling = float(c.srcWidth) / float(c.destWidth);
    c.heightScaling = float(c.srcHeight) / float(c.destHeight);
    c.aspectRatio = float(c.srcWidth) / float(c.srcHeight);
    c.source = targets.color8Bit.srvHandle.Gpu();
    c.dest = targets.outputTemp.uavHandle.Gpu();
    m_resample.Bind(list, c);
    list.Dispatch(GroupCount(c.destWidth, 16), GroupCount(c.destHeight, 16), 1);
}

void FinalCopyPass::RecordOutputCopy(CommandList& list, SceneTargets& targets, Resource& backBuffer) {
    Engine::ColorBuffer& source = NeedsResample(targets) ? targets.outputTemp : targets.color8Bit;
    const ResourceBarrier toCopy = ResourceBarrier::Transition(&backBuffer, ResourceState::Present, ResourceState::CopyDest);
    list.ResourceBarrier(std::span(&toCopy, 1));
    // An output below the smallest size keeps the targets of the last usable one; its back
    // buffer then keeps whatever it held.
    const bool fits = backBuffer.Desc().width == source.Width() && backBuffer.Desc().height == source.Height();
    if (fits) {
        source.TransitionTo(list, ResourceState::CopySource);
        list.CopyResource(backBuffer, *source.GetResource());
    }
    const ResourceBarrier toPresent = ResourceBarrier::Transition(&backBuffer, ResourceState::CopyDest, ResourceState::Present);
    list.ResourceBarrier(std::span(&toPresent, 1));
}

}  // namespace ProjectTavrin
