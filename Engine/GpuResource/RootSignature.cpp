#include "Engine/GpuResource/RootSignature.h"

namespace Engine {

void CreateRootSignature(Platform::Device& device, const Platform::RootSignatureDesc& desc,
                         std::shared_ptr<Platform::RootSignature>& rootSignature, std::string_view name) {
    rootSignature = device.CreateRootSignature(desc);
    if (!name.empty()) rootSignature->SetName(name);
}

}  // namespace Engine
