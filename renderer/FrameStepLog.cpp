#include "renderer/FrameStepLog.h"

namespace ProjectTavrin {

bool FrameStepLog::Wanted(FrameStep step) const {
    for (const FrameStepEntry& e : m_entries)
        if (e.step == step) return e.wanted;
    return false;
}

}  // namespace ProjectTavrin
