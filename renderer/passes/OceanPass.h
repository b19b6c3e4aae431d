#pragma once
// The ocean draw: a plane under the camera at the surface height, shaded per pixel as waves that
// reflect the environment image (cull front faces, depth test and write, LESS_EQUAL).
#include <cstdint>
#include <memory>
#include <string_view>

#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "renderer/passes/StaticMesh.h"

namespace ProjectTavrin {

class OceanPass {
public:
    static constexpr std::string_view kName = "Ocean";
    static constexpr float kPlaneSize = 32768.0f;

    OceanPass(Engine::Platform::Device& device, uint32_t sampleCount);
    /// Draws with the camera and ocean blocks at the given addresses and the 2-D environment
    /// image `skyMap` (a heap index). Targets, viewport and scissor are bound by the caller.
    void Record(Engine::Platform::CommandList& list, uint64_t cameraAddress, uint64_t oceanAddress, uint32_t skyMap);

private:
    std::shared_ptr<Engine::Platform::RootSignature> m_root;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
    StaticMesh m_plane;
};

}  // namespace ProjectTavrin
