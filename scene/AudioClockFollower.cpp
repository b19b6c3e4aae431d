#include "scene/AudioClockFollower.h"

#include <algorithm>

namespace ProjectTavrin {

uint64_t AudioClockFollower::Follow(uint64_t clockTicks, uint64_t audioTicks, uint64_t stepTicks) {
    const int64_t gap = static_cast<int64_t>(audioTicks) - static_cast<int64_t>(clockTicks);
    if (gap > kJumpTicks || gap < -kJumpTicks) return audioTicks;
    const double share = std::min(1.0, static_cast<double>(stepTicks) / static_cast<double>(kSettleTicks));
    const int64_t moved = static_cast<int64_t>(clockTicks) + static_cast<int64_t>(static_cast<double>(gap) * share);
    return static_cast<uint64_t>(std::max<int64_t>(moved, 0));
}

}  // namespace ProjectTavrin
