#include "renderer/PassLog.h"

#include <algorithm>

namespace ProjectTavrin {

bool PassLog::Contains(std::string_view name) const {
    return std::find(m_names.begin(), m_names.end(), name) != m_names.end();
}

ScopedPass::ScopedPass(Engine::Platform::CommandList& list, PassLog& log, std::string_view name)
    : m_list(list), m_timer(log.Timer()) {
    log.Add(name);
    m_list.BeginEvent(name);
    if (m_timer) m_timer->BeginScope(m_list, name);
}

ScopedPass::~ScopedPass() {
    if (m_timer) m_timer->EndScope(m_list);
    m_list.EndEvent();
}

}  // namespace ProjectTavrin
