#pragma once
// Format families used when creating the resource wrappers: the typeless resource format behind
// a requested format, the format of unordered-access views, and the depth-buffer table.
#include "Engine/Platform/Format.h"

namespace Engine {

Platform::Format TypelessFormat(Platform::Format format);
Platform::Format UavFormat(Platform::Format format);

struct DepthFormats {
    Platform::Format resource;
    Platform::Format dsv;
    Platform::Format srv;
};
/// The row of the depth table for any format of a depth family (D32_FLOAT when unknown).
DepthFormats DepthFormatsFor(Platform::Format format);

}  // namespace Engine
