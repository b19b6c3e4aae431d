#pragma once
// Presentation to a window surface. The engine renders into its own two back buffers; Present
// copies the current one into an acquired swap-chain image (converting the channel order when
// the surface only offers B8G8R8A8) and queues it without waiting for vertical blank.
#include <cstdint>
#include <memory>

#include "Engine/Platform/Types.h"

namespace Engine::Platform {

class Device;
class Resource;
struct SwapchainImpl;

enum class PresentResult : uint32_t { Ok, DeviceLost, OutOfDate };

class Swapchain {
public:
    /// `surface` is a VkSurfaceKHR created on Device::InstanceHandle(); the swap chain does not
    /// take ownership of it.
    Swapchain(std::shared_ptr<Device> device, uint64_t surface, uint32_t width, uint32_t height);
    ~Swapchain();
    Swapchain(const Swapchain&) = delete;
    Swapchain& operator=(const Swapchain&) = delete;

    /// Re-creates the images at the new size; DeviceLost when the device was removed.
    PresentResult Resize(uint32_t width, uint32_t height);
    /// Copies `backBuffer` (in the Present state) into the next image and presents it.
    PresentResult Present(Resource& backBuffer);
    Format ImageFormat() const;
    uint32_t ImageCount() const;

private:
    std::shared_ptr<Device> m_device;
    std::unique_ptr<SwapchainImpl> m_impl;
};

}  // namespace Engine::Platform
