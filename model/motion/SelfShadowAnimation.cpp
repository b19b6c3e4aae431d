#include "model/motion/SelfShadowAnimation.h"

#include <algorithm>
#include <cmath>

#include "model/motion/KeySearch.h"

namespace Vesma {

bool SelfShadowAnimation::Build(std::span<const VMDShadowKey> records) {
    m_keys.clear();
    m_keys.reserve(records.size());
    for (const VMDShadowKey& record : records)
        m_keys.push_back({static_cast<std::int32_t>(record.frame), record.mode, record.distance});
    std::stable_sort(m_keys.begin(), m_keys.end(),
                     [](const SelfShadowKey& a, const SelfShadowKey& b) { return a.frame < b.frame; });
    m_state = SelfShadowState{};
    m_cachedIndex = 0;
    return !m_keys.empty();
}

void SelfShadowAnimation::Evaluate(float frame) {
    const KeyLookup found = FindKey(std::span<const SelfShadowKey>(m_keys), frame, m_cachedIndex);
    switch (found.position) {
    case KeyPosition::Empty:
        return;
    case KeyPosition::First:
    case KeyPosition::PastEnd:
        m_state = {m_keys[found.index].mode, m_keys[found.index].distance};
        return;
    case KeyPosition::Between:
        break;
    }
    const SelfShadowKey& k0 = m_keys[found.index - 1];
    const SelfShadowKey& k1 = m_keys[found.index];
    if (static_cast<std::int64_t>(k1.frame) - k0.frame < 2) {
        m_state = {k0.mode, k0.distance};
        return;
    }
    const float t = KeyProgress(frame, k0.frame, k1.frame);
    m_state = {k0.mode, k0.distance + (k1.distance - k0.distance) * t};
}

float SelfShadowAnimation::ShadowRange(float distance) {
    const float range = distance * 10000.0f;
    return std::isfinite(range) ? std::clamp(range, 1.0f, 16384.0f) : 512.0f;
}

}  // namespace Vesma
