#pragma once
// Whether the graphics device can run the engine, asked before a scene is loaded.
#include <cstdint>
#include <functional>

namespace TavrinApp {

enum class DeviceSupport { QueryFailed, Unsupported, Supported };
using DeviceCheck = std::function<DeviceSupport()>;

/// Supported when the packed Vulkan version is at least 1.3.
DeviceSupport SupportForApiVersion(std::uint32_t apiVersion);
/// Asks the engine's device; QueryFailed when there is none.
DeviceSupport CheckEngineDevice();

}  // namespace TavrinApp
