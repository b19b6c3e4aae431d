#include "app/DeviceCheck.h"

#include <exception>

#include "Engine/EngineCore.h"

namespace TavrinApp {

DeviceSupport SupportForApiVersion(std::uint32_t apiVersion) {
    // Packed as variant (3 bits), major (7), minor (10), patch (12).
    const std::uint32_t major = (apiVersion >> 22) & 0x7Fu;
    const std::uint32_t minor = (apiVersion >> 12) & 0x3FFu;
    return major > 1 || (major == 1 && minor >= 3) ? DeviceSupport::Supported : DeviceSupport::Unsupported;
}

DeviceSupport CheckEngineDevice() {
    try {
        const auto& core = Engine::EngineCore::GetInstance();
        if (!core || !core->GetDevice()) return DeviceSupport::QueryFailed;
        return SupportForApiVersion(core->GetDevice()->Adapter().apiVersion);
    } catch (const std::exception&) {
        return DeviceSupport::QueryFailed;
    }
}

}  // namespace TavrinApp
