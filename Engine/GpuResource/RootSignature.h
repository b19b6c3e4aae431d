#pragma once
// Creation of root signatures (pipeline layouts) with an optional debug name.
#include <memory>
#include <string_view>

#include "Engine/Platform/Device.h"

namespace Engine {

/// Creates the root signature described by `desc` into `rootSignature` (replacing what it held)
/// and names it; a failing call raises HrException.
void CreateRootSignature(Platform::Device& device, const Platform::RootSignatureDesc& desc,
                         std::shared_ptr<Platform::RootSignature>& rootSignature, std::string_view name = {});

}  // namespace Engine
