#include "model/motion/LightAnimation.h"

#include <algorithm>
#include <cmath>

#include "model/motion/KeySearch.h"

namespace Vesma {
namespace {

Math::vec3 Blend(const Math::vec3& a, const Math::vec3& b, float t) { return a + (b - a) * t; }

}  // namespace

LightKey LightAnimation::MakeKey(const VMDLightKey& record) {
    LightKey key;
    key.frame = static_cast<std::int32_t>(record.frame);
    key.color = record.color;
    key.direction = {record.position.x, record.position.y, -record.position.z};
    return key;
}

bool LightAnimation::Build(std::span<const VMDLightKey> records) {
    m_keys.clear();
    m_keys.reserve(records.size());
    for (const VMDLightKey& record : records) m_keys.push_back(MakeKey(record));
    std::stable_sort(m_keys.begin(), m_keys.end(), [](const LightKey& a, const LightKey& b) { return a.frame < b.frame; });
    m_state = LightState{};
    m_cachedIndex = 0;
    return !m_keys.empty();
}

void LightAnimation::Evaluate(float frame) {
    const KeyLookup found = FindKey(std::span<const LightKey>(m_keys), frame, m_cachedIndex);
    switch (found.position) {
    case KeyPosition::Empty:
        return;
    case KeyPosition::First:
    case KeyPosition::PastEnd:
        m_state = {m_keys[found.index].color, m_keys[found.index].direction};
        return;
    case KeyPosition::Between:
        break;
    }
    const LightKey& k0 = m_keys[found.index - 1];
    const LightKey& k1 = m_keys[found.index];
    // Keys on neighbouring frames are a cut: the earlier one holds until the later is reached.
    if (static_cast<std::int64_t>(k1.frame) - k0.frame < 2) {
        m_state = {k0.color, k0.direction};
        return;
    }
    const float t = KeyProgress(frame, k0.frame, k1.frame);
    m_state = {Blend(k0.color, k1.color, t), Blend(k0.direction, k1.direction, t)};
}

std::optional<Math::vec3> LightAnimation::TowardsLight(const LightState& state) {
    const Math::vec3& d = state.direction;
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(length > 0.0f) || !std::isfinite(length)) return std::nullopt;
    return d * (-1.0f / length);
}

}  // namespace Vesma
