#include "renderer/TemporalJitter.h"

namespace ProjectTavrin {

JitterStep TemporalJitter::Next(uint32_t frame) {
    JitterStep step;
    step.frame = frame;
    step.historyIndex = frame % 2;
    step.offset = kJitterSequence[frame % kJitterSequence.size()];
    step.delta = {m_previous.x - step.offset.x, m_previous.y - step.offset.y};
    m_previous = step.offset;
    return step;
}

}  // namespace ProjectTavrin
