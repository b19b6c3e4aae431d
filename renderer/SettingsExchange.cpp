#include "renderer/SettingsExchange.h"

namespace ProjectTavrin {

uint64_t SettingsExchange::Edit(const std::function<void(FrameSettings&)>& edit) {
    std::lock_guard<std::mutex> guard(m_lock);
    edit(m_settings);
    FollowGiMode(m_settings.render.config);
    return ++m_revision;
}

FrameSettings SettingsExchange::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_settings;
}

uint64_t SettingsExchange::Revision() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_revision;
}

}  // namespace ProjectTavrin
