#pragma once
// GPU times of the frame's passes gathered over many frames: the mean, the shortest and the
// longest per pass and for the whole frame. A pass is known by its place (the passes holding it
// and its name), so "RenderModel" inside "Main Draw" stays apart from a pass of the same name
// elsewhere; a pass opened twice in one frame counts once, with both times added.
#include <cstdint>
#include <string>
#include <vector>

#include "Engine/Platform/GpuTimestamps.h"

namespace ProjectTavrin {

struct GpuTimeSpread {
    uint32_t frames = 0;
    double totalMs = 0.0;
    double minMs = 0.0;
    double maxMs = 0.0;
    double MeanMs() const { return frames ? totalMs / frames : 0.0; }
    void Add(double ms);
};

struct GpuPassTime {
    std::string name;
    std::string path;  ///< the names of the passes holding it and its own, joined by '/'
    uint32_t depth = 0;
    GpuTimeSpread time;
};

class GpuPassTimes {
public:
    void Add(const Engine::Platform::TimedFrame& frame);
    /// Passes in the order they first ran, each after the pass holding it.
    const std::vector<GpuPassTime>& Passes() const { return m_passes; }
    const GpuTimeSpread& Frame() const { return m_frame; }
    const GpuPassTime* Find(const std::string& path) const;

private:
    std::vector<GpuPassTime> m_passes;
    GpuTimeSpread m_frame;
};

}  // namespace ProjectTavrin
