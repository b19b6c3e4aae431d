#include "model/skeleton/FixedAxis.h"

#include <algorithm>
#include <cmath>

namespace Vesma {

Math::vec3 FixedAxisFromFile(const Math::vec3& fileAxis) {
    // Scaled by its largest component first, so that the squares neither overflow nor vanish:
    // any finite non-zero axis has a direction.
    if (!std::isfinite(fileAxis.x) || !std::isfinite(fileAxis.y) || !std::isfinite(fileAxis.z)) return {0, 0, 0};
    const float largest = std::max({std::fabs(fileAxis.x), std::fabs(fileAxis.y), std::fabs(fileAxis.z)});
    if (largest == 0.0f) return {0, 0, 0};
    const Math::vec3 scaled{fileAxis.x / largest, fileAxis.y / largest, -fileAxis.z / largest};
    return Math::Normalize(scaled);
}

}  // namespace Vesma
