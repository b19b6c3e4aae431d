#pragma once
// The sky draw: the environment image on a sphere around the camera, drawn into the cleared
// scene targets before the models, at the far plane (depth test and write, LESS_EQUAL), with
// the motion the camera's turn gives it.
#include <cstdint>
#include <memory>
#include <string_view>

#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "renderer/passes/StaticMesh.h"

namespace ProjectTavrin {

class SkyPass {
public:
    static constexpr std::string_view kName = "Sky";
    /// The sphere's diameter.
    static constexpr float kSphereSize = 32768.0f;
    /// The brightest the drawn sky gets (a sun in the image would otherwise feed bloom
    /// thousands of times over).
    static constexpr float kMaxRadiance = 64.0f;

    SkyPass(Engine::Platform::Device& device, uint32_t sampleCount);
    /// Draws with `cameraAddress`'s camera and the 2-D image `skyMap` (a heap index). Targets,
    /// viewport and scissor are bound by the caller.
    void Record(Engine::Platform::CommandList& list, uint64_t cameraAddress, uint32_t skyMap);

private:
    std::shared_ptr<Engine::Platform::RootSignature> m_root;
    std::shared_ptr<Engine::Platform::PipelineState> m_pipeline;
    StaticMesh m_sphere;
};

}  // namespace ProjectTavrin
