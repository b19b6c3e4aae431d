#pragma once
// The names of the passes one frame recorded, in order: each is also the debug label around the
// pass's commands, so a graphics debugger and the tests see the same list. With a timer attached
// every pass is also timed on the GPU, nested passes inside the pass that holds them.
#include <string>
#include <string_view>
#include <vector>

#include "Engine/Platform/CommandList.h"
#include "Engine/Platform/GpuTimestamps.h"

namespace ProjectTavrin {

class PassLog {
public:
    void BeginFrame() { m_names.clear(); }
    void Add(std::string_view name) { m_names.emplace_back(name); }
    const std::vector<std::string>& Names() const { return m_names; }
    bool Contains(std::string_view name) const;
    /// Times every pass opened from now on (null: none).
    void SetTimer(Engine::Platform::GpuTimestamps* timer) { m_timer = timer; }
    Engine::Platform::GpuTimestamps* Timer() const { return m_timer; }

private:
    std::vector<std::string> m_names;
    Engine::Platform::GpuTimestamps* m_timer = nullptr;
};

/// Opens the debug label `name` on `list`, logs it and starts its timer if the log has one; stops
/// the timer and closes the label when it goes.
class ScopedPass {
public:
    ScopedPass(Engine::Platform::CommandList& list, PassLog& log, std::string_view name);
    ~ScopedPass();
    ScopedPass(const ScopedPass&) = delete;
    ScopedPass& operator=(const ScopedPass&) = delete;

private:
    Engine::Platform::CommandList& m_list;
    Engine::Platform::GpuTimestamps* m_timer;
};

}  // namespace ProjectTavrin
