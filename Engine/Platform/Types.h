#pragma once
// Plain descriptions shared by the platform layer and its users: resource states, heaps,
// resource and view descriptions, copy footprints and barrier records.
#include <cstdint>

#include "Engine/Platform/Format.h"

namespace Engine::Platform {

/// Usage state of a resource as a bit set (the DXGI/D3D numbering, so combined read states such as
/// NonPixelShaderResource | PixelShaderResource work as on the original platform). Each state maps
/// to an image layout and to synchronization2 stage and access masks inside the platform layer.
enum class ResourceState : uint32_t {
    Common = 0,
    Present = 0,
    VertexAndConstantBuffer = 0x1,
    IndexBuffer = 0x2,
    RenderTarget = 0x4,
    UnorderedAccess = 0x8,
    DepthWrite = 0x10,
    DepthRead = 0x20,
    NonPixelShaderResource = 0x40,
    PixelShaderResource = 0x80,
    IndirectArgument = 0x200,
    CopyDest = 0x400,
    CopySource = 0x800,
    ResolveDest = 0x1000,
    ResolveSource = 0x2000,
    RaytracingAccelerationStructure = 0x400000,
    GenericRead = 0x1 | 0x2 | 0x40 | 0x80 | 0x200 | 0x800,
};
constexpr ResourceState operator|(ResourceState a, ResourceState b) {
    return static_cast<ResourceState>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
constexpr bool HasState(ResourceState set, ResourceState bit) {
    return (static_cast<uint32_t>(set) & static_cast<uint32_t>(bit)) != 0;
}

enum class HeapType : uint32_t {
    Default = 1,   ///< device-local
    Upload = 2,    ///< host-visible, coherent, mapped for the resource's whole life
    Readback = 3,  ///< host-visible, cached
};

enum class ResourceDimension : uint32_t { Buffer = 1, Texture2D = 3, Texture3D = 4 };

enum class ResourceFlags : uint32_t {
    None = 0,
    AllowRenderTarget = 0x1,
    AllowDepthStencil = 0x2,
    AllowUnorderedAccess = 0x4,
    DenyShaderResource = 0x8,
    AllowSimultaneousAccess = 0x20,
    /// Buffer that holds ray-tracing acceleration structures.
    AccelerationStructureStorage = 0x1000,
};
constexpr ResourceFlags operator|(ResourceFlags a, ResourceFlags b) {
    return static_cast<ResourceFlags>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
constexpr bool HasFlag(ResourceFlags set, ResourceFlags bit) {
    return (static_cast<uint32_t>(set) & static_cast<uint32_t>(bit)) != 0;
}

/// A buffer (width = byte size) or a texture. Cube textures are 2D textures with six (or a
/// multiple of six) square slices.
struct ResourceDesc {
    ResourceDimension dimension = ResourceDimension::Buffer;
    uint64_t width = 0;
    uint32_t height = 1;
    uint16_t depthOrArraySize = 1;
    uint16_t mipLevels = 1;
    Format format = Format::Unknown;
    uint32_t sampleCount = 1;
    ResourceFlags flags = ResourceFlags::None;

    static ResourceDesc Buffer(uint64_t bytes, ResourceFlags flags = ResourceFlags::None) {
        ResourceDesc desc;
        desc.width = bytes;
        desc.flags = flags;
        return desc;
    }
    static ResourceDesc Tex2D(Format format, uint64_t width, uint32_t height, uint16_t arraySize = 1,
                              uint16_t mipLevels = 1, uint32_t sampleCount = 1,
                              ResourceFlags flags = ResourceFlags::None) {
        return ResourceDesc{ResourceDimension::Texture2D, width, height, arraySize, mipLevels, format, sampleCount, flags};
    }
    static ResourceDesc Tex3D(Format format, uint64_t width, uint32_t height, uint16_t depth,
                              uint16_t mipLevels = 1, ResourceFlags flags = ResourceFlags::None) {
        return ResourceDesc{ResourceDimension::Texture3D, width, height, depth, mipLevels, format, 1, flags};
    }
    uint32_t ArraySize() const { return dimension == ResourceDimension::Texture2D ? depthOrArraySize : 1; }
    uint32_t Depth() const { return dimension == ResourceDimension::Texture3D ? depthOrArraySize : 1; }
    uint32_t SubresourceCount() const { return dimension == ResourceDimension::Buffer ? 1 : mipLevels * ArraySize(); }
};

/// Optimised clear value given at creation; kept for reference (clears take their own values).
struct ClearValue {
    Format format = Format::Unknown;
    float color[4] = {0, 0, 0, 0};
    float depth = 1.0f;
    uint8_t stencil = 0;
};

/// Layout of one subresource in a buffer: rows are `rowPitch` bytes apart (a multiple of 256).
struct SubresourceFootprint {
    uint64_t offset = 0;
    Format format = Format::Unknown;
    uint32_t width = 0, height = 0, depth = 0;
    uint32_t rowPitch = 0;
    uint32_t numRows = 0;          ///< rows of texels, or of 4 x 4 blocks for compressed formats
    uint64_t rowSizeInBytes = 0;   ///< bytes of data in one row (without padding)
    uint64_t totalBytes = 0;       ///< bytes the footprint spans in the buffer
};

constexpr uint32_t kAllSubresources = 0xffffffffu;
/// Subresource index of mip `mip` of slice `slice`.
constexpr uint32_t CalcSubresource(uint32_t mip, uint32_t slice, uint32_t mipLevels) { return mip + slice * mipLevels; }

enum class ViewDimension : uint32_t {
    Unknown = 0,
    Buffer,
    Texture2D,
    Texture2DArray,
    Texture2DMS,
    Texture3D,
    TextureCube,
};

/// Shader-resource view: a texture read through a sampled-image descriptor, or a buffer read
/// through a storage-buffer descriptor. `format` Unknown means the resource's own format.
struct SrvDesc {
    ViewDimension dimension = ViewDimension::Unknown;
    Format format = Format::Unknown;
    uint32_t mostDetailedMip = 0;
    uint32_t mipLevels = 0xffffffffu;  ///< all mips from mostDetailedMip on
    uint32_t firstArraySlice = 0;
    uint32_t arraySize = 0xffffffffu;
    uint64_t firstElement = 0;         ///< buffers
    uint32_t numElements = 0;
    uint32_t structureByteStride = 0;  ///< 0: raw bytes (numElements counts 4-byte words)
    /// Textures: the state the resource is in whenever a shader reads it through this view. The
    /// descriptor is written for that state's image layout, so a texture kept in a combined read
    /// state (e.g. PixelShaderResource | CopySource, which needs the general layout) says so here.
    ResourceState readState = ResourceState::NonPixelShaderResource | ResourceState::PixelShaderResource;
};

/// Unordered-access view: one mip of a texture through a storage-image descriptor, or a buffer.
struct UavDesc {
    ViewDimension dimension = ViewDimension::Unknown;
    Format format = Format::Unknown;
    uint32_t mipSlice = 0;
    uint32_t firstArraySlice = 0;
    uint32_t arraySize = 0xffffffffu;
    uint64_t firstElement = 0;
    uint32_t numElements = 0;
    uint32_t structureByteStride = 0;
};

struct RtvDesc {
    ViewDimension dimension = ViewDimension::Unknown;
    Format format = Format::Unknown;
    uint32_t mipSlice = 0;
    uint32_t firstArraySlice = 0;
    uint32_t arraySize = 1;
};

/// Depth-stencil view of one mip; of an array texture (shadow cascades), the slices
/// firstArraySlice .. firstArraySlice + arraySize - 1, rendered as layers.
struct DsvDesc {
    ViewDimension dimension = ViewDimension::Unknown;
    Format format = Format::Unknown;
    bool readOnlyDepth = false;
    uint32_t mipSlice = 0;
    uint32_t firstArraySlice = 0;
    uint32_t arraySize = 1;
};

enum class DescriptorHeapType : uint32_t {
    CbvSrvUav = 0,  ///< shader-visible: the bindless descriptor set
    Sampler = 1,
    Rtv = 2,
    Dsv = 3,
};

class Resource;

/// One barrier record: a state transition of one subresource (or all), or an unordered-access
/// barrier (resource may be null: all unordered-access work).
struct ResourceBarrier {
    enum class Type : uint32_t { Transition, UnorderedAccess };
    Type type = Type::Transition;
    Resource* resource = nullptr;
    uint32_t subresource = kAllSubresources;
    ResourceState before = ResourceState::Common;
    ResourceState after = ResourceState::Common;

    static ResourceBarrier Transition(Resource* resource, ResourceState before, ResourceState after,
                                      uint32_t subresource = kAllSubresources) {
        return ResourceBarrier{Type::Transition, resource, subresource, before, after};
    }
    static ResourceBarrier UAV(Resource* resource) {
        return ResourceBarrier{Type::UnorderedAccess, resource, kAllSubresources, ResourceState::UnorderedAccess,
                               ResourceState::UnorderedAccess};
    }
};

/// How the samples of a multisampled depth pixel become one value: sample zero, or the nearest or
/// farthest sample (pick Min or Max by the depth direction). Every device has sample zero; one
/// without the asked mode resolves with sample zero.
enum class DepthResolveMode : uint32_t { SampleZero, Min, Max };

/// Viewport in pixels, with the depth range.
struct Viewport {
    float topLeftX = 0, topLeftY = 0, width = 0, height = 0, minDepth = 0, maxDepth = 1;
};
struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

}  // namespace Engine::Platform
