#include "Engine/GpuResource/GpuResource.h"

#include "Engine/EngineCore.h"

namespace Engine {

using Platform::ResourceBarrier;
using Platform::ResourceState;

void GpuResource::TransitionTo(ResourceState state) {
    EngineCore& core = *EngineCore::GetInstance();
    if (state != m_state) {
        core.AppendBarrier(ResourceBarrier::Transition(m_resource.get(), m_state, state));
        m_state = state;
    } else if (state == ResourceState::UnorderedAccess) {
        core.AppendBarrier(ResourceBarrier::UAV(m_resource.get()));
    } else {
        return;
    }
    core.FlushBarriers();
}

bool GpuResource::TransitionTo(Platform::CommandList& list, ResourceState state) {
    if (state != m_state) {
        const ResourceBarrier barrier = ResourceBarrier::Transition(m_resource.get(), m_state, state);
        list.ResourceBarrier(std::span(&barrier, 1));
        m_state = state;
        return true;
    }
    if (state == ResourceState::UnorderedAccess) {
        const ResourceBarrier barrier = ResourceBarrier::UAV(m_resource.get());
        list.ResourceBarrier(std::span(&barrier, 1));
    }
    return false;
}

}  // namespace Engine
