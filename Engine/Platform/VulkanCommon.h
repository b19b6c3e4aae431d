#pragma once
// Internal to Engine/Platform: the Vulkan headers and the objects behind the public classes.
// Nothing outside Engine/Platform includes this file.
#include <vulkan/vulkan.h>

// Vulkan structures are written as `VkX info{VK_STRUCTURE_TYPE_X};` with the remaining members
// zero-initialised on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Engine/Platform/Device.h"
#include "Engine/Platform/Types.h"

namespace Engine::Platform {

/// Throws HrException carrying `result` when it is a failure code, after writing which call
/// failed to standard error.
void VkCheck(VkResult result, const char* what);

VkFormat ToVkFormat(Format format);
VkImageAspectFlags AspectOf(VkFormat format);

struct ImageState {
    VkImageLayout layout;
    VkPipelineStageFlags2 stages;
    VkAccessFlags2 access;
};

struct DeviceFunctions {
    PFN_vkSetDebugUtilsObjectNameEXT setObjectName = nullptr;
    PFN_vkCmdBeginDebugUtilsLabelEXT cmdBeginLabel = nullptr;
    PFN_vkCmdEndDebugUtilsLabelEXT cmdEndLabel = nullptr;
    PFN_vkCreateDebugUtilsMessengerEXT createMessenger = nullptr;
    PFN_vkDestroyDebugUtilsMessengerEXT destroyMessenger = nullptr;
    // Ray tracing (null when unsupported).
    PFN_vkCreateAccelerationStructureKHR createAccelerationStructure = nullptr;
    PFN_vkDestroyAccelerationStructureKHR destroyAccelerationStructure = nullptr;
    PFN_vkGetAccelerationStructureBuildSizesKHR getAccelerationStructureBuildSizes = nullptr;
    PFN_vkGetAccelerationStructureDeviceAddressKHR getAccelerationStructureDeviceAddress = nullptr;
    PFN_vkCmdBuildAccelerationStructuresKHR cmdBuildAccelerationStructures = nullptr;
    PFN_vkCreateRayTracingPipelinesKHR createRayTracingPipelines = nullptr;
    PFN_vkGetRayTracingShaderGroupHandlesKHR getRayTracingShaderGroupHandles = nullptr;
    PFN_vkCmdTraceRaysKHR cmdTraceRays = nullptr;
    // Presentation (null without VK_KHR_swapchain).
    PFN_vkCreateSwapchainKHR createSwapchain = nullptr;
    PFN_vkDestroySwapchainKHR destroySwapchain = nullptr;
    PFN_vkGetSwapchainImagesKHR getSwapchainImages = nullptr;
    PFN_vkAcquireNextImageKHR acquireNextImage = nullptr;
    PFN_vkQueuePresentKHR queuePresent = nullptr;
};

// Bindings of the bindless descriptor set (set 0 of every pipeline layout).
constexpr uint32_t kBindingSampledImages = 0;
constexpr uint32_t kBindingStorageImages = 1;
constexpr uint32_t kBindingStorageBuffers = 2;
constexpr uint32_t kBindingSamplers = 3;
constexpr uint32_t kBindingAccelerationStructures = 4;  // only on devices with ray tracing

struct DeviceImpl {
    VkInstance instance = VK_NULL_HANDLE;
    VkDebugUtilsMessengerEXT messenger = VK_NULL_HANDLE;
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
    VkDevice device = VK_NULL_HANDLE;
    VkQueue queue = VK_NULL_HANDLE;
    uint32_t queueFamily = 0;
    DeviceFunctions fn;
    VkPhysicalDeviceMemoryProperties memoryProperties{};
    AdapterInfo adapter;
    DeviceLimits limits;
    bool raytracing = false;
    bool swapchainExtension = false;
    bool validation = false;
    bool debugUtils = false;
    bool hostQueryReset = false;  // queries can be reset from the host (vkResetQueryPool)
    uint32_t msaaSamples = 1;
    // Sizes of the bindless set's arrays (DeviceOptions).
    uint32_t bindlessViews = 0, bindlessSamplers = 0;
    VkPhysicalDeviceFeatures enabledFeatures{};

    std::atomic<uint64_t> validationMessages{0};
    mutable std::mutex messageLock;
    std::string lastValidationMessage;

    VkDescriptorSetLayout bindlessLayout = VK_NULL_HANDLE;

    // Queue submissions: every submit signals `submitSemaphore` with the next serial, so objects
    // can tell when the GPU has finished with them.
    std::mutex queueLock;
    VkSemaphore submitSemaphore = VK_NULL_HANDLE;
    uint64_t lastSubmittedSerial = 0;

    // Image layout initialisations recorded at creation and submitted ahead of the next batch.
    std::mutex initLock;
    VkCommandPool initPool = VK_NULL_HANDLE;
    std::vector<std::pair<VkCommandBuffer, uint64_t>> initBuffers;  // buffer, serial it was last submitted in
    VkCommandBuffer initRecording = VK_NULL_HANDLE;

    // Objects destroyed once the GPU has passed the serial of their last possible use.
    std::mutex garbageLock;
    std::vector<std::pair<uint64_t, std::function<void()>>> garbage;

    uint64_t CompletedSerial() const;
    void WaitSerial(uint64_t serial) const;
    /// Destroys through `destroy` once every submission made so far has completed.
    void Retire(std::function<void()> destroy);
    void CollectGarbage();
    void SetObjectName(VkObjectType type, uint64_t handle, const std::string& name) const;
    /// Counts and prints a misuse of the API found by the engine's own checks (made while the
    /// validation layer is on), as a validation message.
    void ReportMisuse(const std::string& text);
    uint32_t FindMemoryType(uint32_t typeBits, VkMemoryPropertyFlags required, VkMemoryPropertyFlags preferred) const;
    void RecordInitialLayout(VkImage image, VkImageAspectFlags aspect, VkImageLayout layout);
    /// Submits `buffers` (after any pending layout initialisations) with extra waits and signals;
    /// returns the serial of this submission. Caller holds queueLock.
    uint64_t SubmitLocked(std::span<const VkCommandBuffer> buffers, std::span<const VkSemaphoreSubmitInfo> waits,
                          std::span<const VkSemaphoreSubmitInfo> signals);
    VkPipelineStageFlags2 ShaderStages() const;
};

struct ResourceImpl {
    DeviceImpl* device = nullptr;
    VkBuffer buffer = VK_NULL_HANDLE;
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;  // image format
    VkImageAspectFlags aspect = 0;
    void* mapped = nullptr;
    bool coherent = true;
    uint64_t size = 0;
    uint64_t address = 0;
    std::string name;
    /// Image layouts the resource's sampled-image descriptors were written for (LayoutBit).
    std::atomic<uint32_t> sampledLayouts{0};
};

/// One bit per image layout a sampled-image descriptor can be written for.
uint32_t LayoutBit(VkImageLayout layout);

/// What an RTV or DSV slot holds for dynamic rendering.
struct AttachmentView {
    VkImageView view = VK_NULL_HANDLE;
    VkImage image = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;
    VkImageAspectFlags aspect = 0;
    uint32_t width = 0, height = 0;
    uint32_t samples = 1;
    bool readOnlyDepth = false;
    uint32_t mip = 0, firstSlice = 0, sliceCount = 1;
};

/// What a CPU-only CBV/SRV/UAV slot holds: enough to write the view again elsewhere.
struct ViewRecord {
    enum class Kind { None, Srv, Uav, Sampler } kind = Kind::None;
    std::weak_ptr<Resource> resource;
    SrvDesc srv;
    UavDesc uav;
    SamplerDesc sampler;
};

struct DescriptorHeapImpl {
    DeviceImpl* device = nullptr;
    VkDescriptorPool pool = VK_NULL_HANDLE;
    VkDescriptorSet set = VK_NULL_HANDLE;
    std::vector<VkImageView> views;          // shader-visible: the view written at each index
    std::vector<VkSampler> samplers;
    std::vector<AttachmentView> attachments; // RTV / DSV heaps
    std::vector<ViewRecord> records;         // CPU-only heaps (and shader-visible, for copies)
};

struct CommandAllocatorImpl {
    DeviceImpl* device = nullptr;
    VkCommandPool pool = VK_NULL_HANDLE;
    std::vector<VkCommandBuffer> buffers;
    size_t nextBuffer = 0;
    uint64_t lastSerial = 0;  // serial of the latest submission of a buffer from this pool
};

struct RootBindState {
    RootSignature* rootSignature = nullptr;
    std::array<uint8_t, 256> data{};
    bool dirty = false;
    bool setsDirty = false;
    bool raySetsDirty = false;  // compute arguments also serve ray-tracing dispatches
};

struct CommandListImpl {
    DeviceImpl* device = nullptr;
    CommandAllocator* allocator = nullptr;
    VkCommandBuffer cmd = VK_NULL_HANDLE;
    bool open = false;
    uint32_t barrierCalls = 0, barrierCount = 0;
    DescriptorHeap* heap = nullptr;
    RootBindState compute, graphics;
    VkPipelineBindPoint lastPushedBindPoint = VK_PIPELINE_BIND_POINT_MAX_ENUM;
    // Render targets for the lazily opened rendering pass.
    std::vector<AttachmentView> colorTargets;
    AttachmentView depthTarget;
    bool hasDepth = false;
    bool rendering = false;
    // The last scissor rectangle: the render area of a pass with no attachments at all.
    VkRect2D scissor{};
    bool hasScissor = false;
    std::string name;

    void EndRendering();
    void BeginRenderingIfNeeded();
    void ClearDepthArea(const AttachmentView& a, VkRect2D area, float depth, uint8_t stencil);
    void FlushRoot(VkPipelineBindPoint bindPoint);
};

struct RootSignatureImpl {
    DeviceImpl* device = nullptr;
    VkPipelineLayout layout = VK_NULL_HANDLE;
    VkDescriptorSetLayout samplerSetLayout = VK_NULL_HANDLE;
    VkDescriptorPool samplerPool = VK_NULL_HANDLE;
    VkDescriptorSet samplerSet = VK_NULL_HANDLE;
    std::vector<VkSampler> samplers;
};

struct PipelineStateImpl {
    DeviceImpl* device = nullptr;
    VkPipeline pipeline = VK_NULL_HANDLE;
    VkPipelineBindPoint bindPoint = VK_PIPELINE_BIND_POINT_COMPUTE;
    RootSignature* rootSignature = nullptr;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> shaderIdentifiers;  // ray tracing
};

struct AccelerationStructureImpl {
    DeviceImpl* device = nullptr;
    VkAccelerationStructureKHR handle = VK_NULL_HANDLE;
};

struct FenceImpl {
    DeviceImpl* device = nullptr;
    VkSemaphore semaphore = VK_NULL_HANDLE;
};

/// Image layout and synchronisation scope of a tracked state.
ImageState ImageStateFor(ResourceState state, bool depthImage, const DeviceImpl& device);
VkSampler CreateVkSampler(const DeviceImpl& device, const SamplerDesc& desc);

}  // namespace Engine::Platform
