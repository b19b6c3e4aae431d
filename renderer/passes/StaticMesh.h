#pragma once
// A mesh made once on the CPU (the sky sphere, the ocean plane) in the model vertex layout, kept
// in one upload buffer pair for the renderer's life.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "Engine/GpuResource/GpuUploadBuffer.h"
#include "Engine/Platform/Device.h"
#include "Engine/Platform/Pipeline.h"
#include "Engine/SimpleGeometry/Geometry.h"

namespace ProjectTavrin {

class StaticMesh {
public:
    void Create(Engine::Platform::Device& device, const std::vector<Engine::GeometryVertex>& vertices,
                const std::vector<uint32_t>& indices, std::u16string_view name);
    /// Binds the vertex and index buffers and draws every index once.
    void Draw(Engine::Platform::CommandList& list);
    uint32_t IndexCount() const { return m_indexCount; }

private:
    Engine::StructuredBuffer<Engine::GeometryVertex> m_vertices;
    Engine::StructuredBuffer<uint32_t> m_indices;
    uint32_t m_indexCount = 0;
};

/// The input layout of a pipeline that reads only the position of the model vertex (44 bytes).
void SetPositionOnlyLayout(Engine::Platform::GraphicsPipelineDesc& desc);

/// A draw into the scene's multisampled colour and velocity targets (both R16G16B16A16_FLOAT)
/// and its depth (D32, test and write, LESS_EQUAL): what the models, their outlines, the sky and
/// the ocean share.
void SetSceneTargetState(Engine::Platform::GraphicsPipelineDesc& desc, uint32_t sampleCount);

/// A pipeline that draws a position-only mesh into the scene's colour and velocity targets with
/// depth test and write (LESS_EQUAL), as the sky and the ocean do; culling is the caller's.
Engine::Platform::GraphicsPipelineDesc SceneMeshPipelineDesc(Engine::Platform::RootSignature* root,
                                                             std::span<const uint32_t> vs,
                                                             std::span<const uint32_t> ps, uint32_t sampleCount);

}  // namespace ProjectTavrin
