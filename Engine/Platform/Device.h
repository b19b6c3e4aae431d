#pragma once
// The Vulkan device and its one queue: instance and adapter choice, features, the validation
// layer with its message counter, resource and view creation, copy footprints, fences and
// submission. Every failing call raises HrException with the VkResult.
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "Engine/Platform/CommandList.h"
#include "Engine/Platform/DescriptorHeap.h"
#include "Engine/Platform/Pipeline.h"
#include "Engine/Platform/Raytracing.h"
#include "Engine/Platform/Resource.h"
#include "Engine/Platform/Types.h"

namespace Engine::Platform {

struct DeviceImpl;
struct FenceImpl;

enum class AdapterKind : uint32_t { Discrete, Integrated, Virtual, Other, Cpu };

struct AdapterInfo {
    std::string name;
    AdapterKind kind = AdapterKind::Other;
    uint32_t apiVersion = 0;     ///< VK_MAKE_API_VERSION packing
    uint32_t driverVersion = 0;
    std::string driverName;
    std::string driverInfo;
    uint32_t vendorId = 0, deviceId = 0;
};

/// Device limits the renderer relies on.
struct DeviceLimits {
    uint32_t maxImageDimension2D = 0, maxImageDimension3D = 0, maxImageDimensionCube = 0, maxImageArrayLayers = 0;
    uint32_t maxPushConstantsSize = 0;
    uint32_t maxComputeWorkGroupInvocations = 0;
    uint32_t maxComputeWorkGroupSize[3] = {};
    uint32_t maxColorAttachments = 0;
    uint32_t maxSampledImagesPerSet = 0, maxStorageImagesPerSet = 0, maxStorageBuffersPerSet = 0, maxSamplersPerSet = 0;
    uint64_t minStorageBufferOffsetAlignment = 0;
    uint64_t minUniformBufferOffsetAlignment = 0;
    float maxSamplerAnisotropy = 1;
    float timestampPeriodNs = 0;
    /// Bits of a timestamp the queue writes (0: the queue writes no timestamps).
    uint32_t timestampValidBits = 0;
    /// Depth resolve modes beyond sample zero (which every device has).
    bool depthResolveMin = false, depthResolveMax = false;
    // Ray tracing (zero when unsupported).
    uint32_t shaderGroupHandleSize = 0, shaderGroupHandleAlignment = 0, shaderGroupBaseAlignment = 0;
    uint32_t maxRayRecursionDepth = 0;
    uint64_t maxGeometryCount = 0, maxInstanceCount = 0, maxPrimitiveCount = 0;
    uint32_t minAccelerationStructureScratchOffsetAlignment = 0;
};

struct DeviceOptions {
    /// Khronos validation layer and debug messenger; every validation warning or error is
    /// written to standard error and counted.
    bool enableValidation = false;
    /// Sizes of the bindless set's arrays: views (sampled images, storage images, storage
    /// buffers and, with ray tracing, acceleration structures, all indexed by heap index) and
    /// samplers. Every shader-visible heap holds one such set, so its pool is this large whatever
    /// capacity it is given; a heap may not ask for more views than this.
    uint32_t bindlessViews = 4096;
    uint32_t bindlessSamplers = 256;
};

/// A timeline semaphore used like the original platform's fence.
class Fence {
public:
    Fence(std::shared_ptr<Device> device, uint64_t initialValue);
    ~Fence();
    Fence(const Fence&) = delete;
    Fence& operator=(const Fence&) = delete;
    uint64_t GetCompletedValue() const;
    /// Blocks until the fence reaches `value` (no time-out).
    void Wait(uint64_t value) const;
    FenceImpl& Impl() const { return *m_impl; }

private:
    std::shared_ptr<Device> m_device;
    std::unique_ptr<FenceImpl> m_impl;
};

class Device : public std::enable_shared_from_this<Device> {
public:
    /// Chooses the adapter (discrete, integrated, others, the CPU device last) and creates the
    /// device. Throws std::runtime_error with the user-facing text when no device fits, or
    /// HrException when a call fails.
    static std::shared_ptr<Device> Create(const DeviceOptions& options);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const AdapterInfo& Adapter() const;
    const DeviceLimits& Limits() const;
    bool RaytracingSupported() const;
    /// Whether graphics pipelines may have a geometry stage (GraphicsPipelineDesc::gs).
    bool GeometryShaderSupported() const;
    /// Sample count for multisampled targets: 2 where supported, else the smallest count above
    /// 2, else 1.
    uint32_t MsaaSampleCount() const;
    bool ValidationEnabled() const;
    /// Validation warnings and errors seen since the device was created.
    uint64_t ValidationMessageCount() const;
    std::string LastValidationMessage() const;

    // Queue.
    void ExecuteCommandLists(std::span<CommandList* const> lists);
    void Signal(Fence& fence, uint64_t value);
    void WaitIdle();

    // Objects.
    std::shared_ptr<Resource> CreateCommittedResource(HeapType heap, const ResourceDesc& desc, ResourceState initialState,
                                                      const ClearValue* clearValue = nullptr);
    std::shared_ptr<Fence> CreateFence(uint64_t initialValue);
    std::shared_ptr<CommandAllocator> CreateCommandAllocator();
    /// Created open on `allocator`, like the original platform's lists.
    std::shared_ptr<CommandList> CreateCommandList(CommandAllocator& allocator, PipelineState* initialState = nullptr);
    std::shared_ptr<DescriptorHeap> CreateDescriptorHeap(DescriptorHeapType type, uint32_t capacity, bool shaderVisible);
    std::shared_ptr<RootSignature> CreateRootSignature(const RootSignatureDesc& desc);
    std::shared_ptr<PipelineState> CreateComputePipelineState(const ComputePipelineDesc& desc);
    std::shared_ptr<PipelineState> CreateGraphicsPipelineState(const GraphicsPipelineDesc& desc);

    // Ray tracing (RaytracingSupported() only).
    AccelerationStructurePrebuildInfo GetRaytracingAccelerationStructurePrebuildInfo(const AccelerationStructureInputs& inputs) const;
    /// Places an acceleration structure of `size` bytes at `offset` (a multiple of 256) in `buffer`.
    std::shared_ptr<AccelerationStructure> CreateAccelerationStructure(AccelerationStructureType type,
                                                                       std::shared_ptr<Resource> buffer, uint64_t offset,
                                                                       uint64_t size);
    std::shared_ptr<PipelineState> CreateRaytracingPipelineState(const RaytracingPipelineDesc& desc);
    /// Writes a top-level structure into slot `dest` of a shader-visible heap (set 0, binding 4).
    void CreateAccelerationStructureView(AccelerationStructure& tlas, CpuDescriptor dest);

    // Views. A null description takes the resource's whole extent in its own format.
    void CreateShaderResourceView(Resource* resource, const SrvDesc* desc, CpuDescriptor dest);
    void CreateUnorderedAccessView(Resource* resource, const UavDesc* desc, CpuDescriptor dest);
    void CreateRenderTargetView(Resource* resource, const RtvDesc* desc, CpuDescriptor dest);
    void CreateDepthStencilView(Resource* resource, const DsvDesc* desc, CpuDescriptor dest);
    void CreateSampler(const SamplerDesc& desc, CpuDescriptor dest);
    /// Copies one view (from a CPU-only heap) into another slot of the same kind of heap.
    void CopyDescriptorsSimple(CpuDescriptor dest, CpuDescriptor src);

    /// Layout of `subresource` of a texture (or the bytes of a buffer) in a copy buffer; rows are
    /// 256-byte aligned.
    SubresourceFootprint GetCopyableFootprint(const ResourceDesc& desc, uint32_t subresource, uint64_t baseOffset = 0) const;
    /// True when `format` can be used with every usage in `flags` on a 2D texture.
    bool CheckFormatSupport(Format format, ResourceFlags flags) const;

    /// A surface with no window (VK_EXT_headless_surface) for running the presentation path
    /// without a display; 0 when the extension is missing. DestroySurface releases it.
    uint64_t CreateHeadlessSurface();
    void DestroySurface(uint64_t surface);

    /// Opaque handles for code that must hand them to a windowing library (VkInstance,
    /// VkPhysicalDevice, VkDevice).
    void* InstanceHandle() const;
    void* PhysicalDeviceHandle() const;
    void* DeviceHandle() const;
    uint32_t QueueFamilyIndex() const;

    DeviceImpl& Impl() const { return *m_impl; }

private:
    Device();
    std::unique_ptr<DeviceImpl> m_impl;
};

}  // namespace Engine::Platform
