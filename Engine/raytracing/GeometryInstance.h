#pragma once
// What the ray-traced scene knows of one drawable material range: where its triangles lie in the
// model's per-frame vertex copies and its index buffer, its material block in every frame's copy
// and its textures as bindless indices. The buffers belong to the model; the records only point
// at them, so the scene structures must be rebuilt whenever a model goes away.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/Platform/Resource.h"

namespace Engine {

/// Texture slots of a geometry record, in this order.
enum class GeometryTexture : uint32_t { Diffuse, Normal, Occlusion, Curvature, Thickness, Count };

struct GeometryInstance {
    Platform::Resource* vertexBuffer = nullptr;  ///< kFrameCount copies, one after the other
    uint64_t vertexCopyBytes = 0;                ///< bytes of one frame's copy
    uint32_t vertexCount = 0;
    uint32_t vertexStride = 44;
    Platform::Resource* indexBuffer = nullptr;   ///< 32-bit indices, kFrameCount copies
    uint64_t indexCopyBytes = 0;
    uint32_t indexCount = 0;   ///< the material's index count
    uint32_t startIndex = 0;   ///< the material's first index
    uint32_t baseVertex = 0;
    /// Device address of the material's block in each frame's copy.
    std::array<uint64_t, kFrameCount> materialConstants{};
    /// Bindless indices of the material's textures (the blank texture where it has none).
    std::array<uint32_t, size_t(GeometryTexture::Count)> textures{};
    uint32_t geometryFlags = 1;  ///< 1: opaque

    /// Device address of frame `frame`'s vertex copy.
    uint64_t VertexAddress(uint32_t frame) const {
        return vertexBuffer->GetGpuVirtualAddress() + uint64_t(frame % kFrameCount) * vertexCopyBytes;
    }
    /// Device address of the range's first index in frame `frame`'s index copy.
    uint64_t IndexAddress(uint32_t frame) const {
        return indexBuffer->GetGpuVirtualAddress() + uint64_t(frame % kFrameCount) * indexCopyBytes + uint64_t(startIndex) * 4;
    }
    uint32_t Texture(GeometryTexture slot) const { return textures[size_t(slot)]; }
};

/// One set of geometries built into one bottom-level structure.
struct BottomLevelGeometry {
    std::string name;
    std::vector<GeometryInstance> instances;
    uint32_t triangleCount = 0;  ///< sum of index count / 3

    void Add(const GeometryInstance& instance) {
        instances.push_back(instance);
        triangleCount += instance.indexCount / 3;
    }
};

}  // namespace Engine
