#pragma once
// The names of the passes one frame recorded, in order: each is also the debug label around the
// pass's commands, so a graphics debugger and the tests see the same list.
#include <string>
#include <string_view>
#include <vector>

#include "Engine/Platform/CommandList.h"

namespace ProjectTavrin {

class PassLog {
public:
    void BeginFrame() { m_names.clear(); }
    void Add(std::string_view name) { m_names.emplace_back(name); }
    const std::vector<std::string>& Names() const { return m_names; }
    bool Contains(std::string_view name) const;

private:
    std::vector<std::string> m_names;
};

/// Opens the debug label `name` on `list` and logs it; closes the label when it goes.
class ScopedPass {
public:
    ScopedPass(Engine::Platform::CommandList& list, PassLog& log, std::string_view name);
    ~ScopedPass();
    ScopedPass(const ScopedPass&) = delete;
    ScopedPass& operator=(const ScopedPass&) = delete;

private:
    Engine::Platform::CommandList& m_list;
};

}  // namespace ProjectTavrin
