#include "Engine/Platform/Swapchain.h"

#include <algorithm>

#include "Engine/Platform/VulkanCommon.h"
#include "core/HrException.h"

namespace Engine::Platform {

struct SwapchainImpl {
    DeviceImpl* device = nullptr;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    VkSwapchainKHR swapchain = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;
    Format engineFormat = Format::Unknown;
    VkExtent2D extent{};
    std::vector<VkImage> images;
    std::vector<VkSemaphore> renderDone;                     // one per image
    std::vector<std::pair<VkSemaphore, uint64_t>> acquire;   // semaphore, serial of its last wait
    std::shared_ptr<CommandAllocator> allocators[2];
    std::shared_ptr<CommandList> list;
    uint32_t frame = 0;
    uint32_t requestedWidth = 1, requestedHeight = 1;
};

namespace {

void DestroyChain(SwapchainImpl& s) {
    DeviceImpl& d = *s.device;
    {
        std::lock_guard lock(d.queueLock);
        vkQueueWaitIdle(d.queue);
    }
    for (VkSemaphore sem : s.renderDone) vkDestroySemaphore(d.device, sem, nullptr);
    s.renderDone.clear();
    if (s.swapchain) d.fn.destroySwapchain(d.device, s.swapchain, nullptr);
    s.swapchain = VK_NULL_HANDLE;
    s.images.clear();
}

VkResult CreateChain(SwapchainImpl& s, uint32_t width, uint32_t height) {
    DeviceImpl& d = *s.device;
    s.requestedWidth = width;
    s.requestedHeight = height;
    VkBool32 presentSupported = VK_FALSE;
    VkCheck(vkGetPhysicalDeviceSurfaceSupportKHR(d.physicalDevice, d.queueFamily, s.surface, &presentSupported),
            "vkGetPhysicalDeviceSurfaceSupportKHR");
    if (!presentSupported) return VK_ERROR_SURFACE_LOST_KHR;
    VkSurfaceCapabilitiesKHR caps{};
    VkCheck(vkGetPhysicalDeviceSurfaceCapabilitiesKHR(d.physicalDevice, s.surface, &caps), "vkGetPhysicalDeviceSurfaceCapabilitiesKHR");
    // A minimised window has no area: no chain until it has one again (frames are dropped).
    if (caps.maxImageExtent.width == 0 || caps.maxImageExtent.height == 0) return VK_SUCCESS;
    uint32_t count = 0;
    VkCheck(vkGetPhysicalDeviceSurfaceFormatsKHR(d.physicalDevice, s.surface, &count, nullptr), "vkGetPhysicalDeviceSurfaceFormatsKHR");
    std::vector<VkSurfaceFormatKHR> formats(count);
    VkCheck(vkGetPhysicalDeviceSurfaceFormatsKHR(d.physicalDevice, s.surface, &count, formats.data()), "vkGetPhysicalDeviceSurfaceFormatsKHR");
    // A UNORM format: the image is already graded, so an sRGB format would encode it twice.
    VkSurfaceFormatKHR chosen{VK_FORMAT_UNDEFINED, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
    for (VkFormat want : {VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_B8G8R8A8_UNORM})
        for (const VkSurfaceFormatKHR& f : formats)
            if (chosen.format == VK_FORMAT_UNDEFINED && f.format == want) chosen = f;
    if (chosen.format == VK_FORMAT_UNDEFINED) return VK_ERROR_FORMAT_NOT_SUPPORTED;
    s.format = chosen.format;
    s.engineFormat = chosen.format == VK_FORMAT_R8G8B8A8_UNORM ? Format::R8G8B8A8_UNORM : Format::B8G8R8A8_UNORM;

    VkCheck(vkGetPhysicalDeviceSurfacePresentModesKHR(d.physicalDevice, s.surface, &count, nullptr), "vkGetPhysicalDeviceSurfacePresentModesKHR");
    std::vector<VkPresentModeKHR> modes(count);
    VkCheck(vkGetPhysicalDeviceSurfacePresentModesKHR(d.physicalDevice, s.surface, &count, modes.data()), "vkGetPhysicalDeviceSurfacePresentModesKHR");
    VkPresentModeKHR mode = VK_PRESENT_MODE_FIFO_KHR;
    for (VkPresentModeKHR want : {VK_PRESENT_MODE_MAILBOX_KHR, VK_PRESENT_MODE_IMMEDIATE_KHR})
        if (std::find(modes.begin(), modes.end(), want) != modes.end()) mode = want;

    s.extent = caps.currentExtent.width != UINT32_MAX ? caps.currentExtent : VkExtent2D{width, height};
    s.extent.width = std::clamp(s.extent.width, std::max(1u, caps.minImageExtent.width), std::max(1u, caps.maxImageExtent.width));
    s.extent.height = std::clamp(s.extent.height, std::max(1u, caps.minImageExtent.height), std::max(1u, caps.maxImageExtent.height));
    uint32_t imageCount = std::max(2u, caps.minImageCount);
    if (caps.maxImageCount) imageCount = std::min(imageCount, caps.maxImageCount);

    VkSwapchainCreateInfoKHR info{VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
    info.surface = s.surface;
    info.minImageCount = imageCount;
    info.imageFormat = chosen.format;
    info.imageColorSpace = chosen.colorSpace;
    info.imageExtent = s.extent;
    info.imageArrayLayers = 1;
    info.imageUsage = VK_IMAGE_USAGE_TRANSFER_DST_BIT;
    info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.preTransform = caps.currentTransform;
    info.compositeAlpha = (caps.supportedCompositeAlpha & VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR) ? VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR
                                                                                             : VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR;
    info.presentMode = mode;
    info.clipped = VK_TRUE;
    const VkResult result = d.fn.createSwapchain(d.device, &info, nullptr, &s.swapchain);
    if (result != VK_SUCCESS) return result;
    VkCheck(d.fn.getSwapchainImages(d.device, s.swapchain, &count, nullptr), "vkGetSwapchainImagesKHR");
    s.images.resize(count);
    VkCheck(d.fn.getSwapchainImages(d.device, s.swapchain, &count, s.images.data()), "vkGetSwapchainImagesKHR");
    VkSemaphoreCreateInfo semInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    for (uint32_t i = 0; i < count; ++i) {
        VkSemaphore sem = VK_NULL_HANDLE;
        VkCheck(vkCreateSemaphore(d.device, &semInfo, nullptr, &sem), "vkCreateSemaphore");
        s.renderDone.push_back(sem);
    }
    return VK_SUCCESS;
}

PresentResult ToResult(VkResult result) {
    if (result == VK_ERROR_DEVICE_LOST) return PresentResult::DeviceLost;
    if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_SUBOPTIMAL_KHR) return PresentResult::OutOfDate;
    VkCheck(result, "present");
    return PresentResult::Ok;
}

}  // namespace

Swapchain::Swapchain(std::shared_ptr<Device> device, uint64_t surface, uint32_t width, uint32_t height)
    : m_device(std::move(device)), m_impl(std::make_unique<SwapchainImpl>()) {
    SwapchainImpl& s = *m_impl;
    s.device = &m_device->Impl();
    if (!s.device->swapchainExtension) throw HrException(static_cast<int32_t>(VK_ERROR_EXTENSION_NOT_PRESENT));
    s.surface = reinterpret_cast<VkSurfaceKHR>(surface);
    VkCheck(CreateChain(s, width, height), "vkCreateSwapchainKHR");
    s.allocators[0] = m_device->CreateCommandAllocator();
    s.allocators[1] = m_device->CreateCommandAllocator();
    s.list = std::make_shared<CommandList>(m_device);
}

Swapchain::~Swapchain() {
    SwapchainImpl& s = *m_impl;
    DestroyChain(s);
    for (auto& [sem, serial] : s.acquire) vkDestroySemaphore(s.device->device, sem, nullptr);
}

PresentResult Swapchain::Resize(uint32_t width, uint32_t height) {
    SwapchainImpl& s = *m_impl;
    DestroyChain(s);
    const VkResult result = CreateChain(s, width, height);
    if (result == VK_ERROR_DEVICE_LOST) return PresentResult::DeviceLost;
    VkCheck(result, "vkCreateSwapchainKHR");
    return PresentResult::Ok;
}

Format Swapchain::ImageFormat() const { return m_impl->engineFormat; }
uint32_t Swapchain::ImageCount() const { return static_cast<uint32_t>(m_impl->images.size()); }

PresentResult Swapchain::Present(Resource& backBuffer) {
    SwapchainImpl& s = *m_impl;
    DeviceImpl& d = *s.device;
    if (!s.swapchain) {
        const VkResult result = CreateChain(s, s.requestedWidth, s.requestedHeight);
        if (result == VK_ERROR_DEVICE_LOST) return PresentResult::DeviceLost;
        VkCheck(result, "vkCreateSwapchainKHR");
        if (!s.swapchain) return PresentResult::Ok;
    }

    // An acquire semaphore may be reused once the submission that waited on it has finished.
    const uint64_t done = d.CompletedSerial();
    VkSemaphore acquire = VK_NULL_HANDLE;
    size_t acquireIndex = 0;
    for (size_t i = 0; i < s.acquire.size() && !acquire; ++i)
        if (s.acquire[i].second <= done) acquire = s.acquire[i].first, acquireIndex = i;
    if (!acquire) {
        VkSemaphoreCreateInfo semInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
        VkCheck(vkCreateSemaphore(d.device, &semInfo, nullptr, &acquire), "vkCreateSemaphore");
        s.acquire.emplace_back(acquire, 0);
        acquireIndex = s.acquire.size() - 1;
    }
    uint32_t imageIndex = 0;
    VkResult result = d.fn.acquireNextImage(d.device, s.swapchain, UINT64_MAX, acquire, VK_NULL_HANDLE, &imageIndex);
    if (result != VK_SUCCESS && result != VK_SUBOPTIMAL_KHR) return ToResult(result);

    CommandAllocator& allocator = *s.allocators[s.frame++ & 1];
    allocator.Reset();
    s.list->Reset(allocator);
    VkCommandBuffer cmd = s.list->Impl().cmd;
    const ResourceImpl& src = backBuffer.Impl();
    VkImageMemoryBarrier2 barriers[2] = {{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2}, {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2}};
    barriers[0].srcStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barriers[0].srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
    barriers[0].dstStageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;
    barriers[0].dstAccessMask = VK_ACCESS_2_TRANSFER_READ_BIT;
    barriers[0].oldLayout = VK_IMAGE_LAYOUT_GENERAL;
    barriers[0].newLayout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
    barriers[0].srcQueueFamilyIndex = barriers[0].dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barriers[0].image = src.image;
    barriers[0].subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    barriers[1] = barriers[0];
    barriers[1].srcStageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;
    barriers[1].srcAccessMask = 0;
    barriers[1].dstAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
    barriers[1].oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    barriers[1].newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    barriers[1].image = s.images[imageIndex];
    VkDependencyInfo dep{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dep.imageMemoryBarrierCount = 2;
    dep.pImageMemoryBarriers = barriers;
    vkCmdPipelineBarrier2(cmd, &dep);
    VkImageBlit blit{};
    blit.srcSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    blit.srcOffsets[1] = {static_cast<int32_t>(backBuffer.Desc().width), static_cast<int32_t>(backBuffer.Desc().height), 1};
    blit.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    blit.dstOffsets[1] = {static_cast<int32_t>(s.extent.width), static_cast<int32_t>(s.extent.height), 1};
    vkCmdBlitImage(cmd, src.image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, s.images[imageIndex], VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1,
                   &blit, VK_FILTER_LINEAR);
    // Back buffer returns to the Present (GENERAL) layout; the image goes to the presentation engine.
    barriers[0].srcStageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;
    barriers[0].srcAccessMask = 0;
    barriers[0].dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barriers[0].dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
    std::swap(barriers[0].oldLayout, barriers[0].newLayout);
    barriers[1].srcAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
    barriers[1].dstStageMask = VK_PIPELINE_STAGE_2_NONE;
    barriers[1].dstAccessMask = 0;
    barriers[1].oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    barriers[1].newLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
    vkCmdPipelineBarrier2(cmd, &dep);
    s.list->Close();

    const VkSemaphoreSubmitInfo wait{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO, nullptr, acquire, 0, VK_PIPELINE_STAGE_2_BLIT_BIT, 0};
    const VkSemaphoreSubmitInfo signal{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO, nullptr, s.renderDone[imageIndex], 0,
                                       VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, 0};
    {
        std::lock_guard lock(d.queueLock);
        const uint64_t serial = d.SubmitLocked(std::span(&cmd, 1), std::span(&wait, 1), std::span(&signal, 1));
        s.acquire[acquireIndex].second = serial;
        allocator.Impl().lastSerial = serial;
        VkPresentInfoKHR present{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
        present.waitSemaphoreCount = 1;
        present.pWaitSemaphores = &s.renderDone[imageIndex];
        present.swapchainCount = 1;
        present.pSwapchains = &s.swapchain;
        present.pImageIndices = &imageIndex;
        result = d.fn.queuePresent(d.queue, &present);
    }
    return ToResult(result);
}

}  // namespace Engine::Platform
