#pragma once
// Command allocators and command lists, recorded in the original platform's style: explicit
// barriers between tracked states, root arguments set per parameter, render targets bound with
// OMSetRenderTargets (a dynamic-rendering pass is opened at the first draw and closed by the next
// non-draw command). With no render target and no depth bound, a draw still rasterises: its pass
// has no attachments and covers the scissor rectangle.
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "Engine/Platform/DescriptorHeap.h"
#include "Engine/Platform/Types.h"

namespace Engine::Platform {

class Device;
class Resource;
class RootSignature;
class PipelineState;
struct CommandAllocatorImpl;
struct AccelerationStructureInputs;
class AccelerationStructure;
struct DispatchRaysDesc;
struct CommandListImpl;

/// Owns the memory of recorded commands. Resetting it while earlier recordings may still run on
/// the GPU keeps those and records into fresh command buffers instead.
class CommandAllocator {
public:
    explicit CommandAllocator(std::shared_ptr<Device> device);
    ~CommandAllocator();
    CommandAllocator(const CommandAllocator&) = delete;
    CommandAllocator& operator=(const CommandAllocator&) = delete;
    void Reset();
    CommandAllocatorImpl& Impl() const { return *m_impl; }

private:
    std::shared_ptr<Device> m_device;
    std::unique_ptr<CommandAllocatorImpl> m_impl;
};

struct VertexBufferView {
    Resource* buffer = nullptr;
    uint64_t offset = 0;
    uint32_t sizeInBytes = 0;
    uint32_t strideInBytes = 0;
};

struct IndexBufferView {
    Resource* buffer = nullptr;
    uint64_t offset = 0;
    uint32_t sizeInBytes = 0;
    Format format = Format::R32_UINT;  ///< R16_UINT or R32_UINT
};

class CommandList {
public:
    /// Created closed.
    explicit CommandList(std::shared_ptr<Device> device);
    ~CommandList();
    CommandList(const CommandList&) = delete;
    CommandList& operator=(const CommandList&) = delete;

    void Reset(CommandAllocator& allocator, PipelineState* initialState = nullptr);
    /// Forgets every binding of the open list (descriptor heap, root signatures and their
    /// arguments, render targets) as a fresh Reset would, then binds `pipeline` if given.
    void ClearState(PipelineState* pipeline = nullptr);
    void Close();
    bool IsOpen() const;

    // Barriers and copies.
    void ResourceBarrier(std::span<const Platform::ResourceBarrier> barriers);
    void CopyResource(Resource& dst, Resource& src);
    void CopyBufferRegion(Resource& dst, uint64_t dstOffset, Resource& src, uint64_t srcOffset, uint64_t bytes);
    /// Buffer (laid out by `footprint`) into one texture subresource.
    void CopyBufferToTexture(Resource& dst, uint32_t dstSubresource, Resource& src, const SubresourceFootprint& footprint);
    /// One texture subresource into a buffer laid out by `footprint`.
    void CopyTextureToBuffer(Resource& dst, const SubresourceFootprint& footprint, Resource& src, uint32_t srcSubresource);
    /// Resolves a multisampled colour subresource (source in ResolveSource, destination in
    /// ResolveDest). Depth images are refused: they resolve through ResolveDepth.
    void ResolveSubresource(Resource& dst, uint32_t dstSubresource, Resource& src, uint32_t srcSubresource, Format format);
    /// Resolves the multisampled depth behind `srcDsv` into the single-sampled depth behind
    /// `dstDsv` (same format and size) as a depth-only rendering pass. The source is in
    /// ResolveSource, the destination in ResolveDest.
    void ResolveDepth(CpuDescriptor dstDsv, CpuDescriptor srcDsv, DepthResolveMode mode);

    // Clears. Render targets must be in the render-target state, depth buffers in depth-write,
    // unordered-access resources in unordered-access.
    void ClearRenderTargetView(CpuDescriptor rtv, const float color[4]);
    void ClearDepthStencilView(CpuDescriptor dsv, float depth, uint8_t stencil);
    /// Clears only the given rectangles (clipped to the view; empty ones are skipped), in every
    /// slice of the view.
    void ClearDepthStencilView(CpuDescriptor dsv, float depth, uint8_t stencil, std::span<const Rect> rects);
    void ClearUnorderedAccessViewFloat(Resource& resource, const float values[4]);
    void ClearUnorderedAccessViewUint(Resource& resource, const uint32_t values[4]);

    // Pipeline state and root arguments. Compute and graphics arguments are kept apart.
    void SetDescriptorHeaps(DescriptorHeap* cbvSrvUavHeap);
    void SetPipelineState(PipelineState& pipeline);
    void SetComputeRootSignature(RootSignature& rootSignature);
    void SetGraphicsRootSignature(RootSignature& rootSignature);
    void SetComputeRoot32BitConstants(uint32_t parameter, uint32_t count, const void* data, uint32_t offsetIn32Bit);
    void SetComputeRoot32BitConstant(uint32_t parameter, uint32_t value, uint32_t offsetIn32Bit);
    void SetComputeRootDescriptorTable(uint32_t parameter, uint32_t heapIndex);
    void SetComputeRootBufferAddress(uint32_t parameter, uint64_t address);
    void SetGraphicsRoot32BitConstants(uint32_t parameter, uint32_t count, const void* data, uint32_t offsetIn32Bit);
    void SetGraphicsRoot32BitConstant(uint32_t parameter, uint32_t value, uint32_t offsetIn32Bit);
    void SetGraphicsRootDescriptorTable(uint32_t parameter, uint32_t heapIndex);
    void SetGraphicsRootBufferAddress(uint32_t parameter, uint64_t address);

    // Graphics. Viewports are given as on the original platform (origin top-left, y down) and
    // recorded with a negative height, so clip-space y points up in the shaders. Pipelines have
    // one viewport and one scissor: more than one in a call throws std::invalid_argument. Tiles
    // of an atlas (shadow cascades) are drawn by moving the viewport between draws; the render
    // area stays the whole target.
    void OMSetRenderTargets(std::span<const CpuDescriptor> rtvs, const CpuDescriptor* dsv);
    void RSSetViewports(std::span<const Viewport> viewports);
    void RSSetScissorRects(std::span<const Rect> rects);
    void IASetVertexBuffers(uint32_t startSlot, std::span<const VertexBufferView> views);
    void IASetIndexBuffer(const IndexBufferView& view);
    void DrawInstanced(uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex, uint32_t startInstance);
    void DrawIndexedInstanced(uint32_t indexCount, uint32_t instanceCount, uint32_t startIndex, int32_t baseVertex,
                              uint32_t startInstance);

    void Dispatch(uint32_t x, uint32_t y, uint32_t z);

    // Ray tracing. Builds read their inputs by device address; `scratchAddress` must be aligned
    // to Limits().minAccelerationStructureScratchOffsetAlignment. DispatchRays uses the compute
    // root arguments.
    void BuildRaytracingAccelerationStructure(const AccelerationStructureInputs& inputs, AccelerationStructure& dest,
                                              uint64_t scratchAddress, AccelerationStructure* source = nullptr);
    void DispatchRays(const DispatchRaysDesc& desc);

    // Debug labels (shown by graphics debuggers).
    void BeginEvent(std::string_view name);
    void BeginEvent(std::u16string_view name);
    void EndEvent();

    /// Number of ResourceBarrier calls that recorded something and the barriers in them, since
    /// the last Reset (tests and statistics).
    uint32_t BarrierCallCount() const;
    uint32_t BarrierCount() const;

    void SetName(std::string_view name);
    CommandListImpl& Impl() const { return *m_impl; }
    Device& GetDevice() const { return *m_device; }

private:
    std::shared_ptr<Device> m_device;
    std::unique_ptr<CommandListImpl> m_impl;
};

}  // namespace Engine::Platform
