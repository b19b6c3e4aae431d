#include "renderer/GpuPassTimes.h"

#include <algorithm>

namespace ProjectTavrin {

void GpuTimeSpread::Add(double ms) {
    minMs = frames ? std::min(minMs, ms) : ms;
    maxMs = frames ? std::max(maxMs, ms) : ms;
    totalMs += ms;
    ++frames;
}

const GpuPassTime* GpuPassTimes::Find(const std::string& path) const {
    for (const GpuPassTime& p : m_passes)
        if (p.path == path) return &p;
    return nullptr;
}

void GpuPassTimes::Add(const Engine::Platform::TimedFrame& frame) {
    m_frame.Add(frame.milliseconds);
    // This frame's time per place, in the order the places first opened.
    std::vector<std::string> paths(frame.scopes.size());
    std::vector<uint32_t> depths(frame.scopes.size(), 0);
    std::vector<std::pair<std::string, double>> sums;
    for (size_t i = 0; i < frame.scopes.size(); ++i) {
        const Engine::Platform::TimedScope& scope = frame.scopes[i];
        const bool nested = scope.parent >= 0 && static_cast<size_t>(scope.parent) < i;
        paths[i] = nested ? paths[static_cast<size_t>(scope.parent)] + "/" + scope.name : scope.name;
        depths[i] = nested ? depths[static_cast<size_t>(scope.parent)] + 1 : 0;
        auto it = std::find_if(sums.begin(), sums.end(), [&](const auto& s) { return s.first == paths[i]; });
        if (it == sums.end()) {
            sums.emplace_back(paths[i], scope.milliseconds);
            if (!Find(paths[i])) {
                // A new place goes after the last pass inside its parent (or at the end).
                GpuPassTime pass{scope.name, paths[i], depths[i], {}};
                auto at = m_passes.end();
                if (nested) {
                    const std::string& parent = paths[static_cast<size_t>(scope.parent)];
                    auto p = std::find_if(m_passes.begin(), m_passes.end(), [&](const GpuPassTime& t) { return t.path == parent; });
                    if (p != m_passes.end()) {
                        at = p + 1;
                        while (at != m_passes.end() && at->path.compare(0, parent.size() + 1, parent + "/") == 0) ++at;
                    }
                }
                m_passes.insert(at, std::move(pass));
            }
        } else {
            it->second += scope.milliseconds;
        }
    }
    for (const auto& [path, ms] : sums)
        for (GpuPassTime& p : m_passes)
            if (p.path == path) p.time.Add(ms);
}

}  // namespace ProjectTavrin
