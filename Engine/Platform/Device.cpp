#include "Engine/Platform/Device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "Engine/Platform/VulkanCommon.h"
#include "core/HrException.h"

namespace Engine::Platform {

void VkCheck(VkResult result, const char* what) {
    if (result < 0) {
        std::fprintf(stderr, "Vulkan call %s failed with VkResult %d\n", what, static_cast<int>(result));
        throw HrException(static_cast<int32_t>(result));
    }
}

namespace {

constexpr const char* kValidationLayer = "VK_LAYER_KHRONOS_validation";

VKAPI_ATTR VkBool32 VKAPI_CALL DebugCallback(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                             VkDebugUtilsMessageTypeFlagsEXT type,
                                             const VkDebugUtilsMessengerCallbackDataEXT* data, void* user) {
    auto* impl = static_cast<DeviceImpl*>(user);
    const char* text = data && data->pMessage ? data->pMessage : "";
    const bool counted = (type & VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT) != 0 &&
                         (severity & (VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT |
                                      VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT)) != 0;
    std::fprintf(stderr, "[vulkan] %s\n", text);
    if (counted) {
        impl->validationMessages.fetch_add(1);
        std::lock_guard lock(impl->messageLock);
        impl->lastValidationMessage = text;
    }
    return VK_FALSE;
}

}  // namespace

void DeviceImpl::ReportMisuse(const std::string& text) {
    std::fprintf(stderr, "[tavrin] %s\n", text.c_str());
    validationMessages.fetch_add(1);
    std::lock_guard lock(messageLock);
    lastValidationMessage = text;
}

namespace {

bool HasExtension(const std::vector<VkExtensionProperties>& list, const char* name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const VkExtensionProperties& e) { return std::strcmp(e.extensionName, name) == 0; });
}

std::vector<VkExtensionProperties> DeviceExtensions(VkPhysicalDevice physical) {
    uint32_t count = 0;
    VkCheck(vkEnumerateDeviceExtensionProperties(physical, nullptr, &count, nullptr), "vkEnumerateDeviceExtensionProperties");
    std::vector<VkExtensionProperties> list(count);
    VkCheck(vkEnumerateDeviceExtensionProperties(physical, nullptr, &count, list.data()), "vkEnumerateDeviceExtensionProperties");
    list.resize(count);
    return list;
}

AdapterKind KindOf(VkPhysicalDeviceType type) {
    switch (type) {
    case VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU: return AdapterKind::Discrete;
    case VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU: return AdapterKind::Integrated;
    case VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU: return AdapterKind::Virtual;
    case VK_PHYSICAL_DEVICE_TYPE_CPU: return AdapterKind::Cpu;
    default: return AdapterKind::Other;
    }
}

// Everything the engine cannot run without: Vulkan 1.3 with dynamic rendering, synchronization2,
// maintenance4, timeline semaphores, buffer device addresses and update-after-bind descriptor
// indexing for the bindless set, plus a graphics+compute queue.
bool IsSuitable(VkPhysicalDevice physical, const DeviceOptions& options, uint32_t& queueFamily) {
    VkPhysicalDeviceProperties props{};
    vkGetPhysicalDeviceProperties(physical, &props);
    if (props.apiVersion < VK_API_VERSION_1_3) return false;

    VkPhysicalDeviceVulkan13Features f13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    VkPhysicalDeviceVulkan12Features f12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES, &f13};
    VkPhysicalDeviceFeatures2 f2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &f12};
    vkGetPhysicalDeviceFeatures2(physical, &f2);
    if (!f13.dynamicRendering || !f13.synchronization2 || !f13.maintenance4) return false;
    if (!f12.timelineSemaphore || !f12.bufferDeviceAddress || !f12.descriptorIndexing || !f12.runtimeDescriptorArray ||
        !f12.descriptorBindingPartiallyBound || !f12.descriptorBindingSampledImageUpdateAfterBind ||
        !f12.descriptorBindingStorageImageUpdateAfterBind || !f12.descriptorBindingStorageBufferUpdateAfterBind ||
        !f12.shaderSampledImageArrayNonUniformIndexing || !f12.shaderStorageBufferArrayNonUniformIndexing ||
        !f12.shaderStorageImageArrayNonUniformIndexing)
        return false;

    VkPhysicalDeviceVulkan12Properties p12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_PROPERTIES};
    VkPhysicalDeviceProperties2 p2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, &p12};
    vkGetPhysicalDeviceProperties2(physical, &p2);
    const uint32_t views = options.bindlessViews;
    if (p12.maxDescriptorSetUpdateAfterBindSampledImages < views || p12.maxDescriptorSetUpdateAfterBindStorageImages < views ||
        p12.maxDescriptorSetUpdateAfterBindStorageBuffers < views ||
        p12.maxDescriptorSetUpdateAfterBindSamplers < options.bindlessSamplers ||
        p12.maxPerStageDescriptorUpdateAfterBindSampledImages < views || p12.maxPerStageDescriptorUpdateAfterBindStorageImages < views ||
        p12.maxPerStageDescriptorUpdateAfterBindStorageBuffers < views)
        return false;

    uint32_t familyCount = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(physical, &familyCount, nullptr);
    std::vector<VkQueueFamilyProperties> families(familyCount);
    vkGetPhysicalDeviceQueueFamilyProperties(physical, &familyCount, families.data());
    for (uint32_t i = 0; i < familyCount; ++i) {
        const VkQueueFlags need = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT;
        if ((families[i].queueFlags & need) == need) {
            queueFamily = i;
            return true;
        }
    }
    return false;
}

bool SupportsRaytracing(VkPhysicalDevice physical, const std::vector<VkExtensionProperties>& extensions, uint32_t scenes) {
    if (!HasExtension(extensions, VK_KHR_ACCELERATION_STRUCTURE_EXTENSION_NAME) ||
        !HasExtension(extensions, VK_KHR_RAY_TRACING_PIPELINE_EXTENSION_NAME) ||
        !HasExtension(extensions, VK_KHR_DEFERRED_HOST_OPERATIONS_EXTENSION_NAME))
        return false;
    VkPhysicalDeviceRayTracingPipelineFeaturesKHR rt{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_RAY_TRACING_PIPELINE_FEATURES_KHR};
    VkPhysicalDeviceAccelerationStructureFeaturesKHR as{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ACCELERATION_STRUCTURE_FEATURES_KHR, &rt};
    VkPhysicalDeviceFeatures2 f2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &as};
    vkGetPhysicalDeviceFeatures2(physical, &f2);
    VkPhysicalDeviceAccelerationStructurePropertiesKHR asProps{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ACCELERATION_STRUCTURE_PROPERTIES_KHR};
    VkPhysicalDeviceProperties2 p2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, &asProps};
    vkGetPhysicalDeviceProperties2(physical, &p2);
    // The top-level structures live in the bindless set, so they must be update-after-bind too.
    return as.accelerationStructure && rt.rayTracingPipeline && as.descriptorBindingAccelerationStructureUpdateAfterBind &&
           asProps.maxDescriptorSetUpdateAfterBindAccelerationStructures >= scenes;
}

uint32_t ChooseSampleCount(const VkPhysicalDeviceLimits& limits) {
    const VkSampleCountFlags counts = limits.framebufferColorSampleCounts & limits.framebufferDepthSampleCounts &
                                      limits.sampledImageColorSampleCounts & limits.sampledImageDepthSampleCounts;
    for (uint32_t samples = 2; samples <= 64; samples *= 2)
        if (counts & samples) return samples;
    return 1;
}

template <typename T>
void LoadDeviceFunction(VkDevice device, T& target, const char* name) {
    target = reinterpret_cast<T>(vkGetDeviceProcAddr(device, name));
}

}  // namespace

uint64_t DeviceImpl::CompletedSerial() const {
    uint64_t value = 0;
    VkCheck(vkGetSemaphoreCounterValue(device, submitSemaphore, &value), "vkGetSemaphoreCounterValue");
    return value;
}

void DeviceImpl::WaitSerial(uint64_t serial) const {
    if (serial == 0) return;
    VkSemaphoreWaitInfo wait{VK_STRUCTURE_TYPE_SEMAPHORE_WAIT_INFO};
    wait.semaphoreCount = 1;
    wait.pSemaphores = &submitSemaphore;
    wait.pValues = &serial;
    VkCheck(vkWaitSemaphores(device, &wait, UINT64_MAX), "vkWaitSemaphores");
}

void DeviceImpl::Retire(std::function<void()> destroy) {
    // Recorded but unsubmitted work (the frame's open list, pending layout initialisations) may
    // still name the object, so it lives until the next submission has completed too.
    uint64_t serial;
    {
        std::lock_guard lock(queueLock);
        serial = lastSubmittedSerial + 1;
    }
    std::lock_guard lock(garbageLock);
    garbage.emplace_back(serial, std::move(destroy));
}

void DeviceImpl::CollectGarbage() {
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(garbageLock);
        if (garbage.empty()) return;
        const uint64_t done = CompletedSerial();
        auto keep = std::stable_partition(garbage.begin(), garbage.end(), [&](const auto& g) { return g.first > done; });
        for (auto it = keep; it != garbage.end(); ++it) ready.push_back(std::move(it->second));
        garbage.erase(keep, garbage.end());
    }
    for (auto& destroy : ready) destroy();
}

void DeviceImpl::SetObjectName(VkObjectType type, uint64_t handle, const std::string& name) const {
    if (!fn.setObjectName || handle == 0) return;
    VkDebugUtilsObjectNameInfoEXT info{VK_STRUCTURE_TYPE_DEBUG_UTILS_OBJECT_NAME_INFO_EXT};
    info.objectType = type;
    info.objectHandle = handle;
    info.pObjectName = name.c_str();
    fn.setObjectName(device, &info);
}

uint32_t DeviceImpl::FindMemoryType(uint32_t typeBits, VkMemoryPropertyFlags required, VkMemoryPropertyFlags preferred) const {
    for (int pass = 0; pass < 2; ++pass) {
        const VkMemoryPropertyFlags want = pass == 0 ? (required | preferred) : required;
        for (uint32_t i = 0; i < memoryProperties.memoryTypeCount; ++i)
            if ((typeBits & (1u << i)) && (memoryProperties.memoryTypes[i].propertyFlags & want) == want) return i;
    }
    throw HrException(static_cast<int32_t>(VK_ERROR_OUT_OF_DEVICE_MEMORY));
}

VkPipelineStageFlags2 DeviceImpl::ShaderStages() const {
    VkPipelineStageFlags2 stages =
        VK_PIPELINE_STAGE_2_VERTEX_SHADER_BIT | VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT;
    if (raytracing) stages |= VK_PIPELINE_STAGE_2_RAY_TRACING_SHADER_BIT_KHR;
    if (enabledFeatures.geometryShader) stages |= VK_PIPELINE_STAGE_2_GEOMETRY_SHADER_BIT;
    return stages;
}

void DeviceImpl::RecordInitialLayout(VkImage image, VkImageAspectFlags aspect, VkImageLayout layout) {
    std::lock_guard lock(initLock);
    if (!initRecording) {
        const uint64_t done = CompletedSerial();
        for (auto& [buffer, serial] : initBuffers)
            if (serial <= done) {
                initRecording = buffer;
                serial = UINT64_MAX;  // in use until submitted
                break;
            }
        if (!initRecording) {
            VkCommandBufferAllocateInfo alloc{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
            alloc.commandPool = initPool;
            alloc.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
            alloc.commandBufferCount = 1;
            VkCheck(vkAllocateCommandBuffers(device, &alloc, &initRecording), "vkAllocateCommandBuffers");
            initBuffers.emplace_back(initRecording, UINT64_MAX);
        }
        VkCheck(vkResetCommandBuffer(initRecording, 0), "vkResetCommandBuffer");
        VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        VkCheck(vkBeginCommandBuffer(initRecording, &begin), "vkBeginCommandBuffer");
    }
    VkImageMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_NONE;
    barrier.dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
    barrier.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    barrier.newLayout = layout;
    barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = {aspect, 0, VK_REMAINING_MIP_LEVELS, 0, VK_REMAINING_ARRAY_LAYERS};
    VkDependencyInfo dep{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dep.imageMemoryBarrierCount = 1;
    dep.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(initRecording, &dep);
}

uint64_t DeviceImpl::SubmitLocked(std::span<const VkCommandBuffer> buffers, std::span<const VkSemaphoreSubmitInfo> waits,
                                  std::span<const VkSemaphoreSubmitInfo> signals) {
    std::vector<VkCommandBufferSubmitInfo> cmdInfos;
    VkCommandBuffer init = VK_NULL_HANDLE;
    {
        std::lock_guard lock(initLock);
        if (initRecording) {
            VkCheck(vkEndCommandBuffer(initRecording), "vkEndCommandBuffer");
            init = initRecording;
            initRecording = VK_NULL_HANDLE;
        }
    }
    if (init) cmdInfos.push_back({VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO, nullptr, init, 0});
    for (VkCommandBuffer b : buffers) cmdInfos.push_back({VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO, nullptr, b, 0});

    const uint64_t serial = lastSubmittedSerial + 1;
    std::vector<VkSemaphoreSubmitInfo> signalInfos(signals.begin(), signals.end());
    signalInfos.push_back({VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO, nullptr, submitSemaphore, serial,
                           VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, 0});
    VkSubmitInfo2 submit{VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
    submit.waitSemaphoreInfoCount = static_cast<uint32_t>(waits.size());
    submit.pWaitSemaphoreInfos = waits.data();
    submit.commandBufferInfoCount = static_cast<uint32_t>(cmdInfos.size());
    submit.pCommandBufferInfos = cmdInfos.data();
    submit.signalSemaphoreInfoCount = static_cast<uint32_t>(signalInfos.size());
    submit.pSignalSemaphoreInfos = signalInfos.data();
    VkCheck(vkQueueSubmit2(queue, 1, &submit, VK_NULL_HANDLE), "vkQueueSubmit2");
    lastSubmittedSerial = serial;
    if (init) {
        std::lock_guard lock(initLock);
        for (auto& [buffer, s] : initBuffers)
            if (buffer == init) s = serial;
    }
    return serial;
}

// Fence --------------------------------------------------------------------------------------

Fence::Fence(std::shared_ptr<Device> device, uint64_t initialValue)
    : m_device(std::move(device)), m_impl(std::make_unique<FenceImpl>()) {
    m_impl->device = &m_device->Impl();
    VkSemaphoreTypeCreateInfo type{VK_STRUCTURE_TYPE_SEMAPHORE_TYPE_CREATE_INFO};
    type.semaphoreType = VK_SEMAPHORE_TYPE_TIMELINE;
    type.initialValue = initialValue;
    VkSemaphoreCreateInfo info{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO, &type};
    VkCheck(vkCreateSemaphore(m_impl->device->device, &info, nullptr, &m_impl->semaphore), "vkCreateSemaphore");
}

Fence::~Fence() {
    DeviceImpl* device = m_impl->device;
    VkSemaphore semaphore = m_impl->semaphore;
    device->Retire([device, semaphore] { vkDestroySemaphore(device->device, semaphore, nullptr); });
}

uint64_t Fence::GetCompletedValue() const {
    uint64_t value = 0;
    VkCheck(vkGetSemaphoreCounterValue(m_impl->device->device, m_impl->semaphore, &value), "vkGetSemaphoreCounterValue");
    return value;
}

void Fence::Wait(uint64_t value) const {
    VkSemaphoreWaitInfo wait{VK_STRUCTURE_TYPE_SEMAPHORE_WAIT_INFO};
    wait.semaphoreCount = 1;
    wait.pSemaphores = &m_impl->semaphore;
    wait.pValues = &value;
    VkCheck(vkWaitSemaphores(m_impl->device->device, &wait, UINT64_MAX), "vkWaitSemaphores");
}

// Device -------------------------------------------------------------------------------------

Device::Device() : m_impl(std::make_unique<DeviceImpl>()) {}

std::shared_ptr<Device> Device::Create(const DeviceOptions& options) {
    if (options.bindlessViews == 0 || options.bindlessSamplers == 0)
        throw std::invalid_argument("DeviceOptions: every bindless array needs at least one slot");
    std::shared_ptr<Device> result(new Device());
    DeviceImpl& d = *result->m_impl;
    d.bindlessViews = options.bindlessViews;
    d.bindlessSamplers = options.bindlessSamplers;

    // Instance, with the validation layer and debug messenger when asked for, and the surface
    // extensions a window toolkit may need.
    uint32_t extCount = 0;
    VkCheck(vkEnumerateInstanceExtensionProperties(nullptr, &extCount, nullptr), "vkEnumerateInstanceExtensionProperties");
    std::vector<VkExtensionProperties> instanceExts(extCount);
    VkCheck(vkEnumerateInstanceExtensionProperties(nullptr, &extCount, instanceExts.data()), "vkEnumerateInstanceExtensionProperties");
    instanceExts.resize(extCount);
    std::vector<const char*> enabledExts;
    for (const char* name :
         {"VK_KHR_surface", "VK_KHR_xcb_surface", "VK_KHR_xlib_surface", "VK_KHR_wayland_surface", "VK_EXT_headless_surface"})
        if (HasExtension(instanceExts, name)) enabledExts.push_back(name);
    d.debugUtils = HasExtension(instanceExts, VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
    if (d.debugUtils) enabledExts.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);

    std::vector<const char*> layers;
    if (options.enableValidation) {
        uint32_t layerCount = 0;
        VkCheck(vkEnumerateInstanceLayerProperties(&layerCount, nullptr), "vkEnumerateInstanceLayerProperties");
        std::vector<VkLayerProperties> available(layerCount);
        VkCheck(vkEnumerateInstanceLayerProperties(&layerCount, available.data()), "vkEnumerateInstanceLayerProperties");
        for (uint32_t i = 0; i < layerCount; ++i)
            if (std::strcmp(available[i].layerName, kValidationLayer) == 0) layers.push_back(kValidationLayer);
        if (layers.empty()) std::fprintf(stderr, "The Vulkan validation layer is not installed; running without it\n");
        d.validation = !layers.empty() && d.debugUtils;
    }

    VkApplicationInfo app{VK_STRUCTURE_TYPE_APPLICATION_INFO};
    app.pApplicationName = "Tavrin";
    app.pEngineName = "Tavrin";
    app.apiVersion = VK_API_VERSION_1_3;
    VkDebugUtilsMessengerCreateInfoEXT messengerInfo{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
    messengerInfo.messageSeverity = VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
    messengerInfo.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                                VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
    messengerInfo.pfnUserCallback = DebugCallback;
    messengerInfo.pUserData = &d;
    VkInstanceCreateInfo instanceInfo{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    instanceInfo.pNext = d.validation ? &messengerInfo : nullptr;
    instanceInfo.pApplicationInfo = &app;
    instanceInfo.enabledLayerCount = static_cast<uint32_t>(layers.size());
    instanceInfo.ppEnabledLayerNames = layers.data();
    instanceInfo.enabledExtensionCount = static_cast<uint32_t>(enabledExts.size());
    instanceInfo.ppEnabledExtensionNames = enabledExts.data();
    const VkResult instanceResult = vkCreateInstance(&instanceInfo, nullptr, &d.instance);
    if (instanceResult == VK_ERROR_INCOMPATIBLE_DRIVER)
        throw std::runtime_error("No Vulkan device found. Install a Vulkan driver (Mesa's lavapipe renders on the CPU)");
    VkCheck(instanceResult, "vkCreateInstance");
    if (d.debugUtils) {
        d.fn.createMessenger = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(d.instance, "vkCreateDebugUtilsMessengerEXT"));
        d.fn.destroyMessenger = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(d.instance, "vkDestroyDebugUtilsMessengerEXT"));
        d.fn.setObjectName = reinterpret_cast<PFN_vkSetDebugUtilsObjectNameEXT>(
            vkGetInstanceProcAddr(d.instance, "vkSetDebugUtilsObjectNameEXT"));
        d.fn.cmdBeginLabel = reinterpret_cast<PFN_vkCmdBeginDebugUtilsLabelEXT>(
            vkGetInstanceProcAddr(d.instance, "vkCmdBeginDebugUtilsLabelEXT"));
        d.fn.cmdEndLabel = reinterpret_cast<PFN_vkCmdEndDebugUtilsLabelEXT>(
            vkGetInstanceProcAddr(d.instance, "vkCmdEndDebugUtilsLabelEXT"));
        if (d.validation && d.fn.createMessenger)
            VkCheck(d.fn.createMessenger(d.instance, &messengerInfo, nullptr, &d.messenger), "vkCreateDebugUtilsMessengerEXT");
    }

    // Adapter: hardware devices first (discrete, integrated, then any other), the CPU device last.
    uint32_t physicalCount = 0;
    VkCheck(vkEnumeratePhysicalDevices(d.instance, &physicalCount, nullptr), "vkEnumeratePhysicalDevices");
    std::vector<VkPhysicalDevice> physicals(physicalCount);
    VkCheck(vkEnumeratePhysicalDevices(d.instance, &physicalCount, physicals.data()), "vkEnumeratePhysicalDevices");
    physicals.resize(physicalCount);
    auto rank = [](VkPhysicalDevice p) {
        VkPhysicalDeviceProperties props{};
        vkGetPhysicalDeviceProperties(p, &props);
        return static_cast<int>(KindOf(props.deviceType));
    };
    std::stable_sort(physicals.begin(), physicals.end(), [&](auto a, auto b) { return rank(a) < rank(b); });
    bool sawCpuDevice = false;
    for (VkPhysicalDevice p : physicals) {
        sawCpuDevice |= rank(p) == static_cast<int>(AdapterKind::Cpu);
        uint32_t family = 0;
        if (IsSuitable(p, options, family)) {
            d.physicalDevice = p;
            d.queueFamily = family;
            break;
        }
    }
    if (!d.physicalDevice) {
        if (!sawCpuDevice)
            throw std::runtime_error("No Vulkan device found. Install a Vulkan driver (Mesa's lavapipe renders on the CPU)");
        throw std::runtime_error("No Vulkan 1.3 device found");
    }

    VkPhysicalDeviceDriverProperties driverProps{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES};
    VkPhysicalDeviceVulkan12Properties p12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_PROPERTIES, &driverProps};
    VkPhysicalDeviceRayTracingPipelinePropertiesKHR rtProps{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_RAY_TRACING_PIPELINE_PROPERTIES_KHR, &p12};
    VkPhysicalDeviceAccelerationStructurePropertiesKHR asProps{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ACCELERATION_STRUCTURE_PROPERTIES_KHR};
    const std::vector<VkExtensionProperties> deviceExts = DeviceExtensions(d.physicalDevice);
    d.raytracing = SupportsRaytracing(d.physicalDevice, deviceExts, options.bindlessViews);
    VkPhysicalDeviceProperties2 props2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, d.raytracing ? static_cast<void*>(&rtProps) : &p12};
    if (d.raytracing) p12.pNext = &asProps, asProps.pNext = &driverProps;
    vkGetPhysicalDeviceProperties2(d.physicalDevice, &props2);
    const VkPhysicalDeviceProperties& props = props2.properties;
    vkGetPhysicalDeviceMemoryProperties(d.physicalDevice, &d.memoryProperties);

    d.adapter.name = props.deviceName;
    d.adapter.kind = KindOf(props.deviceType);
    d.adapter.apiVersion = props.apiVersion;
    d.adapter.driverVersion = props.driverVersion;
    d.adapter.driverName = driverProps.driverName;
    d.adapter.driverInfo = driverProps.driverInfo;
    d.adapter.vendorId = props.vendorID;
    d.adapter.deviceId = props.deviceID;
    if (d.adapter.kind == AdapterKind::Cpu) std::fputs("Vulkan Adapter - lavapipe\n", stderr);

    DeviceLimits& l = d.limits;
    l.maxImageDimension2D = props.limits.maxImageDimension2D;
    l.maxImageDimension3D = props.limits.maxImageDimension3D;
    l.maxImageDimensionCube = props.limits.maxImageDimensionCube;
    l.maxImageArrayLayers = props.limits.maxImageArrayLayers;
    l.maxPushConstantsSize = props.limits.maxPushConstantsSize;
    l.maxComputeWorkGroupInvocations = props.limits.maxComputeWorkGroupInvocations;
    for (int i = 0; i < 3; ++i) l.maxComputeWorkGroupSize[i] = props.limits.maxComputeWorkGroupSize[i];
    l.maxColorAttachments = props.limits.maxColorAttachments;
    l.maxSampledImagesPerSet = p12.maxDescriptorSetUpdateAfterBindSampledImages;
    l.maxStorageImagesPerSet = p12.maxDescriptorSetUpdateAfterBindStorageImages;
    l.maxStorageBuffersPerSet = p12.maxDescriptorSetUpdateAfterBindStorageBuffers;
    l.maxSamplersPerSet = p12.maxDescriptorSetUpdateAfterBindSamplers;
    l.minStorageBufferOffsetAlignment = props.limits.minStorageBufferOffsetAlignment;
    l.minUniformBufferOffsetAlignment = props.limits.minUniformBufferOffsetAlignment;
    l.maxSamplerAnisotropy = props.limits.maxSamplerAnisotropy;
    l.timestampPeriodNs = props.limits.timestampPeriod;
    {
        uint32_t familyCount = 0;
        vkGetPhysicalDeviceQueueFamilyProperties(d.physicalDevice, &familyCount, nullptr);
        std::vector<VkQueueFamilyProperties> families(familyCount);
        vkGetPhysicalDeviceQueueFamilyProperties(d.physicalDevice, &familyCount, families.data());
        if (d.queueFamily < familyCount) l.timestampValidBits = families[d.queueFamily].timestampValidBits;
    }
    l.depthResolveMin = (p12.supportedDepthResolveModes & VK_RESOLVE_MODE_MIN_BIT) != 0;
    l.depthResolveMax = (p12.supportedDepthResolveModes & VK_RESOLVE_MODE_MAX_BIT) != 0;
    if (d.raytracing) {
        l.shaderGroupHandleSize = rtProps.shaderGroupHandleSize;
        l.shaderGroupHandleAlignment = rtProps.shaderGroupHandleAlignment;
        l.shaderGroupBaseAlignment = rtProps.shaderGroupBaseAlignment;
        l.maxRayRecursionDepth = rtProps.maxRayRecursionDepth;
        l.maxGeometryCount = asProps.maxGeometryCount;
        l.maxInstanceCount = asProps.maxInstanceCount;
        l.maxPrimitiveCount = asProps.maxPrimitiveCount;
        l.minAccelerationStructureScratchOffsetAlignment = asProps.minAccelerationStructureScratchOffsetAlignment;
    }
    d.msaaSamples = ChooseSampleCount(props.limits);

    // Device with the features the engine uses (the optional ones where offered).
    VkPhysicalDeviceFeatures supported{};
    vkGetPhysicalDeviceFeatures(d.physicalDevice, &supported);
    VkPhysicalDeviceVulkan12Features sup12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES};
    VkPhysicalDeviceFeatures2 sup2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &sup12};
    vkGetPhysicalDeviceFeatures2(d.physicalDevice, &sup2);

    VkPhysicalDeviceFeatures& core = d.enabledFeatures;
    core.samplerAnisotropy = supported.samplerAnisotropy;
    core.shaderStorageImageReadWithoutFormat = supported.shaderStorageImageReadWithoutFormat;
    core.shaderStorageImageWriteWithoutFormat = supported.shaderStorageImageWriteWithoutFormat;
    // Storage images declared with packed or 16-bit formats (r11f_g11f_b10f, rg16f, r16f, ...).
    core.shaderStorageImageExtendedFormats = supported.shaderStorageImageExtendedFormats;
    core.fillModeNonSolid = supported.fillModeNonSolid;
    core.depthClamp = supported.depthClamp;
    core.depthBiasClamp = supported.depthBiasClamp;
    core.independentBlend = supported.independentBlend;
    core.imageCubeArray = supported.imageCubeArray;
    core.shaderInt64 = supported.shaderInt64;
    core.shaderInt16 = supported.shaderInt16;
    core.fragmentStoresAndAtomics = supported.fragmentStoresAndAtomics;
    core.vertexPipelineStoresAndAtomics = supported.vertexPipelineStoresAndAtomics;
    core.textureCompressionBC = supported.textureCompressionBC;
    core.shaderImageGatherExtended = supported.shaderImageGatherExtended;
    // The voxelisation projects each triangle along its dominant axis in a geometry shader.
    core.geometryShader = supported.geometryShader;

    VkPhysicalDeviceRayTracingPipelineFeaturesKHR rtFeatures{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_RAY_TRACING_PIPELINE_FEATURES_KHR};
    rtFeatures.rayTracingPipeline = VK_TRUE;
    VkPhysicalDeviceAccelerationStructureFeaturesKHR asFeatures{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ACCELERATION_STRUCTURE_FEATURES_KHR, &rtFeatures};
    asFeatures.accelerationStructure = VK_TRUE;
    asFeatures.descriptorBindingAccelerationStructureUpdateAfterBind = VK_TRUE;
    VkPhysicalDeviceVulkan13Features f13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES, d.raytracing ? &asFeatures : nullptr};
    f13.dynamicRendering = VK_TRUE;
    f13.synchronization2 = VK_TRUE;
    f13.maintenance4 = VK_TRUE;
    VkPhysicalDeviceVulkan12Features f12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES, &f13};
    f12.timelineSemaphore = VK_TRUE;
    f12.bufferDeviceAddress = VK_TRUE;
    f12.descriptorIndexing = VK_TRUE;
    f12.runtimeDescriptorArray = VK_TRUE;
    f12.descriptorBindingPartiallyBound = VK_TRUE;
    f12.descriptorBindingSampledImageUpdateAfterBind = VK_TRUE;
    f12.descriptorBindingStorageImageUpdateAfterBind = VK_TRUE;
    f12.descriptorBindingStorageBufferUpdateAfterBind = VK_TRUE;
    f12.descriptorBindingUpdateUnusedWhilePending = sup12.descriptorBindingUpdateUnusedWhilePending;
    f12.shaderSampledImageArrayNonUniformIndexing = VK_TRUE;
    f12.shaderStorageImageArrayNonUniformIndexing = VK_TRUE;
    f12.shaderStorageBufferArrayNonUniformIndexing = VK_TRUE;
    f12.scalarBlockLayout = sup12.scalarBlockLayout;
    f12.shaderFloat16 = sup12.shaderFloat16;
    f12.storageBuffer8BitAccess = sup12.storageBuffer8BitAccess;
    f12.uniformAndStorageBuffer8BitAccess = sup12.uniformAndStorageBuffer8BitAccess;
    f12.hostQueryReset = sup12.hostQueryReset;
    d.hostQueryReset = sup12.hostQueryReset;
    VkPhysicalDeviceVulkan11Features f11{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_FEATURES, &f12};
    VkPhysicalDeviceVulkan11Features sup11{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_FEATURES};
    VkPhysicalDeviceFeatures2 sup2b{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &sup11};
    vkGetPhysicalDeviceFeatures2(d.physicalDevice, &sup2b);
    f11.shaderDrawParameters = sup11.shaderDrawParameters;
    f11.storageBuffer16BitAccess = sup11.storageBuffer16BitAccess;
    VkPhysicalDeviceFeatures2 features2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &f11};
    features2.features = core;

    std::vector<const char*> deviceExtNames;
    d.swapchainExtension = HasExtension(deviceExts, VK_KHR_SWAPCHAIN_EXTENSION_NAME) &&
                           std::find_if(enabledExts.begin(), enabledExts.end(), [](const char* n) {
                               return std::strcmp(n, "VK_KHR_surface") == 0;
                           }) != enabledExts.end();
    if (d.swapchainExtension) deviceExtNames.push_back(VK_KHR_SWAPCHAIN_EXTENSION_NAME);
    if (d.raytracing) {
        deviceExtNames.push_back(VK_KHR_ACCELERATION_STRUCTURE_EXTENSION_NAME);
        deviceExtNames.push_back(VK_KHR_RAY_TRACING_PIPELINE_EXTENSION_NAME);
        deviceExtNames.push_back(VK_KHR_DEFERRED_HOST_OPERATIONS_EXTENSION_NAME);
    }
    const float priority = 1.0f;
    VkDeviceQueueCreateInfo queueInfo{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queueInfo.queueFamilyIndex = d.queueFamily;
    queueInfo.queueCount = 1;
    queueInfo.pQueuePriorities = &priority;
    VkDeviceCreateInfo deviceInfo{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO, &features2};
    deviceInfo.queueCreateInfoCount = 1;
    deviceInfo.pQueueCreateInfos = &queueInfo;
    deviceInfo.enabledExtensionCount = static_cast<uint32_t>(deviceExtNames.size());
    deviceInfo.ppEnabledExtensionNames = deviceExtNames.data();
    VkCheck(vkCreateDevice(d.physicalDevice, &deviceInfo, nullptr, &d.device), "vkCreateDevice");
    vkGetDeviceQueue(d.device, d.queueFamily, 0, &d.queue);

    if (d.raytracing) {
        LoadDeviceFunction(d.device, d.fn.createAccelerationStructure, "vkCreateAccelerationStructureKHR");
        LoadDeviceFunction(d.device, d.fn.destroyAccelerationStructure, "vkDestroyAccelerationStructureKHR");
        LoadDeviceFunction(d.device, d.fn.getAccelerationStructureBuildSizes, "vkGetAccelerationStructureBuildSizesKHR");
        LoadDeviceFunction(d.device, d.fn.getAccelerationStructureDeviceAddress, "vkGetAccelerationStructureDeviceAddressKHR");
        LoadDeviceFunction(d.device, d.fn.cmdBuildAccelerationStructures, "vkCmdBuildAccelerationStructuresKHR");
        LoadDeviceFunction(d.device, d.fn.createRayTracingPipelines, "vkCreateRayTracingPipelinesKHR");
        LoadDeviceFunction(d.device, d.fn.getRayTracingShaderGroupHandles, "vkGetRayTracingShaderGroupHandlesKHR");
        LoadDeviceFunction(d.device, d.fn.cmdTraceRays, "vkCmdTraceRaysKHR");
    }
    if (d.swapchainExtension) {
        LoadDeviceFunction(d.device, d.fn.createSwapchain, "vkCreateSwapchainKHR");
        LoadDeviceFunction(d.device, d.fn.destroySwapchain, "vkDestroySwapchainKHR");
        LoadDeviceFunction(d.device, d.fn.getSwapchainImages, "vkGetSwapchainImagesKHR");
        LoadDeviceFunction(d.device, d.fn.acquireNextImage, "vkAcquireNextImageKHR");
        LoadDeviceFunction(d.device, d.fn.queuePresent, "vkQueuePresentKHR");
    }

    // The submission timeline and the pool for layout initialisations.
    VkSemaphoreTypeCreateInfo timeline{VK_STRUCTURE_TYPE_SEMAPHORE_TYPE_CREATE_INFO};
    timeline.semaphoreType = VK_SEMAPHORE_TYPE_TIMELINE;
    VkSemaphoreCreateInfo semInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO, &timeline};
    VkCheck(vkCreateSemaphore(d.device, &semInfo, nullptr, &d.submitSemaphore), "vkCreateSemaphore");
    VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
    poolInfo.queueFamilyIndex = d.queueFamily;
    VkCheck(vkCreateCommandPool(d.device, &poolInfo, nullptr, &d.initPool), "vkCreateCommandPool");

    // The bindless set layout shared by every shader-visible heap and pipeline layout.
    const VkDescriptorBindingFlags bindingFlags[5] = {
        VK_DESCRIPTOR_BINDING_UPDATE_AFTER_BIND_BIT | VK_DESCRIPTOR_BINDING_PARTIALLY_BOUND_BIT,
        VK_DESCRIPTOR_BINDING_UPDATE_AFTER_BIND_BIT | VK_DESCRIPTOR_BINDING_PARTIALLY_BOUND_BIT,
        VK_DESCRIPTOR_BINDING_UPDATE_AFTER_BIND_BIT | VK_DESCRIPTOR_BINDING_PARTIALLY_BOUND_BIT,
        VK_DESCRIPTOR_BINDING_PARTIALLY_BOUND_BIT,
        VK_DESCRIPTOR_BINDING_UPDATE_AFTER_BIND_BIT | VK_DESCRIPTOR_BINDING_PARTIALLY_BOUND_BIT,
    };
    VkDescriptorSetLayoutBinding bindings[5] = {
        {kBindingSampledImages, VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE, d.bindlessViews, VK_SHADER_STAGE_ALL, nullptr},
        {kBindingStorageImages, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, d.bindlessViews, VK_SHADER_STAGE_ALL, nullptr},
        {kBindingStorageBuffers, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, d.bindlessViews, VK_SHADER_STAGE_ALL, nullptr},
        {kBindingSamplers, VK_DESCRIPTOR_TYPE_SAMPLER, d.bindlessSamplers, VK_SHADER_STAGE_ALL, nullptr},
        {kBindingAccelerationStructures, VK_DESCRIPTOR_TYPE_ACCELERATION_STRUCTURE_KHR, d.bindlessViews, VK_SHADER_STAGE_ALL, nullptr},
    };
    const uint32_t bindingCount = d.raytracing ? 5 : 4;
    VkDescriptorSetLayoutBindingFlagsCreateInfo flagsInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_BINDING_FLAGS_CREATE_INFO};
    flagsInfo.bindingCount = bindingCount;
    flagsInfo.pBindingFlags = bindingFlags;
    VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO, &flagsInfo};
    layoutInfo.flags = VK_DESCRIPTOR_SET_LAYOUT_CREATE_UPDATE_AFTER_BIND_POOL_BIT;
    layoutInfo.bindingCount = bindingCount;
    layoutInfo.pBindings = bindings;
    VkCheck(vkCreateDescriptorSetLayout(d.device, &layoutInfo, nullptr, &d.bindlessLayout), "vkCreateDescriptorSetLayout");
    return result;
}

Device::~Device() {
    DeviceImpl& d = *m_impl;
    if (d.device) {
        vkDeviceWaitIdle(d.device);
        for (;;) {
            std::vector<std::pair<uint64_t, std::function<void()>>> rest;
            {
                std::lock_guard lock(d.garbageLock);
                rest.swap(d.garbage);
            }
            if (rest.empty()) break;
            for (auto& g : rest) g.second();
        }
        vkDestroyDescriptorSetLayout(d.device, d.bindlessLayout, nullptr);
        vkDestroyCommandPool(d.device, d.initPool, nullptr);
        vkDestroySemaphore(d.device, d.submitSemaphore, nullptr);
        vkDestroyDevice(d.device, nullptr);
    }
    if (d.messenger) d.fn.destroyMessenger(d.instance, d.messenger, nullptr);
    if (d.instance) vkDestroyInstance(d.instance, nullptr);
}

const AdapterInfo& Device::Adapter() const { return m_impl->adapter; }
const DeviceLimits& Device::Limits() const { return m_impl->limits; }
bool Device::RaytracingSupported() const { return m_impl->raytracing; }
bool Device::GeometryShaderSupported() const { return m_impl->enabledFeatures.geometryShader == VK_TRUE; }
uint32_t Device::MsaaSampleCount() const { return m_impl->msaaSamples; }
bool Device::ValidationEnabled() const { return m_impl->validation; }
uint64_t Device::ValidationMessageCount() const { return m_impl->validationMessages.load(); }
std::string Device::LastValidationMessage() const {
    std::lock_guard lock(m_impl->messageLock);
    return m_impl->lastValidationMessage;
}
void* Device::InstanceHandle() const { return m_impl->instance; }
void* Device::PhysicalDeviceHandle() const { return m_impl->physicalDevice; }
void* Device::DeviceHandle() const { return m_impl->device; }
uint32_t Device::QueueFamilyIndex() const { return m_impl->queueFamily; }

uint64_t Device::CreateHeadlessSurface() {
    auto create = reinterpret_cast<PFN_vkCreateHeadlessSurfaceEXT>(vkGetInstanceProcAddr(m_impl->instance, "vkCreateHeadlessSurfaceEXT"));
    if (!create || !m_impl->swapchainExtension) return 0;
    VkHeadlessSurfaceCreateInfoEXT info{VK_STRUCTURE_TYPE_HEADLESS_SURFACE_CREATE_INFO_EXT};
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    VkCheck(create(m_impl->instance, &info, nullptr, &surface), "vkCreateHeadlessSurfaceEXT");
    return reinterpret_cast<uint64_t>(surface);
}

void Device::DestroySurface(uint64_t surface) {
    if (surface) vkDestroySurfaceKHR(m_impl->instance, reinterpret_cast<VkSurfaceKHR>(surface), nullptr);
}

void Device::ExecuteCommandLists(std::span<CommandList* const> lists) {
    std::vector<VkCommandBuffer> buffers;
    for (CommandList* list : lists) {
        if (list->IsOpen()) throw HrException(static_cast<int32_t>(VK_ERROR_UNKNOWN));  // must be closed
        buffers.push_back(list->Impl().cmd);
    }
    uint64_t serial;
    {
        std::lock_guard lock(m_impl->queueLock);
        serial = m_impl->SubmitLocked(buffers, {}, {});
    }
    for (CommandList* list : lists)
        if (list->Impl().allocator) list->Impl().allocator->Impl().lastSerial = serial;
    m_impl->CollectGarbage();
}

void Device::Signal(Fence& fence, uint64_t value) {
    const VkSemaphoreSubmitInfo signal{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO, nullptr, fence.Impl().semaphore, value,
                                       VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, 0};
    std::lock_guard lock(m_impl->queueLock);
    m_impl->SubmitLocked({}, {}, std::span(&signal, 1));
}

void Device::WaitIdle() {
    uint64_t serial;
    {
        std::lock_guard lock(m_impl->queueLock);
        serial = m_impl->lastSubmittedSerial;
    }
    m_impl->WaitSerial(serial);
    m_impl->CollectGarbage();
}

std::shared_ptr<Fence> Device::CreateFence(uint64_t initialValue) {
    return std::make_shared<Fence>(shared_from_this(), initialValue);
}

std::shared_ptr<CommandAllocator> Device::CreateCommandAllocator() {
    return std::make_shared<CommandAllocator>(shared_from_this());
}

std::shared_ptr<CommandList> Device::CreateCommandList(CommandAllocator& allocator, PipelineState* initialState) {
    auto list = std::make_shared<CommandList>(shared_from_this());
    list->Reset(allocator, initialState);
    return list;
}

std::shared_ptr<DescriptorHeap> Device::CreateDescriptorHeap(DescriptorHeapType type, uint32_t capacity, bool shaderVisible) {
    return std::make_shared<DescriptorHeap>(shared_from_this(), type, capacity, shaderVisible);
}

std::shared_ptr<RootSignature> Device::CreateRootSignature(const RootSignatureDesc& desc) {
    return std::make_shared<RootSignature>(shared_from_this(), desc);
}

std::shared_ptr<PipelineState> Device::CreateComputePipelineState(const ComputePipelineDesc& desc) {
    return std::make_shared<PipelineState>(shared_from_this(), desc);
}

std::shared_ptr<PipelineState> Device::CreateGraphicsPipelineState(const GraphicsPipelineDesc& desc) {
    return std::make_shared<PipelineState>(shared_from_this(), desc);
}

std::shared_ptr<Resource> Device::CreateCommittedResource(HeapType heap, const ResourceDesc& desc, ResourceState initialState,
                                                          const ClearValue* clearValue) {
    auto resource = std::make_shared<Resource>(shared_from_this(), heap, desc, clearValue);
    ResourceImpl& r = resource->Impl();
    if (r.image) {
        const bool depth = GetFormatInfo(desc.format).depth || (r.aspect & VK_IMAGE_ASPECT_DEPTH_BIT);
        m_impl->RecordInitialLayout(r.image, r.aspect, ImageStateFor(initialState, depth, *m_impl).layout);
    }
    return resource;
}

SubresourceFootprint Device::GetCopyableFootprint(const ResourceDesc& desc, uint32_t subresource, uint64_t baseOffset) const {
    SubresourceFootprint fp;
    fp.offset = baseOffset;
    fp.format = desc.format;
    if (desc.dimension == ResourceDimension::Buffer) {
        fp.width = static_cast<uint32_t>(desc.width);
        fp.height = fp.depth = fp.numRows = 1;
        fp.rowSizeInBytes = fp.totalBytes = desc.width;
        fp.rowPitch = static_cast<uint32_t>(desc.width);
        return fp;
    }
    const uint32_t mip = subresource % std::max<uint32_t>(1, desc.mipLevels);
    const FormatInfo& info = GetFormatInfo(desc.format);
    const uint32_t blockBytes = std::max<uint32_t>(1, info.blockBytes);
    fp.width = std::max<uint32_t>(1, static_cast<uint32_t>(desc.width >> mip));
    fp.height = std::max<uint32_t>(1, desc.height >> mip);
    fp.depth = std::max<uint32_t>(1, desc.Depth() >> mip);
    const uint32_t blocksWide = (fp.width + info.blockWidth - 1) / info.blockWidth;
    fp.numRows = (fp.height + info.blockWidth - 1) / info.blockWidth;
    fp.rowSizeInBytes = static_cast<uint64_t>(blocksWide) * blockBytes;
    // Rows are 256-byte aligned; for 12-byte texels the pitch must also hold whole texels.
    uint32_t alignment = 256;
    while (alignment % blockBytes != 0) alignment += 256;
    fp.rowPitch = static_cast<uint32_t>((fp.rowSizeInBytes + alignment - 1) / alignment * alignment);
    fp.totalBytes = static_cast<uint64_t>(fp.rowPitch) * (fp.numRows * fp.depth - 1) + fp.rowSizeInBytes;
    return fp;
}

}  // namespace Engine::Platform
