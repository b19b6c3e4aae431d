#include "Engine/Platform/Resource.h"

#include <algorithm>

#include "Engine/Platform/VulkanCommon.h"
#include "core/HrException.h"
#include "core/TextConvert.h"

namespace Engine::Platform {
namespace {

bool HasSrgbPartner(Format format) {
    switch (format) {
    case Format::R8G8B8A8_UNORM:
    case Format::B8G8R8A8_UNORM:
    case Format::B8G8R8X8_UNORM:
    case Format::BC1_UNORM:
    case Format::BC2_UNORM:
    case Format::BC3_UNORM:
    case Format::BC7_UNORM:
        return true;
    default:
        return false;
    }
}

// Typeless colour formats used as depth buffers become the matching depth format. Other
// typeless textures are made in the format they are used as, which a typed clear value names
// (clears of the whole image go through the image's own format); without one they take the
// family's default from the format table.
VkFormat ImageFormat(const ResourceDesc& desc, const ClearValue* clearValue) {
    if (HasFlag(desc.flags, ResourceFlags::AllowDepthStencil)) {
        switch (desc.format) {
        case Format::R32_TYPELESS:
        case Format::R32_FLOAT: return VK_FORMAT_D32_SFLOAT;
        case Format::R16_TYPELESS:
        case Format::R16_UNORM: return VK_FORMAT_D16_UNORM;
        default: break;
        }
    }
    const FormatInfo& info = GetFormatInfo(desc.format);
    if (info.typeless && !info.depth && clearValue) {
        const FormatInfo& used = GetFormatInfo(clearValue->format);
        // sRGB formats keep the linear default, so unordered-access clears stay unconverted.
        if (used.supported && !used.typeless && !used.depth && !used.srgb && used.blockBytes == info.blockBytes &&
            used.blockWidth == info.blockWidth)
            return ToVkFormat(clearValue->format);
    }
    return ToVkFormat(desc.format);
}

}  // namespace

uint32_t LayoutBit(VkImageLayout layout) {
    switch (layout) {
    case VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL: return 1u;
    case VK_IMAGE_LAYOUT_GENERAL: return 2u;
    case VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL: return 4u;
    default: return 8u;
    }
}

ImageState ImageStateFor(ResourceState state, bool depthImage, const DeviceImpl& device) {
    const uint32_t bits = static_cast<uint32_t>(state);
    const VkPipelineStageFlags2 shaders = device.ShaderStages();
    ImageState result{VK_IMAGE_LAYOUT_GENERAL, 0, 0};
    if (bits == 0) {
        result.stages = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
        result.access = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
        return result;
    }
    auto add = [&](ResourceState bit, VkPipelineStageFlags2 stages, VkAccessFlags2 access) {
        if (bits & static_cast<uint32_t>(bit)) {
            result.stages |= stages;
            result.access |= access;
        }
    };
    add(ResourceState::VertexAndConstantBuffer, VK_PIPELINE_STAGE_2_VERTEX_ATTRIBUTE_INPUT_BIT | shaders,
        VK_ACCESS_2_VERTEX_ATTRIBUTE_READ_BIT | VK_ACCESS_2_UNIFORM_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_READ_BIT);
    add(ResourceState::IndexBuffer, VK_PIPELINE_STAGE_2_INDEX_INPUT_BIT, VK_ACCESS_2_INDEX_READ_BIT);
    add(ResourceState::RenderTarget, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
        VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    add(ResourceState::UnorderedAccess, shaders | VK_PIPELINE_STAGE_2_CLEAR_BIT,
        VK_ACCESS_2_SHADER_STORAGE_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT | VK_ACCESS_2_TRANSFER_WRITE_BIT);
    add(ResourceState::DepthWrite, VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
        VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
    add(ResourceState::DepthRead, VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
        VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
    const VkPipelineStageFlags2 nonPixel = shaders & ~VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT;
    add(ResourceState::NonPixelShaderResource, nonPixel, VK_ACCESS_2_SHADER_SAMPLED_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_READ_BIT);
    add(ResourceState::PixelShaderResource, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
        VK_ACCESS_2_SHADER_SAMPLED_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_READ_BIT);
    add(ResourceState::IndirectArgument, VK_PIPELINE_STAGE_2_DRAW_INDIRECT_BIT, VK_ACCESS_2_INDIRECT_COMMAND_READ_BIT);
    add(ResourceState::CopyDest, VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT, VK_ACCESS_2_TRANSFER_WRITE_BIT);
    add(ResourceState::CopySource, VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT, VK_ACCESS_2_TRANSFER_READ_BIT);
    add(ResourceState::ResolveDest, VK_PIPELINE_STAGE_2_RESOLVE_BIT, VK_ACCESS_2_TRANSFER_WRITE_BIT);
    add(ResourceState::ResolveSource, VK_PIPELINE_STAGE_2_RESOLVE_BIT, VK_ACCESS_2_TRANSFER_READ_BIT);
    if (device.raytracing)
        add(ResourceState::RaytracingAccelerationStructure,
            VK_PIPELINE_STAGE_2_ACCELERATION_STRUCTURE_BUILD_BIT_KHR | VK_PIPELINE_STAGE_2_RAY_TRACING_SHADER_BIT_KHR,
            VK_ACCESS_2_ACCELERATION_STRUCTURE_READ_BIT_KHR | VK_ACCESS_2_ACCELERATION_STRUCTURE_WRITE_BIT_KHR);

    // A depth image resolves as an attachment of a rendering pass, not by a transfer: resolves
    // read and write in the colour-attachment-output stage whatever the aspect, and the source
    // is also loaded through the depth tests.
    if (depthImage && bits == static_cast<uint32_t>(ResourceState::ResolveSource))
        return {VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL,
                VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT |
                    VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT};
    if (depthImage && bits == static_cast<uint32_t>(ResourceState::ResolveDest))
        return {VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT};

    // The layout: one state family gives its optimal layout; mixed read states use GENERAL.
    const uint32_t shaderRead = static_cast<uint32_t>(ResourceState::NonPixelShaderResource | ResourceState::PixelShaderResource);
    const uint32_t depthRead = static_cast<uint32_t>(ResourceState::DepthRead);
    if (bits == static_cast<uint32_t>(ResourceState::RenderTarget))
        result.layout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    else if (bits == static_cast<uint32_t>(ResourceState::DepthWrite))
        result.layout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    else if ((bits & depthRead) && (bits & ~(depthRead | shaderRead)) == 0)
        result.layout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;
    else if ((bits & ~shaderRead) == 0)
        result.layout = depthImage ? VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL : VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
    else if ((bits & ~static_cast<uint32_t>(ResourceState::CopyDest | ResourceState::ResolveDest)) == 0)
        result.layout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    else if ((bits & ~static_cast<uint32_t>(ResourceState::CopySource | ResourceState::ResolveSource)) == 0)
        result.layout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
    return result;
}

Resource::Resource(std::shared_ptr<Device> device, HeapType heap, const ResourceDesc& desc, const ClearValue* clearValue)
    : m_device(std::move(device)), m_heap(heap), m_desc(desc), m_impl(std::make_unique<ResourceImpl>()) {
    DeviceImpl& d = m_device->Impl();
    ResourceImpl& r = *m_impl;
    r.device = &d;
    VkMemoryRequirements requirements{};
    if (desc.dimension == ResourceDimension::Buffer) {
        r.size = std::max<uint64_t>(4, (desc.width + 3) & ~uint64_t(3));
        VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
        info.size = r.size;
        info.usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT | VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT |
                     VK_BUFFER_USAGE_STORAGE_BUFFER_BIT | VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT |
                     VK_BUFFER_USAGE_INDIRECT_BUFFER_BIT | VK_BUFFER_USAGE_SHADER_DEVICE_ADDRESS_BIT;
        if (d.raytracing) {
            info.usage |= VK_BUFFER_USAGE_ACCELERATION_STRUCTURE_BUILD_INPUT_READ_ONLY_BIT_KHR |
                          VK_BUFFER_USAGE_SHADER_BINDING_TABLE_BIT_KHR;
            if (HasFlag(desc.flags, ResourceFlags::AccelerationStructureStorage))
                info.usage |= VK_BUFFER_USAGE_ACCELERATION_STRUCTURE_STORAGE_BIT_KHR;
        }
        info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
        VkCheck(vkCreateBuffer(d.device, &info, nullptr, &r.buffer), "vkCreateBuffer");
        vkGetBufferMemoryRequirements(d.device, r.buffer, &requirements);
    } else {
        if (heap != HeapType::Default) throw HrException(static_cast<int32_t>(VK_ERROR_FEATURE_NOT_PRESENT));
        const FormatInfo& info = GetFormatInfo(desc.format);
        if (!info.supported || desc.width == 0 || desc.height == 0 || desc.depthOrArraySize == 0)
            throw HrException(static_cast<int32_t>(VK_ERROR_FORMAT_NOT_SUPPORTED));
        VkImageCreateInfo ci{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
        ci.imageType = desc.dimension == ResourceDimension::Texture3D ? VK_IMAGE_TYPE_3D : VK_IMAGE_TYPE_2D;
        ci.format = ImageFormat(desc, clearValue);
        ci.extent = {static_cast<uint32_t>(desc.width), desc.height, desc.Depth()};
        ci.mipLevels = std::max<uint16_t>(1, desc.mipLevels);
        ci.arrayLayers = desc.ArraySize();
        ci.samples = static_cast<VkSampleCountFlagBits>(std::max<uint32_t>(1, desc.sampleCount));
        ci.tiling = VK_IMAGE_TILING_OPTIMAL;
        ci.usage = VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT;
        if (!HasFlag(desc.flags, ResourceFlags::DenyShaderResource)) ci.usage |= VK_IMAGE_USAGE_SAMPLED_BIT;
        if (HasFlag(desc.flags, ResourceFlags::AllowRenderTarget)) ci.usage |= VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
        if (HasFlag(desc.flags, ResourceFlags::AllowDepthStencil)) ci.usage |= VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT;
        if (HasFlag(desc.flags, ResourceFlags::AllowUnorderedAccess)) ci.usage |= VK_IMAGE_USAGE_STORAGE_BIT;
        const bool depth = AspectOf(ci.format) & VK_IMAGE_ASPECT_DEPTH_BIT;
        if (!depth && (info.typeless || info.srgb || HasSrgbPartner(desc.format))) {
            ci.flags |= VK_IMAGE_CREATE_MUTABLE_FORMAT_BIT;
            if (ci.usage & VK_IMAGE_USAGE_STORAGE_BIT) ci.flags |= VK_IMAGE_CREATE_EXTENDED_USAGE_BIT;
        }
        if (ci.imageType == VK_IMAGE_TYPE_2D && ci.arrayLayers >= 6 && ci.extent.width == ci.extent.height && ci.samples == 1)
            ci.flags |= VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT;
        ci.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
        ci.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;

        VkPhysicalDeviceImageFormatInfo2 query{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_IMAGE_FORMAT_INFO_2};
        query.format = ci.format;
        query.type = ci.imageType;
        query.tiling = ci.tiling;
        query.usage = ci.usage;
        query.flags = ci.flags;
        VkImageFormatProperties2 supported{VK_STRUCTURE_TYPE_IMAGE_FORMAT_PROPERTIES_2};
        VkCheck(vkGetPhysicalDeviceImageFormatProperties2(d.physicalDevice, &query, &supported),
                "vkGetPhysicalDeviceImageFormatProperties2");
        if ((supported.imageFormatProperties.sampleCounts & ci.samples) == 0 ||
            ci.mipLevels > supported.imageFormatProperties.maxMipLevels ||
            ci.arrayLayers > supported.imageFormatProperties.maxArrayLayers)
            VkCheck(VK_ERROR_FORMAT_NOT_SUPPORTED, "image format check");

        VkCheck(vkCreateImage(d.device, &ci, nullptr, &r.image), "vkCreateImage");
        r.format = ci.format;
        r.aspect = AspectOf(ci.format);
        vkGetImageMemoryRequirements(d.device, r.image, &requirements);
        r.size = requirements.size;
    }

    VkMemoryPropertyFlags required = 0, preferred = 0;
    switch (heap) {
    case HeapType::Default: preferred = VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT; break;
    case HeapType::Upload: required = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT; break;
    case HeapType::Readback:
        required = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT;
        preferred = VK_MEMORY_PROPERTY_HOST_CACHED_BIT;
        break;
    }
    const uint32_t typeIndex = d.FindMemoryType(requirements.memoryTypeBits, required, preferred);
    r.coherent = (d.memoryProperties.memoryTypes[typeIndex].propertyFlags & VK_MEMORY_PROPERTY_HOST_COHERENT_BIT) != 0;

    VkMemoryDedicatedAllocateInfo dedicated{VK_STRUCTURE_TYPE_MEMORY_DEDICATED_ALLOCATE_INFO};
    dedicated.image = r.image;
    dedicated.buffer = r.buffer;
    VkMemoryAllocateFlagsInfo flags{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_FLAGS_INFO, &dedicated};
    flags.flags = r.buffer ? VK_MEMORY_ALLOCATE_DEVICE_ADDRESS_BIT : 0;
    VkMemoryAllocateInfo alloc{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO, &flags};
    alloc.allocationSize = requirements.size;
    alloc.memoryTypeIndex = typeIndex;
    const VkResult allocResult = vkAllocateMemory(d.device, &alloc, nullptr, &r.memory);
    if (allocResult != VK_SUCCESS) {
        if (r.buffer) vkDestroyBuffer(d.device, r.buffer, nullptr);
        if (r.image) vkDestroyImage(d.device, r.image, nullptr);
        VkCheck(allocResult, "vkAllocateMemory");
    }
    if (r.buffer) {
        VkCheck(vkBindBufferMemory(d.device, r.buffer, r.memory, 0), "vkBindBufferMemory");
        VkBufferDeviceAddressInfo addressInfo{VK_STRUCTURE_TYPE_BUFFER_DEVICE_ADDRESS_INFO};
        addressInfo.buffer = r.buffer;
        r.address = vkGetBufferDeviceAddress(d.device, &addressInfo);
        if (heap != HeapType::Default)
            VkCheck(vkMapMemory(d.device, r.memory, 0, VK_WHOLE_SIZE, 0, &r.mapped), "vkMapMemory");
    } else {
        VkCheck(vkBindImageMemory(d.device, r.image, r.memory, 0), "vkBindImageMemory");
    }
}

Resource::~Resource() {
    ResourceImpl* r = m_impl.release();
    DeviceImpl* d = r->device;
    d->Retire([d, r] {
        if (r->buffer) vkDestroyBuffer(d->device, r->buffer, nullptr);
        if (r->image) vkDestroyImage(d->device, r->image, nullptr);
        if (r->memory) vkFreeMemory(d->device, r->memory, nullptr);  // unmaps too
        delete r;
    });
}

void* Resource::Map() {
    ResourceImpl& r = *m_impl;
    if (!r.mapped) throw HrException(static_cast<int32_t>(VK_ERROR_MEMORY_MAP_FAILED));
    if (m_heap == HeapType::Readback && !r.coherent) {
        VkMappedMemoryRange range{VK_STRUCTURE_TYPE_MAPPED_MEMORY_RANGE};
        range.memory = r.memory;
        range.size = VK_WHOLE_SIZE;
        VkCheck(vkInvalidateMappedMemoryRanges(r.device->device, 1, &range), "vkInvalidateMappedMemoryRanges");
    }
    return r.mapped;
}

uint64_t Resource::GetGpuVirtualAddress() const { return m_impl->address; }

void Resource::SetName(std::u16string_view name) { SetName(Utf16ToUtf8(name)); }

void Resource::SetName(std::string_view name) {
    ResourceImpl& r = *m_impl;
    r.name = std::string(name);
    if (r.buffer) r.device->SetObjectName(VK_OBJECT_TYPE_BUFFER, reinterpret_cast<uint64_t>(r.buffer), r.name);
    if (r.image) r.device->SetObjectName(VK_OBJECT_TYPE_IMAGE, reinterpret_cast<uint64_t>(r.image), r.name);
}

const std::string& Resource::Name() const { return m_impl->name; }

bool Device::CheckFormatSupport(Format format, ResourceFlags flags) const {
    const VkFormat vk = ToVkFormat(format);
    if (vk == VK_FORMAT_UNDEFINED) return false;
    VkFormatProperties props{};
    vkGetPhysicalDeviceFormatProperties(m_impl->physicalDevice, vk, &props);
    const VkFormatFeatureFlags have = props.optimalTilingFeatures;
    VkFormatFeatureFlags need = VK_FORMAT_FEATURE_TRANSFER_SRC_BIT | VK_FORMAT_FEATURE_TRANSFER_DST_BIT;
    if (!HasFlag(flags, ResourceFlags::DenyShaderResource)) need |= VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT;
    if (HasFlag(flags, ResourceFlags::AllowRenderTarget)) need |= VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT;
    if (HasFlag(flags, ResourceFlags::AllowDepthStencil)) need |= VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT;
    if (HasFlag(flags, ResourceFlags::AllowUnorderedAccess)) need |= VK_FORMAT_FEATURE_STORAGE_IMAGE_BIT;
    return (have & need) == need;
}

}  // namespace Engine::Platform
