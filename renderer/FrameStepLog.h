#pragma once
// Every step one frame went through, in order, with whether its rule let it work. Unlike the
// pass log, which lists only what recorded GPU work, this shows the whole frame: a step whose
// pass is not written yet appears here when its settings ask for it.
#include <vector>

#include "renderer/FrameSteps.h"

namespace ProjectTavrin {

struct FrameStepEntry {
    FrameStep step;
    bool wanted;
};

class FrameStepLog {
public:
    void BeginFrame() { m_entries.clear(); }
    void Add(FrameStep step, bool wanted) { m_entries.push_back({step, wanted}); }
    const std::vector<FrameStepEntry>& Entries() const { return m_entries; }
    /// Whether the last frame reached `step` and let it work.
    bool Wanted(FrameStep step) const;

private:
    std::vector<FrameStepEntry> m_entries;
};

}  // namespace ProjectTavrin
