#include "tools/render/GpuTimeReport.h"

#include <algorithm>
#include <cstdio>

#include "tools/render/JsonText.h"

namespace TavrinRender {
namespace {

std::string Line(const std::string& label, const ProjectTavrin::GpuTimeSpread& t, std::size_t width) {
    char text[64];
    std::snprintf(text, sizeof text, " %9.3f %9.3f %9.3f", t.MeanMs(), t.minMs, t.maxMs);
    return "  " + label + std::string(width > label.size() ? width - label.size() : 0, ' ') + text + "\n";
}

std::string Spread(const ProjectTavrin::GpuTimeSpread& t) {
    char text[128];
    std::snprintf(text, sizeof text, "\"mean_ms\": %.4f, \"min_ms\": %.4f, \"max_ms\": %.4f, \"frames\": %u", t.MeanMs(),
                  t.minMs, t.maxMs, t.frames);
    return text;
}

}  // namespace

std::string GpuTimesText(const ProjectTavrin::GpuPassTimes& times, bool available) {
    if (!available) return "GPU times: not available (this device's queue writes no timestamps)\n";
    if (times.Frame().frames == 0) return "GPU times: no frame was timed\n";
    std::size_t width = 5;
    for (const ProjectTavrin::GpuPassTime& p : times.Passes()) width = std::max(width, p.name.size() + 2 * p.depth);
    char head[64];
    std::snprintf(head, sizeof head, "GPU time over %u frames, ms:\n", times.Frame().frames);
    std::string out = head;
    out += "  " + std::string(width, ' ') + "      mean       min       max\n";
    out += Line("frame", times.Frame(), width);
    for (const ProjectTavrin::GpuPassTime& p : times.Passes()) out += Line(std::string(2 * p.depth, ' ') + p.name, p.time, width);
    return out;
}

std::string GpuTimesJson(const ProjectTavrin::GpuPassTimes& times, bool available) {
    if (!available) return "{\"available\": false}";
    std::string out = "{\"available\": true, \"frame\": {" + Spread(times.Frame()) + "}, \"passes\": [";
    bool first = true;
    for (const ProjectTavrin::GpuPassTime& p : times.Passes()) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += "{\"name\": " + JsonString(p.name) + ", \"path\": " + JsonString(p.path) + ", \"depth\": " + std::to_string(p.depth) +
               ", " + Spread(p.time) + "}";
    }
    return out + "]}";
}

}  // namespace TavrinRender
