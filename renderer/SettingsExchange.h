#pragma once
// Hands the render settings and post parameters from the UI thread to the render thread. The UI
// edits through Edit (a function that changes any number of fields under the lock); the render
// thread takes one Snapshot per frame. A setting spanning several fields (a colour, a direction)
// is therefore seen either wholly old or wholly new, never half-written.
#include <cstdint>
#include <functional>
#include <mutex>

#include "renderer/PostParams.h"
#include "renderer/RenderSettings.h"

namespace ProjectTavrin {

struct FrameSettings {
    RenderSettings render;
    PostParams post;
};

class SettingsExchange {
public:
    /// Applies `edit` to the shared copy under the lock, then brings GI_Enable in line with
    /// GI_Mode (FollowGiMode); returns the new revision.
    uint64_t Edit(const std::function<void(FrameSettings&)>& edit);
    FrameSettings Snapshot() const;
    /// Counts the edits made so far (renderers rebuild size-dependent targets when it moves).
    uint64_t Revision() const;

private:
    mutable std::mutex m_lock;
    FrameSettings m_settings;
    uint64_t m_revision = 0;
};

}  // namespace ProjectTavrin
