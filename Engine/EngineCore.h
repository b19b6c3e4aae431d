#pragma once
// The one object that owns the device and everything tied to the output: the queue, the shared
// command list with one allocator per frame in flight, the frame fence, the two back buffers
// (offscreen images, copied into the window's swap chain when there is one), the depth buffer of
// the output size, the descriptor heaps and the barrier batch. Every GPU part reaches it through
// GetInstance(); all recording, submission and resizing happen under the engine lock.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/Platform/Device.h"
#include "Engine/Platform/Swapchain.h"

namespace Engine {

constexpr uint32_t kFrameCount = 2;
constexpr uint32_t kBarrierBatchSize = 16;

class DescriptorSlots;

class EngineCore {
public:
    /// The process-wide instance, created (with CreateDeviceResources) on the first call.
    /// Throws std::runtime_error with the user-facing text when no usable device exists.
    static std::shared_ptr<EngineCore>& GetInstance();
    /// Device options for the instance created by the first GetInstance (validation layer);
    /// the environment variable TAVRIN_VULKAN_VALIDATION=1 also turns validation on.
    static void SetDeviceOptions(const Platform::DeviceOptions& options);

    explicit EngineCore(const Platform::DeviceOptions& options);
    ~EngineCore();
    EngineCore(const EngineCore&) = delete;
    EngineCore& operator=(const EngineCore&) = delete;

    void CreateDeviceResources();
    /// Output to a window surface (a VkSurfaceKHR made on GetDevice()->InstanceHandle()), with
    /// its size in pixels; replaces the headless output.
    void SetSurface(uint64_t surface, float width, float height);
    /// Output to the two offscreen images only (tests, command-line export).
    void SetHeadlessOutput(float width, float height);
    /// Re-creates the size-dependent resources when the size changed; equal sizes do nothing.
    void SetLogicalSize(float width, float height);
    void CreateWindowSizeDependentResources();

    void ResetCommandList();
    void ExecuteCommandList();
    /// Submits what is still open and presents without waiting for vertical blank; the back
    /// buffer must be in the Present state. Device loss sets deviceLost instead of throwing.
    void Present();
    void WaitForGpu();
    void MoveToNextFrame();
    bool IsRaytracingSupported() const;

    /// Appends a barrier to the batch; the 17th append first issues the 16 pending ones.
    void AppendBarrier(const Platform::ResourceBarrier& barrier);
    void FlushBarriers();
    uint32_t PendingBarrierCount() const { return m_pendingBarrierCount; }

    // Accessors.
    Platform::Device* GetDevice() const { return m_device.get(); }
    const std::shared_ptr<Platform::Device>& GetDeviceShared() const { return m_device; }
    Platform::CommandList* GetCommandList() const { return m_commandList.get(); }
    Platform::Swapchain* GetSwapchain() const { return m_swapChain.get(); }
    Platform::Resource* GetRenderTarget() const { return m_renderTargets[m_backBufferIndex].get(); }
    Platform::Resource* GetRenderTarget(uint32_t index) const { return m_renderTargets[index].get(); }
    Platform::Resource* GetDepthStencil() const { return m_depthStencil.get(); }
    Platform::CpuDescriptor GetRenderTargetView() const;
    Platform::CpuDescriptor GetDepthStencilView() const;
    const Platform::Viewport& GetScreenViewport() const { return m_screenViewport; }
    float GetOutputWidth() const { return m_outputSize[0]; }
    float GetOutputHeight() const { return m_outputSize[1]; }
    Platform::DescriptorHeap* GetHeap(Platform::DescriptorHeapType type) const { return m_heaps[static_cast<uint32_t>(type)].get(); }
    Platform::DescriptorHeap* GetCpuCbvSrvUavHeap() const { return m_cpuCbvSrvUavHeap.get(); }
    /// The slots given back to the heaps, to be taken again.
    const std::shared_ptr<DescriptorSlots>& GetDescriptorSlots() const { return m_descriptorSlots; }
    /// Slots ever used per heap type (entry 1, samplers, stays 0) and of the CPU-only heap: the
    /// next index past them is taken when no slot given back is free.
    int32_t& DescriptorCount(Platform::DescriptorHeapType type) { return m_descriptorCounts[static_cast<uint32_t>(type)]; }
    int32_t& CpuCbvSrvUavCount() { return m_cpuCbvSrvUavCount; }
    uint32_t GetBackBufferIndex() const { return m_backBufferIndex; }
    Platform::Format GetBackBufferFormat() const { return m_backBufferFormat; }
    Platform::Format GetDepthBufferFormat() const { return m_depthBufferFormat; }
    bool IsDeviceLost() const { return m_deviceLost; }
    bool IsCommandListOpen() const { return m_commandListOpen; }
    uint64_t GetFenceValue(uint32_t frame) const { return m_fenceValues[frame]; }
    Platform::Fence* GetFence() const { return m_fence.get(); }

private:
    Platform::DeviceOptions m_options;
    uint32_t m_backBufferIndex = 0;
    std::shared_ptr<Platform::Device> m_device;
    std::unique_ptr<Platform::Swapchain> m_swapChain;
    uint64_t m_surface = 0;
    std::array<std::shared_ptr<Platform::Resource>, kFrameCount> m_renderTargets;
    std::shared_ptr<Platform::Resource> m_depthStencil;
    std::shared_ptr<Platform::CommandList> m_commandList;
    std::array<std::shared_ptr<Platform::CommandAllocator>, kFrameCount> m_commandAllocators;
    Platform::Format m_backBufferFormat = Platform::Format::R8G8B8A8_UNORM;
    Platform::Format m_depthBufferFormat = Platform::Format::D32_FLOAT;
    Platform::Viewport m_screenViewport;
    bool m_deviceLost = false;
    bool m_commandListOpen = false;
    std::array<Platform::ResourceBarrier, kBarrierBatchSize> m_pendingBarriers{};
    uint32_t m_pendingBarrierCount = 0;
    std::shared_ptr<Platform::Fence> m_fence;
    std::array<uint64_t, kFrameCount> m_fenceValues{};
    float m_outputSize[2] = {0, 0};
    std::array<std::shared_ptr<Platform::DescriptorHeap>, 4> m_heaps;
    std::array<int32_t, 4> m_descriptorCounts{};
    std::shared_ptr<Platform::DescriptorHeap> m_cpuCbvSrvUavHeap;
    int32_t m_cpuCbvSrvUavCount = 0;
    std::shared_ptr<DescriptorSlots> m_descriptorSlots;
    // Back-buffer and depth views keep their slots across resizes.
    std::array<DescriptorHandle, kFrameCount> m_rtvSlots;
    DescriptorHandle m_dsvSlot;
};

}  // namespace Engine
