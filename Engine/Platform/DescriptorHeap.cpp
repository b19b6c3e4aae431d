#include "Engine/Platform/DescriptorHeap.h"

#include <algorithm>
#include <stdexcept>

#include "Engine/Platform/VulkanCommon.h"
#include "core/HrException.h"

namespace Engine::Platform {
namespace {

void CheckSlot(CpuDescriptor dest) {
    if (!dest.heap || dest.index >= dest.heap->Capacity())
        throw HrException(static_cast<int32_t>(VK_ERROR_OUT_OF_POOL_MEMORY));
}

VkFormat ViewFormat(const Resource& resource, Format requested) {
    const ResourceImpl& r = resource.Impl();
    if (r.aspect & (VK_IMAGE_ASPECT_DEPTH_BIT | VK_IMAGE_ASPECT_STENCIL_BIT)) return r.format;
    const Format format = requested == Format::Unknown ? resource.Desc().format : requested;
    return ToVkFormat(format);
}

VkImageView CreateView(DeviceImpl& d, const Resource& resource, VkImageViewType type, VkFormat format, VkImageAspectFlags aspect,
                       uint32_t baseMip, uint32_t mipCount, uint32_t baseLayer, uint32_t layerCount, VkImageUsageFlags usage) {
    const ResourceImpl& r = resource.Impl();
    VkImageViewUsageCreateInfo usageInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_USAGE_CREATE_INFO};
    usageInfo.usage = usage;
    VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO, &usageInfo};
    info.image = r.image;
    info.viewType = type;
    info.format = format;
    info.subresourceRange = {aspect, baseMip, mipCount, baseLayer, layerCount};
    VkImageView view = VK_NULL_HANDLE;
    VkCheck(vkCreateImageView(d.device, &info, nullptr, &view), "vkCreateImageView");
    if (!r.name.empty()) d.SetObjectName(VK_OBJECT_TYPE_IMAGE_VIEW, reinterpret_cast<uint64_t>(view), r.name);
    return view;
}

void RetireView(DeviceImpl& d, VkImageView& slot) {
    if (!slot) return;
    VkImageView old = slot;
    slot = VK_NULL_HANDLE;
    DeviceImpl* device = &d;
    d.Retire([device, old] { vkDestroyImageView(device->device, old, nullptr); });
}

void WriteBuffer(DeviceImpl& d, DescriptorHeapImpl& h, uint32_t index, const Resource& resource, uint64_t firstElement,
                 uint32_t numElements, uint32_t stride) {
    const uint64_t elementBytes = stride ? stride : 4;
    VkDescriptorBufferInfo info{};
    info.buffer = resource.Impl().buffer;
    info.offset = firstElement * elementBytes;
    info.range = numElements ? numElements * elementBytes : VK_WHOLE_SIZE;
    VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    write.dstSet = h.set;
    write.dstBinding = kBindingStorageBuffers;
    write.dstArrayElement = index;
    write.descriptorCount = 1;
    write.descriptorType = VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
    write.pBufferInfo = &info;
    vkUpdateDescriptorSets(d.device, 1, &write, 0, nullptr);
}

void WriteImage(DeviceImpl& d, DescriptorHeapImpl& h, uint32_t index, uint32_t binding, VkImageView view, VkImageLayout layout) {
    VkDescriptorImageInfo info{VK_NULL_HANDLE, view, layout};
    VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    write.dstSet = h.set;
    write.dstBinding = binding;
    write.dstArrayElement = index;
    write.descriptorCount = 1;
    write.descriptorType = binding == kBindingSampledImages ? VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE : VK_DESCRIPTOR_TYPE_STORAGE_IMAGE;
    write.pImageInfo = &info;
    vkUpdateDescriptorSets(d.device, 1, &write, 0, nullptr);
}

VkFilter ToVkFilter(Filter f) { return f == Filter::Point ? VK_FILTER_NEAREST : VK_FILTER_LINEAR; }

VkSamplerAddressMode ToVkAddress(AddressMode m) {
    switch (m) {
    case AddressMode::Wrap: return VK_SAMPLER_ADDRESS_MODE_REPEAT;
    case AddressMode::Mirror: return VK_SAMPLER_ADDRESS_MODE_MIRRORED_REPEAT;
    case AddressMode::Clamp: return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    case AddressMode::Border: return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER;
    }
    return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
}

}  // namespace

VkSampler CreateVkSampler(const DeviceImpl& d, const SamplerDesc& desc) {
    VkSamplerCreateInfo info{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
    info.magFilter = info.minFilter = ToVkFilter(desc.filter);
    const bool mipPoint = desc.mipFilter == MipFilter::Point || (desc.mipFilter == MipFilter::FromFilter && desc.filter == Filter::Point);
    info.mipmapMode = mipPoint ? VK_SAMPLER_MIPMAP_MODE_NEAREST : VK_SAMPLER_MIPMAP_MODE_LINEAR;
    info.addressModeU = ToVkAddress(desc.addressU);
    info.addressModeV = ToVkAddress(desc.addressV);
    info.addressModeW = ToVkAddress(desc.addressW);
    info.mipLodBias = desc.mipLodBias;
    info.anisotropyEnable = desc.filter == Filter::Anisotropic && d.enabledFeatures.samplerAnisotropy;
    info.maxAnisotropy = std::min(static_cast<float>(std::max<uint32_t>(1, desc.maxAnisotropy)), d.limits.maxSamplerAnisotropy);
    info.compareEnable = desc.comparison;
    info.compareOp = static_cast<VkCompareOp>(desc.compareFunc);
    info.minLod = desc.minLod;
    info.maxLod = desc.maxLod;
    info.borderColor = desc.opaqueWhiteBorder ? VK_BORDER_COLOR_FLOAT_OPAQUE_WHITE : VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
    VkSampler sampler = VK_NULL_HANDLE;
    VkCheck(vkCreateSampler(d.device, &info, nullptr, &sampler), "vkCreateSampler");
    return sampler;
}

DescriptorHeap::DescriptorHeap(std::shared_ptr<Device> device, DescriptorHeapType type, uint32_t capacity, bool shaderVisible)
    : m_device(std::move(device)), m_type(type), m_capacity(capacity), m_shaderVisible(shaderVisible),
      m_impl(std::make_unique<DescriptorHeapImpl>()) {
    DeviceImpl& d = m_device->Impl();
    DescriptorHeapImpl& h = *m_impl;
    h.device = &d;
    if (type == DescriptorHeapType::CbvSrvUav && shaderVisible) {
        if (capacity > d.bindlessViews) throw HrException(static_cast<int32_t>(VK_ERROR_OUT_OF_POOL_MEMORY));
        // The set layout fixes the array sizes, so the pool holds exactly one set of that layout.
        const VkDescriptorPoolSize sizes[] = {
            {VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE, d.bindlessViews},
            {VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, d.bindlessViews},
            {VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, d.bindlessViews},
            {VK_DESCRIPTOR_TYPE_SAMPLER, d.bindlessSamplers},
            {VK_DESCRIPTOR_TYPE_ACCELERATION_STRUCTURE_KHR, d.bindlessViews},
        };
        VkDescriptorPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
        poolInfo.flags = VK_DESCRIPTOR_POOL_CREATE_UPDATE_AFTER_BIND_BIT;
        poolInfo.maxSets = 1;
        poolInfo.poolSizeCount = d.raytracing ? 5 : 4;
        poolInfo.pPoolSizes = sizes;
        VkCheck(vkCreateDescriptorPool(d.device, &poolInfo, nullptr, &h.pool), "vkCreateDescriptorPool");
        VkDescriptorSetAllocateInfo alloc{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
        alloc.descriptorPool = h.pool;
        alloc.descriptorSetCount = 1;
        alloc.pSetLayouts = &d.bindlessLayout;
        VkCheck(vkAllocateDescriptorSets(d.device, &alloc, &h.set), "vkAllocateDescriptorSets");
        h.views.resize(capacity);
        h.samplers.resize(std::min(capacity, d.bindlessSamplers));
    }
    if (type == DescriptorHeapType::Rtv || type == DescriptorHeapType::Dsv) h.attachments.resize(capacity);
    if (type == DescriptorHeapType::CbvSrvUav || type == DescriptorHeapType::Sampler) h.records.resize(capacity);
}

DescriptorHeap::~DescriptorHeap() {
    DescriptorHeapImpl* h = m_impl.release();
    DeviceImpl* d = h->device;
    d->Retire([d, h] {
        for (VkImageView v : h->views)
            if (v) vkDestroyImageView(d->device, v, nullptr);
        for (VkSampler s : h->samplers)
            if (s) vkDestroySampler(d->device, s, nullptr);
        for (const AttachmentView& a : h->attachments)
            if (a.view) vkDestroyImageView(d->device, a.view, nullptr);
        if (h->pool) vkDestroyDescriptorPool(d->device, h->pool, nullptr);
        delete h;
    });
}

void Device::CreateShaderResourceView(Resource* resource, const SrvDesc* desc, CpuDescriptor dest) {
    CheckSlot(dest);
    DeviceImpl& d = *m_impl;
    DescriptorHeapImpl& h = dest.heap->Impl();
    const SrvDesc view = desc ? *desc : SrvDesc{};
    if (!h.records.empty()) {
        h.records[dest.index].kind = ViewRecord::Kind::Srv;
        h.records[dest.index].resource = resource ? resource->weak_from_this() : std::weak_ptr<Resource>();
        h.records[dest.index].srv = view;
    }
    if (!h.set || !resource) return;
    const ResourceDesc& rd = resource->Desc();
    if (rd.dimension == ResourceDimension::Buffer) {
        WriteBuffer(d, h, dest.index, *resource, view.firstElement,
                    view.numElements ? view.numElements : static_cast<uint32_t>(rd.width / (view.structureByteStride ? view.structureByteStride : 4)),
                    view.structureByteStride);
        return;
    }
    const ResourceImpl& r = resource->Impl();
    if (!HasState(view.readState, ResourceState::NonPixelShaderResource) && !HasState(view.readState, ResourceState::PixelShaderResource))
        throw std::invalid_argument("CreateShaderResourceView: readState must include a shader-resource state");
    VkImageViewType type;
    ViewDimension dim = view.dimension;
    if (dim == ViewDimension::Unknown)
        dim = rd.dimension == ResourceDimension::Texture3D ? ViewDimension::Texture3D
              : rd.sampleCount > 1                          ? ViewDimension::Texture2DMS
              : rd.ArraySize() > 1                          ? ViewDimension::Texture2DArray
                                                            : ViewDimension::Texture2D;
    uint32_t baseLayer = 0, layers = 1;
    switch (dim) {
    case ViewDimension::Texture3D: type = VK_IMAGE_VIEW_TYPE_3D; break;
    case ViewDimension::TextureCube:
        type = VK_IMAGE_VIEW_TYPE_CUBE;
        baseLayer = view.firstArraySlice;
        layers = 6;
        break;
    case ViewDimension::Texture2DArray:
        type = VK_IMAGE_VIEW_TYPE_2D_ARRAY;
        baseLayer = view.firstArraySlice;
        layers = std::min<uint32_t>(view.arraySize, rd.ArraySize() - baseLayer);
        break;
    default: type = VK_IMAGE_VIEW_TYPE_2D; break;
    }
    const uint32_t mips = std::min<uint32_t>(view.mipLevels, std::max<uint32_t>(1, rd.mipLevels) - view.mostDetailedMip);
    const VkImageAspectFlags aspect = (r.aspect & VK_IMAGE_ASPECT_DEPTH_BIT) ? VkImageAspectFlags(VK_IMAGE_ASPECT_DEPTH_BIT) : r.aspect;
    RetireView(d, h.views[dest.index]);
    h.views[dest.index] = CreateView(d, *resource, type, ViewFormat(*resource, view.format), aspect, view.mostDetailedMip, mips,
                                     baseLayer, layers, VK_IMAGE_USAGE_SAMPLED_BIT);
    const bool depth = (aspect & VK_IMAGE_ASPECT_DEPTH_BIT) != 0;
    const VkImageLayout layout = ImageStateFor(view.readState, depth, d).layout;
    resource->Impl().sampledLayouts.fetch_or(LayoutBit(layout));
    WriteImage(d, h, dest.index, kBindingSampledImages, h.views[dest.index], layout);
}

void Device::CreateUnorderedAccessView(Resource* resource, const UavDesc* desc, CpuDescriptor dest) {
    CheckSlot(dest);
    DeviceImpl& d = *m_impl;
    DescriptorHeapImpl& h = dest.heap->Impl();
    const UavDesc view = desc ? *desc : UavDesc{};
    if (!h.records.empty()) {
        h.records[dest.index].kind = ViewRecord::Kind::Uav;
        h.records[dest.index].resource = resource ? resource->weak_from_this() : std::weak_ptr<Resource>();
        h.records[dest.index].uav = view;
    }
    if (!h.set || !resource) return;
    const ResourceDesc& rd = resource->Desc();
    if (rd.dimension == ResourceDimension::Buffer) {
        WriteBuffer(d, h, dest.index, *resource, view.firstElement,
                    view.numElements ? view.numElements : static_cast<uint32_t>(rd.width / (view.structureByteStride ? view.structureByteStride : 4)),
                    view.structureByteStride);
        return;
    }
    VkImageViewType type = VK_IMAGE_VIEW_TYPE_2D;
    uint32_t baseLayer = 0, layers = 1;
    if (rd.dimension == ResourceDimension::Texture3D) {
        type = VK_IMAGE_VIEW_TYPE_3D;
    } else if (view.dimension == ViewDimension::Texture2DArray || (view.dimension == ViewDimension::Unknown && rd.ArraySize() > 1)) {
        type = VK_IMAGE_VIEW_TYPE_2D_ARRAY;
        baseLayer = view.firstArraySlice;
        layers = std::min<uint32_t>(view.arraySize, rd.ArraySize() - baseLayer);
    }
    RetireView(d, h.views[dest.index]);
    h.views[dest.index] = CreateView(d, *resource, type, ViewFormat(*resource, view.format), resource->Impl().aspect,
                                     view.mipSlice, 1, baseLayer, layers, VK_IMAGE_USAGE_STORAGE_BIT);
    WriteImage(d, h, dest.index, kBindingStorageImages, h.views[dest.index], VK_IMAGE_LAYOUT_GENERAL);
}

void Device::CreateRenderTargetView(Resource* resource, const RtvDesc* desc, CpuDescriptor dest) {
    CheckSlot(dest);
    DeviceImpl& d = *m_impl;
    DescriptorHeapImpl& h = dest.heap->Impl();
    if (h.attachments.empty() || !resource) return;
    const RtvDesc view = desc ? *desc : RtvDesc{};
    const ResourceDesc& rd = resource->Desc();
    AttachmentView& a = h.attachments[dest.index];
    RetireView(d, a.view);
    const uint32_t layers = rd.dimension == ResourceDimension::Texture3D ? 1 : std::max<uint32_t>(1, view.arraySize);
    a.view = CreateView(d, *resource, layers > 1 ? VK_IMAGE_VIEW_TYPE_2D_ARRAY : VK_IMAGE_VIEW_TYPE_2D,
                        ViewFormat(*resource, view.format), VK_IMAGE_ASPECT_COLOR_BIT, view.mipSlice, 1, view.firstArraySlice,
                        layers, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT);
    a.image = resource->Impl().image;
    a.format = ViewFormat(*resource, view.format);
    a.aspect = VK_IMAGE_ASPECT_COLOR_BIT;
    a.width = std::max<uint32_t>(1, static_cast<uint32_t>(rd.width >> view.mipSlice));
    a.height = std::max<uint32_t>(1, rd.height >> view.mipSlice);
    a.samples = std::max<uint32_t>(1, rd.sampleCount);
    a.mip = view.mipSlice;
    a.firstSlice = view.firstArraySlice;
    a.sliceCount = layers;
}

void Device::CreateDepthStencilView(Resource* resource, const DsvDesc* desc, CpuDescriptor dest) {
    CheckSlot(dest);
    DeviceImpl& d = *m_impl;
    DescriptorHeapImpl& h = dest.heap->Impl();
    if (h.attachments.empty() || !resource) return;
    const DsvDesc view = desc ? *desc : DsvDesc{};
    const ResourceDesc& rd = resource->Desc();
    const ResourceImpl& r = resource->Impl();
    if (view.firstArraySlice >= rd.ArraySize() || view.arraySize == 0 || view.arraySize > rd.ArraySize() - view.firstArraySlice)
        throw std::invalid_argument("CreateDepthStencilView: the slices lie outside the texture");
    AttachmentView& a = h.attachments[dest.index];
    RetireView(d, a.view);
    a.view = CreateView(d, *resource, view.arraySize > 1 ? VK_IMAGE_VIEW_TYPE_2D_ARRAY : VK_IMAGE_VIEW_TYPE_2D, r.format, r.aspect,
                        view.mipSlice, 1, view.firstArraySlice, view.arraySize, VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT);
    a.image = r.image;
    a.format = r.format;
    a.aspect = r.aspect;
    a.width = std::max<uint32_t>(1, static_cast<uint32_t>(rd.width >> view.mipSlice));
    a.height = std::max<uint32_t>(1, rd.height >> view.mipSlice);
    a.samples = std::max<uint32_t>(1, rd.sampleCount);
    a.readOnlyDepth = view.readOnlyDepth;
    a.mip = view.mipSlice;
    a.firstSlice = view.firstArraySlice;
    a.sliceCount = view.arraySize;
}

void Device::CreateSampler(const SamplerDesc& desc, CpuDescriptor dest) {
    CheckSlot(dest);
    DeviceImpl& d = *m_impl;
    DescriptorHeapImpl& h = dest.heap->Impl();
    if (!h.records.empty()) {
        h.records[dest.index].kind = ViewRecord::Kind::Sampler;
        h.records[dest.index].sampler = desc;
    }
    if (!h.set) return;
    if (dest.index >= h.samplers.size()) throw HrException(static_cast<int32_t>(VK_ERROR_OUT_OF_POOL_MEMORY));
    if (VkSampler old = h.samplers[dest.index]) {
        DeviceImpl* device = &d;
        d.Retire([device, old] { vkDestroySampler(device->device, old, nullptr); });
    }
    h.samplers[dest.index] = CreateVkSampler(d, desc);
    VkDescriptorImageInfo info{h.samplers[dest.index], VK_NULL_HANDLE, VK_IMAGE_LAYOUT_UNDEFINED};
    VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    write.dstSet = h.set;
    write.dstBinding = kBindingSamplers;
    write.dstArrayElement = dest.index;
    write.descriptorCount = 1;
    write.descriptorType = VK_DESCRIPTOR_TYPE_SAMPLER;
    write.pImageInfo = &info;
    vkUpdateDescriptorSets(d.device, 1, &write, 0, nullptr);
}

void Device::CopyDescriptorsSimple(CpuDescriptor dest, CpuDescriptor src) {
    CheckSlot(dest);
    CheckSlot(src);
    const DescriptorHeapImpl& s = src.heap->Impl();
    if (s.records.empty()) return;
    const ViewRecord record = s.records[src.index];
    std::shared_ptr<Resource> resource = record.resource.lock();
    switch (record.kind) {
    case ViewRecord::Kind::Srv: CreateShaderResourceView(resource.get(), &record.srv, dest); break;
    case ViewRecord::Kind::Uav: CreateUnorderedAccessView(resource.get(), &record.uav, dest); break;
    case ViewRecord::Kind::Sampler: CreateSampler(record.sampler, dest); break;
    case ViewRecord::Kind::None: break;
    }
}

}  // namespace Engine::Platform
