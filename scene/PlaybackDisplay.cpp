#include "scene/PlaybackDisplay.h"

#include <algorithm>
#include <cstdio>

namespace ProjectTavrin {

std::string PlaybackTimeText(int64_t ticks) {
    const long long seconds = std::max<int64_t>(ticks, 0) / 10'000'000;
    char text[32];
    std::snprintf(text, sizeof(text), "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return text;
}

std::string DurationText(int64_t ticks) { return "/" + PlaybackTimeText(ticks); }

double PositionBarValue(int64_t positionTicks, int64_t durationTicks) {
    const int64_t hundredth = durationTicks / 100;
    if (hundredth <= 0) return 0.0;
    return std::clamp(static_cast<double>(positionTicks) / static_cast<double>(hundredth), 0.0, 100.0);
}

}  // namespace ProjectTavrin
