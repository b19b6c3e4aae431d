#pragma once
// Base of the resource wrappers: the platform resource and the usage state the wrapper believes
// it is in. Barriers are recorded only when that state changes (or, for unordered access, as a
// UAV barrier between two unordered-access uses).
#include <memory>

#include "Engine/Platform/CommandList.h"
#include "Engine/Platform/Resource.h"

namespace Engine {

class GpuResource {
public:
    virtual ~GpuResource() = default;

    Platform::Resource* GetResource() const { return m_resource.get(); }
    const std::shared_ptr<Platform::Resource>& GetResourceShared() const { return m_resource; }
    Platform::ResourceState GetState() const { return m_state; }
    /// For code that changed the state itself (e.g. a barrier recorded on another list).
    void SetState(Platform::ResourceState state) { m_state = state; }

    /// Batched form: appends to EngineCore's barrier batch and flushes it at once.
    void TransitionTo(Platform::ResourceState state);
    /// Immediate form: one barrier on `list`; true only when a transition was recorded.
    bool TransitionTo(Platform::CommandList& list, Platform::ResourceState state);

protected:
    std::shared_ptr<Platform::Resource> m_resource;
    Platform::ResourceState m_state = Platform::ResourceState::Common;
};

}  // namespace Engine
