#pragma once
// tavrin-render's report of the GPU times of the frames it played: per pass (nested passes
// indented under the pass holding them) and for the whole frame, as text or as a JSON member.
#include <string>

#include "renderer/GpuPassTimes.h"

namespace TavrinRender {

/// Text lines for --profile; `available` false says the device cannot time its queue.
std::string GpuTimesText(const ProjectTavrin::GpuPassTimes& times, bool available);
/// The value of the JSON document's "gpu_times" member.
std::string GpuTimesJson(const ProjectTavrin::GpuPassTimes& times, bool available);

}  // namespace TavrinRender
