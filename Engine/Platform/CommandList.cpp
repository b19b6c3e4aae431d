#include "Engine/Platform/CommandList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <stdexcept>

#include "Engine/Platform/VulkanCommon.h"
#include "core/HrException.h"
#include "core/TextConvert.h"

namespace Engine::Platform {
namespace {

VkImageSubresourceRange RangeFor(const Resource& resource, uint32_t subresource) {
    const ResourceDesc& desc = resource.Desc();
    const VkImageAspectFlags aspect = resource.Impl().aspect;
    if (subresource == kAllSubresources) return {aspect, 0, VK_REMAINING_MIP_LEVELS, 0, VK_REMAINING_ARRAY_LAYERS};
    const uint32_t mips = std::max<uint32_t>(1, desc.mipLevels);
    return {aspect, subresource % mips, 1, subresource / mips, 1};
}

VkImageSubresourceLayers LayersFor(const Resource& resource, uint32_t subresource) {
    const ResourceDesc& desc = resource.Desc();
    const uint32_t mips = std::max<uint32_t>(1, desc.mipLevels);
    VkImageAspectFlags aspect = resource.Impl().aspect;
    if (aspect & VK_IMAGE_ASPECT_DEPTH_BIT) aspect = VK_IMAGE_ASPECT_DEPTH_BIT;
    return {aspect, subresource % mips, subresource / mips, 1};
}

VkExtent3D MipExtent(const ResourceDesc& desc, uint32_t mip) {
    return {std::max<uint32_t>(1, static_cast<uint32_t>(desc.width >> mip)), std::max<uint32_t>(1, desc.height >> mip),
            std::max<uint32_t>(1, desc.Depth() >> mip)};
}

VkBufferImageCopy RegionFor(const Resource& texture, uint32_t subresource, const SubresourceFootprint& fp) {
    const FormatInfo& info = GetFormatInfo(texture.Desc().format);
    const uint32_t blockBytes = std::max<uint32_t>(1, info.blockBytes);
    VkBufferImageCopy region{};
    region.bufferOffset = fp.offset;
    region.bufferRowLength = fp.rowPitch / blockBytes * info.blockWidth;
    region.bufferImageHeight = fp.numRows * info.blockWidth;
    region.imageSubresource = LayersFor(texture, subresource);
    region.imageExtent = {fp.width, fp.height, fp.depth};
    return region;
}

std::string ToHex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%x", value);
    return text;
}

// A shader reads a texture through a descriptor written for one image layout; the state it is
// moved into for that read must give the same layout, or real GPUs read it wrongly (lavapipe
// ignores layouts, so nothing else would tell).
void CheckSampledLayout(DeviceImpl& d, const Resource& resource, ResourceState after, VkImageLayout layout) {
    if (!HasState(after, ResourceState::NonPixelShaderResource) && !HasState(after, ResourceState::PixelShaderResource)) return;
    const uint32_t written = resource.Impl().sampledLayouts.load();
    if (written == 0 || (written & LayoutBit(layout))) return;
    d.ReportMisuse("texture '" + resource.Impl().name + "' enters state 0x" + ToHex(static_cast<uint32_t>(after)) +
                   ", whose image layout differs from the one its shader-resource views were written for; give the views "
                   "that state as SrvDesc::readState");
}

}  // namespace

// CommandAllocator ---------------------------------------------------------------------------

CommandAllocator::CommandAllocator(std::shared_ptr<Device> device)
    : m_device(std::move(device)), m_impl(std::make_unique<CommandAllocatorImpl>()) {
    DeviceImpl& d = m_device->Impl();
    m_impl->device = &d;
    VkCommandPoolCreateInfo info{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    info.queueFamilyIndex = d.queueFamily;
    VkCheck(vkCreateCommandPool(d.device, &info, nullptr, &m_impl->pool), "vkCreateCommandPool");
}

CommandAllocator::~CommandAllocator() {
    CommandAllocatorImpl* a = m_impl.release();
    DeviceImpl* d = a->device;
    // The pool may still hold buffers the GPU runs; destroy it once the last one has finished.
    if (a->lastSerial > d->CompletedSerial()) {
        d->Retire([d, a] {
            vkDestroyCommandPool(d->device, a->pool, nullptr);
            delete a;
        });
        return;
    }
    vkDestroyCommandPool(d->device, a->pool, nullptr);
    delete a;
}

void CommandAllocator::Reset() {
    CommandAllocatorImpl& a = *m_impl;
    if (a.lastSerial <= a.device->CompletedSerial()) {
        VkCheck(vkResetCommandPool(a.device->device, a.pool, 0), "vkResetCommandPool");
        a.nextBuffer = 0;
    }
    // Otherwise the buffers recorded so far may still be running: keep them and record into
    // the next ones; the pool is reset once the GPU has caught up.
}

// CommandList --------------------------------------------------------------------------------

CommandList::CommandList(std::shared_ptr<Device> device) : m_device(std::move(device)), m_impl(std::make_unique<CommandListImpl>()) {
    m_impl->device = &m_device->Impl();
}

CommandList::~CommandList() {
    if (m_impl->open) vkEndCommandBuffer(m_impl->cmd);
}

bool CommandList::IsOpen() const { return m_impl->open; }

void CommandList::Reset(CommandAllocator& allocator, PipelineState* initialState) {
    CommandListImpl& c = *m_impl;
    if (c.open) Close();
    CommandAllocatorImpl& a = allocator.Impl();
    if (a.nextBuffer == a.buffers.size()) {
        VkCommandBufferAllocateInfo alloc{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
        alloc.commandPool = a.pool;
        alloc.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
        alloc.commandBufferCount = 1;
        VkCommandBuffer buffer = VK_NULL_HANDLE;
        VkCheck(vkAllocateCommandBuffers(c.device->device, &alloc, &buffer), "vkAllocateCommandBuffers");
        a.buffers.push_back(buffer);
    }
    c.cmd = a.buffers[a.nextBuffer++];
    c.allocator = &allocator;
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    VkCheck(vkBeginCommandBuffer(c.cmd, &begin), "vkBeginCommandBuffer");
    if (!c.name.empty()) c.device->SetObjectName(VK_OBJECT_TYPE_COMMAND_BUFFER, reinterpret_cast<uint64_t>(c.cmd), c.name);
    c.open = true;
    c.barrierCalls = c.barrierCount = 0;
    c.heap = nullptr;
    c.compute = RootBindState{};
    c.graphics = RootBindState{};
    c.lastPushedBindPoint = VK_PIPELINE_BIND_POINT_MAX_ENUM;
    c.colorTargets.clear();
    c.hasDepth = false;
    c.rendering = false;
    c.hasScissor = false;
    if (initialState) SetPipelineState(*initialState);
}

void CommandList::Close() {
    CommandListImpl& c = *m_impl;
    if (!c.open) return;
    c.EndRendering();
    c.open = false;
    VkCheck(vkEndCommandBuffer(c.cmd), "vkEndCommandBuffer");
}

void CommandListImpl::EndRendering() {
    if (!rendering) return;
    vkCmdEndRendering(cmd);
    rendering = false;
}

void CommandListImpl::BeginRenderingIfNeeded() {
    if (rendering) return;
    uint32_t width = UINT32_MAX, height = UINT32_MAX, layers = 1;
    std::vector<VkRenderingAttachmentInfo> colors;
    for (const AttachmentView& a : colorTargets) {
        VkRenderingAttachmentInfo info{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        info.imageView = a.view;
        info.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        info.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
        info.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
        colors.push_back(info);
        width = std::min(width, a.width);
        height = std::min(height, a.height);
        layers = std::max(layers, a.sliceCount);
    }
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    if (hasDepth) {
        depth.imageView = depthTarget.view;
        depth.imageLayout = depthTarget.readOnlyDepth ? VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL
                                                      : VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
        depth.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
        depth.storeOp = depthTarget.readOnlyDepth ? VK_ATTACHMENT_STORE_OP_NONE : VK_ATTACHMENT_STORE_OP_STORE;
        width = std::min(width, depthTarget.width);
        height = std::min(height, depthTarget.height);
        layers = std::max(layers, depthTarget.sliceCount);
    }
    VkRect2D area{{0, 0}, {width, height}};
    if (colors.empty() && !hasDepth) {
        // A draw that writes only through storage images or buffers (the voxelisation): the
        // pass has no attachments and rasterises over the scissor rectangle.
        if (!hasScissor) throw std::logic_error("a draw with no render target needs a scissor rectangle first");
        area = {{0, 0}, {scissor.offset.x + scissor.extent.width, scissor.offset.y + scissor.extent.height}};
    }
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = area;
    info.layerCount = layers;
    info.colorAttachmentCount = static_cast<uint32_t>(colors.size());
    info.pColorAttachments = colors.data();
    info.pDepthAttachment = hasDepth ? &depth : nullptr;
    info.pStencilAttachment = hasDepth && (depthTarget.aspect & VK_IMAGE_ASPECT_STENCIL_BIT) ? &depth : nullptr;
    vkCmdBeginRendering(cmd, &info);
    rendering = true;
}

void CommandListImpl::FlushRoot(VkPipelineBindPoint bindPoint) {
    RootBindState& state = bindPoint == VK_PIPELINE_BIND_POINT_GRAPHICS ? graphics : compute;
    if (!state.rootSignature) return;
    const RootSignatureImpl& rs = state.rootSignature->Impl();
    bool& setsDirty = bindPoint == VK_PIPELINE_BIND_POINT_RAY_TRACING_KHR ? state.raySetsDirty : state.setsDirty;
    if (setsDirty) {
        if (heap && heap->Impl().set) vkCmdBindDescriptorSets(cmd, bindPoint, rs.layout, 0, 1, &heap->Impl().set, 0, nullptr);
        if (rs.samplerSet) vkCmdBindDescriptorSets(cmd, bindPoint, rs.layout, 1, 1, &rs.samplerSet, 0, nullptr);
        setsDirty = false;
    }
    // Push constants are not kept per bind point, so switching between the graphics and the
    // compute arguments pushes the whole block again.
    const VkPipelineBindPoint pushGroup =
        bindPoint == VK_PIPELINE_BIND_POINT_GRAPHICS ? VK_PIPELINE_BIND_POINT_GRAPHICS : VK_PIPELINE_BIND_POINT_COMPUTE;
    const uint32_t bytes = state.rootSignature->PushConstantBytes();
    if (bytes && (state.dirty || lastPushedBindPoint != pushGroup)) {
        vkCmdPushConstants(cmd, rs.layout, VK_SHADER_STAGE_ALL, 0, bytes, state.data.data());
        state.dirty = false;
        lastPushedBindPoint = pushGroup;
    }
}

void CommandList::ResourceBarrier(std::span<const Platform::ResourceBarrier> barriers) {
    CommandListImpl& c = *m_impl;
    DeviceImpl& d = *c.device;
    std::vector<VkImageMemoryBarrier2> images;
    std::vector<VkBufferMemoryBarrier2> buffers;
    std::vector<VkMemoryBarrier2> memory;
    for (const Platform::ResourceBarrier& b : barriers) {
        if (b.type == Platform::ResourceBarrier::Type::UnorderedAccess) {
            VkMemoryBarrier2 m{VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
            m.srcStageMask = d.ShaderStages() | VK_PIPELINE_STAGE_2_CLEAR_BIT;
            m.srcAccessMask = VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT | VK_ACCESS_2_TRANSFER_WRITE_BIT;
            m.dstStageMask = d.ShaderStages() | VK_PIPELINE_STAGE_2_CLEAR_BIT;
            m.dstAccessMask = VK_ACCESS_2_SHADER_STORAGE_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT | VK_ACCESS_2_TRANSFER_WRITE_BIT;
            if (d.raytracing) {
                // Acceleration-structure builds count as unordered access, as on the original platform.
                m.srcStageMask |= VK_PIPELINE_STAGE_2_ACCELERATION_STRUCTURE_BUILD_BIT_KHR;
                m.srcAccessMask |= VK_ACCESS_2_ACCELERATION_STRUCTURE_WRITE_BIT_KHR;
                m.dstStageMask |= VK_PIPELINE_STAGE_2_ACCELERATION_STRUCTURE_BUILD_BIT_KHR;
                m.dstAccessMask |= VK_ACCESS_2_ACCELERATION_STRUCTURE_READ_BIT_KHR | VK_ACCESS_2_ACCELERATION_STRUCTURE_WRITE_BIT_KHR;
            }
            memory.push_back(m);
            continue;
        }
        if (!b.resource || b.before == b.after) continue;
        const ResourceImpl& r = b.resource->Impl();
        const bool depth = (r.aspect & VK_IMAGE_ASPECT_DEPTH_BIT) != 0;
        const ImageState src = ImageStateFor(b.before, depth, d);
        const ImageState dst = ImageStateFor(b.after, depth, d);
        if (r.buffer) {
            VkBufferMemoryBarrier2 m{VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER_2};
            m.srcStageMask = src.stages;
            m.srcAccessMask = src.access;
            m.dstStageMask = dst.stages;
            m.dstAccessMask = dst.access;
            m.srcQueueFamilyIndex = m.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
            m.buffer = r.buffer;
            m.size = VK_WHOLE_SIZE;
            buffers.push_back(m);
        } else {
            if (d.validation) CheckSampledLayout(d, *b.resource, b.after, dst.layout);
            VkImageMemoryBarrier2 m{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
            m.srcStageMask = src.stages;
            m.srcAccessMask = src.access;
            m.dstStageMask = dst.stages;
            m.dstAccessMask = dst.access;
            m.oldLayout = src.layout;
            m.newLayout = dst.layout;
            m.srcQueueFamilyIndex = m.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
            m.image = r.image;
            m.subresourceRange = RangeFor(*b.resource, b.subresource);
            images.push_back(m);
        }
    }
    const size_t total = images.size() + buffers.size() + memory.size();
    if (total == 0) return;
    c.EndRendering();
    VkDependencyInfo dep{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dep.memoryBarrierCount = static_cast<uint32_t>(memory.size());
    dep.pMemoryBarriers = memory.data();
    dep.bufferMemoryBarrierCount = static_cast<uint32_t>(buffers.size());
    dep.pBufferMemoryBarriers = buffers.data();
    dep.imageMemoryBarrierCount = static_cast<uint32_t>(images.size());
    dep.pImageMemoryBarriers = images.data();
    vkCmdPipelineBarrier2(c.cmd, &dep);
    ++c.barrierCalls;
    c.barrierCount += static_cast<uint32_t>(total);
}

uint32_t CommandList::BarrierCallCount() const { return m_impl->barrierCalls; }
uint32_t CommandList::BarrierCount() const { return m_impl->barrierCount; }

void CommandList::CopyResource(Resource& dst, Resource& src) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    if (dst.Impl().buffer && src.Impl().buffer) {
        const VkBufferCopy region{0, 0, std::min(dst.Impl().size, src.Impl().size)};
        vkCmdCopyBuffer(c.cmd, src.Impl().buffer, dst.Impl().buffer, 1, &region);
        return;
    }
    const ResourceDesc& desc = src.Desc();
    std::vector<VkImageCopy> regions;
    for (uint32_t slice = 0; slice < desc.ArraySize(); ++slice)
        for (uint32_t mip = 0; mip < std::max<uint32_t>(1, desc.mipLevels); ++mip) {
            const uint32_t sub = CalcSubresource(mip, slice, std::max<uint32_t>(1, desc.mipLevels));
            VkImageCopy region{};
            region.srcSubresource = LayersFor(src, sub);
            region.dstSubresource = LayersFor(dst, sub);
            region.extent = MipExtent(desc, mip);
            regions.push_back(region);
        }
    vkCmdCopyImage(c.cmd, src.Impl().image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst.Impl().image,
                   VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, static_cast<uint32_t>(regions.size()), regions.data());
}

void CommandList::CopyBufferRegion(Resource& dst, uint64_t dstOffset, Resource& src, uint64_t srcOffset, uint64_t bytes) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    const VkBufferCopy region{srcOffset, dstOffset, bytes};
    vkCmdCopyBuffer(c.cmd, src.Impl().buffer, dst.Impl().buffer, 1, &region);
}

void CommandList::CopyBufferToTexture(Resource& dst, uint32_t dstSubresource, Resource& src, const SubresourceFootprint& footprint) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    const VkBufferImageCopy region = RegionFor(dst, dstSubresource, footprint);
    vkCmdCopyBufferToImage(c.cmd, src.Impl().buffer, dst.Impl().image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
}

void CommandList::CopyTextureToBuffer(Resource& dst, const SubresourceFootprint& footprint, Resource& src, uint32_t srcSubresource) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    const VkBufferImageCopy region = RegionFor(src, srcSubresource, footprint);
    vkCmdCopyImageToBuffer(c.cmd, src.Impl().image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst.Impl().buffer, 1, &region);
}

void CommandList::ResolveSubresource(Resource& dst, uint32_t dstSubresource, Resource& src, uint32_t srcSubresource, Format) {
    constexpr VkImageAspectFlags depthStencil = VK_IMAGE_ASPECT_DEPTH_BIT | VK_IMAGE_ASPECT_STENCIL_BIT;
    if ((src.Impl().aspect | dst.Impl().aspect) & depthStencil)
        throw std::invalid_argument("ResolveSubresource resolves colour images only; resolve depth with ResolveDepth");
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    VkImageResolve region{};
    region.srcSubresource = LayersFor(src, srcSubresource);
    region.dstSubresource = LayersFor(dst, dstSubresource);
    region.extent = MipExtent(src.Desc(), region.srcSubresource.mipLevel);
    vkCmdResolveImage(c.cmd, src.Impl().image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, dst.Impl().image,
                      VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
}

void CommandList::ResolveDepth(CpuDescriptor dstDsv, CpuDescriptor srcDsv, DepthResolveMode mode) {
    if (!dstDsv.heap || !srcDsv.heap || dstDsv.heap->Type() != DescriptorHeapType::Dsv || srcDsv.heap->Type() != DescriptorHeapType::Dsv)
        throw std::invalid_argument("ResolveDepth takes two depth-stencil views");
    const AttachmentView& src = srcDsv.heap->Impl().attachments.at(srcDsv.index);
    const AttachmentView& dst = dstDsv.heap->Impl().attachments.at(dstDsv.index);
    if (!src.view || !dst.view) throw std::invalid_argument("ResolveDepth: a depth-stencil view is empty");
    if (src.samples < 2 || dst.samples != 1)
        throw std::invalid_argument("ResolveDepth resolves a multisampled depth view into a single-sampled one");
    if (src.format != dst.format || src.width != dst.width || src.height != dst.height)
        throw std::invalid_argument("ResolveDepth: source and destination differ in format or size");
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    const DeviceLimits& limits = c.device->limits;
    VkResolveModeFlagBits resolve = VK_RESOLVE_MODE_SAMPLE_ZERO_BIT;
    if (mode == DepthResolveMode::Min && limits.depthResolveMin) resolve = VK_RESOLVE_MODE_MIN_BIT;
    if (mode == DepthResolveMode::Max && limits.depthResolveMax) resolve = VK_RESOLVE_MODE_MAX_BIT;
    // The samples are only read: the multisampled image stays in its read-only layout and is not
    // stored; the resolve writes the destination at the end of the pass.
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = src.view;
    depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_NONE;
    depth.resolveMode = resolve;
    depth.resolveImageView = dst.view;
    depth.resolveImageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = {{0, 0}, {src.width, src.height}};
    info.layerCount = 1;
    info.pDepthAttachment = &depth;
    vkCmdBeginRendering(c.cmd, &info);
    vkCmdEndRendering(c.cmd);
}

void CommandList::ClearRenderTargetView(CpuDescriptor rtv, const float color[4]) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    const AttachmentView& a = rtv.heap->Impl().attachments.at(rtv.index);
    VkRenderingAttachmentInfo attachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    attachment.imageView = a.view;
    attachment.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    std::memcpy(attachment.clearValue.color.float32, color, sizeof(float) * 4);
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = {{0, 0}, {a.width, a.height}};
    info.layerCount = a.sliceCount;
    info.colorAttachmentCount = 1;
    info.pColorAttachments = &attachment;
    vkCmdBeginRendering(c.cmd, &info);
    vkCmdEndRendering(c.cmd);
}

void CommandList::ClearDepthStencilView(CpuDescriptor dsv, float depth, uint8_t stencil) {
    const AttachmentView& a = dsv.heap->Impl().attachments.at(dsv.index);
    const Rect whole{0, 0, static_cast<int32_t>(a.width), static_cast<int32_t>(a.height)};
    ClearDepthStencilView(dsv, depth, stencil, std::span(&whole, 1));
}

void CommandList::ClearDepthStencilView(CpuDescriptor dsv, float depth, uint8_t stencil, std::span<const Rect> rects) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    const AttachmentView& a = dsv.heap->Impl().attachments.at(dsv.index);
    // Each rectangle is cleared as the render area of its own pass: a clear load only touches
    // the render area.
    for (const Rect& rect : rects) {
        const int32_t left = std::max(rect.left, 0), top = std::max(rect.top, 0);
        const int32_t right = std::min<int32_t>(rect.right, static_cast<int32_t>(a.width));
        const int32_t bottom = std::min<int32_t>(rect.bottom, static_cast<int32_t>(a.height));
        if (right <= left || bottom <= top) continue;
        c.ClearDepthArea(a, {{left, top}, {static_cast<uint32_t>(right - left), static_cast<uint32_t>(bottom - top)}}, depth, stencil);
    }
}

void CommandListImpl::ClearDepthArea(const AttachmentView& a, VkRect2D area, float depth, uint8_t stencil) {
    VkRenderingAttachmentInfo attachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    attachment.imageView = a.view;
    attachment.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    attachment.clearValue.depthStencil = {depth, stencil};
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = area;
    info.layerCount = a.sliceCount;
    info.pDepthAttachment = &attachment;
    info.pStencilAttachment = (a.aspect & VK_IMAGE_ASPECT_STENCIL_BIT) ? &attachment : nullptr;
    vkCmdBeginRendering(cmd, &info);
    vkCmdEndRendering(cmd);
}

void CommandList::ClearState(PipelineState* pipeline) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    c.heap = nullptr;
    c.compute = RootBindState{};
    c.graphics = RootBindState{};
    c.lastPushedBindPoint = VK_PIPELINE_BIND_POINT_MAX_ENUM;
    c.colorTargets.clear();
    c.hasDepth = false;
    if (pipeline) SetPipelineState(*pipeline);
}

void CommandList::ClearUnorderedAccessViewFloat(Resource& resource, const float values[4]) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    if (resource.Impl().buffer) {
        uint32_t bits = 0;
        std::memcpy(&bits, values, 4);
        vkCmdFillBuffer(c.cmd, resource.Impl().buffer, 0, VK_WHOLE_SIZE, bits);
        return;
    }
    VkClearColorValue value{};
    std::memcpy(value.float32, values, sizeof(float) * 4);
    const VkImageSubresourceRange range = RangeFor(resource, kAllSubresources);
    vkCmdClearColorImage(c.cmd, resource.Impl().image, VK_IMAGE_LAYOUT_GENERAL, &value, 1, &range);
}

void CommandList::ClearUnorderedAccessViewUint(Resource& resource, const uint32_t values[4]) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    if (resource.Impl().buffer) {
        vkCmdFillBuffer(c.cmd, resource.Impl().buffer, 0, VK_WHOLE_SIZE, values[0]);
        return;
    }
    VkClearColorValue value{};
    std::memcpy(value.uint32, values, sizeof(uint32_t) * 4);
    const VkImageSubresourceRange range = RangeFor(resource, kAllSubresources);
    vkCmdClearColorImage(c.cmd, resource.Impl().image, VK_IMAGE_LAYOUT_GENERAL, &value, 1, &range);
}

void CommandList::SetDescriptorHeaps(DescriptorHeap* cbvSrvUavHeap) {
    CommandListImpl& c = *m_impl;
    c.heap = cbvSrvUavHeap;
    c.compute.setsDirty = c.compute.raySetsDirty = c.graphics.setsDirty = true;
}

void CommandList::SetPipelineState(PipelineState& pipeline) {
    vkCmdBindPipeline(m_impl->cmd, pipeline.Impl().bindPoint, pipeline.Impl().pipeline);
}

void CommandList::SetComputeRootSignature(RootSignature& rootSignature) {
    RootBindState& s = m_impl->compute;
    s.rootSignature = &rootSignature;
    s.dirty = s.setsDirty = s.raySetsDirty = true;
}

void CommandList::SetGraphicsRootSignature(RootSignature& rootSignature) {
    RootBindState& s = m_impl->graphics;
    s.rootSignature = &rootSignature;
    s.dirty = s.setsDirty = true;
}

namespace {

void WriteRoot(RootBindState& s, uint32_t parameter, uint32_t byteOffset, const void* data, uint32_t bytes) {
    if (!s.rootSignature) throw HrException(static_cast<int32_t>(VK_ERROR_INITIALIZATION_FAILED));
    const uint32_t offset = s.rootSignature->ParameterOffset(parameter) + byteOffset;
    if (offset + bytes > s.rootSignature->PushConstantBytes()) throw HrException(static_cast<int32_t>(VK_ERROR_INITIALIZATION_FAILED));
    std::memcpy(s.data.data() + offset, data, bytes);
    s.dirty = true;
}

}  // namespace

void CommandList::SetComputeRoot32BitConstants(uint32_t parameter, uint32_t count, const void* data, uint32_t offsetIn32Bit) {
    WriteRoot(m_impl->compute, parameter, offsetIn32Bit * 4, data, count * 4);
}
void CommandList::SetComputeRoot32BitConstant(uint32_t parameter, uint32_t value, uint32_t offsetIn32Bit) {
    WriteRoot(m_impl->compute, parameter, offsetIn32Bit * 4, &value, 4);
}
void CommandList::SetComputeRootDescriptorTable(uint32_t parameter, uint32_t heapIndex) {
    WriteRoot(m_impl->compute, parameter, 0, &heapIndex, 4);
}
void CommandList::SetComputeRootBufferAddress(uint32_t parameter, uint64_t address) {
    WriteRoot(m_impl->compute, parameter, 0, &address, 8);
}
void CommandList::SetGraphicsRoot32BitConstants(uint32_t parameter, uint32_t count, const void* data, uint32_t offsetIn32Bit) {
    WriteRoot(m_impl->graphics, parameter, offsetIn32Bit * 4, data, count * 4);
}
void CommandList::SetGraphicsRoot32BitConstant(uint32_t parameter, uint32_t value, uint32_t offsetIn32Bit) {
    WriteRoot(m_impl->graphics, parameter, offsetIn32Bit * 4, &value, 4);
}
void CommandList::SetGraphicsRootDescriptorTable(uint32_t parameter, uint32_t heapIndex) {
    WriteRoot(m_impl->graphics, parameter, 0, &heapIndex, 4);
}
void CommandList::SetGraphicsRootBufferAddress(uint32_t parameter, uint64_t address) {
    WriteRoot(m_impl->graphics, parameter, 0, &address, 8);
}

void CommandList::OMSetRenderTargets(std::span<const CpuDescriptor> rtvs, const CpuDescriptor* dsv) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    c.colorTargets.clear();
    for (const CpuDescriptor& rtv : rtvs) c.colorTargets.push_back(rtv.heap->Impl().attachments.at(rtv.index));
    c.hasDepth = dsv != nullptr;
    if (dsv) c.depthTarget = dsv->heap->Impl().attachments.at(dsv->index);
}

void CommandList::RSSetViewports(std::span<const Viewport> viewports) {
    // Every pipeline has one viewport: an atlas is drawn tile by tile, moving it between draws.
    if (viewports.size() > 1) throw std::invalid_argument("RSSetViewports takes one viewport: the pipelines have one.");
    std::vector<VkViewport> vk;
    for (const Viewport& v : viewports)
        vk.push_back({v.topLeftX, v.topLeftY + v.height, v.width, -v.height, v.minDepth, v.maxDepth});
    if (!vk.empty()) vkCmdSetViewport(m_impl->cmd, 0, static_cast<uint32_t>(vk.size()), vk.data());
}

void CommandList::RSSetScissorRects(std::span<const Rect> rects) {
    if (rects.size() > 1) throw std::invalid_argument("RSSetScissorRects takes one rectangle: the pipelines have one viewport.");
    std::vector<VkRect2D> vk;
    for (const Rect& r : rects) {
        const int32_t left = std::max(0, r.left), top = std::max(0, r.top);
        vk.push_back({{left, top}, {static_cast<uint32_t>(std::max(0, r.right - left)), static_cast<uint32_t>(std::max(0, r.bottom - top))}});
    }
    if (vk.empty()) return;
    vkCmdSetScissor(m_impl->cmd, 0, static_cast<uint32_t>(vk.size()), vk.data());
    m_impl->scissor = vk.front();
    m_impl->hasScissor = true;
}

void CommandList::IASetVertexBuffers(uint32_t startSlot, std::span<const VertexBufferView> views) {
    std::vector<VkBuffer> buffers;
    std::vector<VkDeviceSize> offsets;
    for (const VertexBufferView& v : views) {
        buffers.push_back(v.buffer->Impl().buffer);
        offsets.push_back(v.offset);
    }
    if (!buffers.empty())
        vkCmdBindVertexBuffers(m_impl->cmd, startSlot, static_cast<uint32_t>(buffers.size()), buffers.data(), offsets.data());
}

void CommandList::IASetIndexBuffer(const IndexBufferView& view) {
    vkCmdBindIndexBuffer(m_impl->cmd, view.buffer->Impl().buffer, view.offset,
                         view.format == Format::R16_UINT ? VK_INDEX_TYPE_UINT16 : VK_INDEX_TYPE_UINT32);
}

void CommandList::DrawInstanced(uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex, uint32_t startInstance) {
    CommandListImpl& c = *m_impl;
    c.BeginRenderingIfNeeded();
    c.FlushRoot(VK_PIPELINE_BIND_POINT_GRAPHICS);
    vkCmdDraw(c.cmd, vertexCount, instanceCount, startVertex, startInstance);
}

void CommandList::DrawIndexedInstanced(uint32_t indexCount, uint32_t instanceCount, uint32_t startIndex, int32_t baseVertex,
                                       uint32_t startInstance) {
    CommandListImpl& c = *m_impl;
    c.BeginRenderingIfNeeded();
    c.FlushRoot(VK_PIPELINE_BIND_POINT_GRAPHICS);
    vkCmdDrawIndexed(c.cmd, indexCount, instanceCount, startIndex, baseVertex, startInstance);
}

void CommandList::Dispatch(uint32_t x, uint32_t y, uint32_t z) {
    CommandListImpl& c = *m_impl;
    c.EndRendering();
    c.FlushRoot(VK_PIPELINE_BIND_POINT_COMPUTE);
    vkCmdDispatch(c.cmd, x, y, z);
}

void CommandList::BeginEvent(std::string_view name) {
    CommandListImpl& c = *m_impl;
    if (!c.device->fn.cmdBeginLabel) return;
    c.EndRendering();
    const std::string text(name);
    VkDebugUtilsLabelEXT label{VK_STRUCTURE_TYPE_DEBUG_UTILS_LABEL_EXT};
    label.pLabelName = text.c_str();
    c.device->fn.cmdBeginLabel(c.cmd, &label);
}

void CommandList::BeginEvent(std::u16string_view name) { BeginEvent(std::string_view(Utf16ToUtf8(name))); }

void CommandList::EndEvent() {
    CommandListImpl& c = *m_impl;
    if (!c.device->fn.cmdEndLabel) return;
    c.EndRendering();
    c.device->fn.cmdEndLabel(c.cmd);
}

void CommandList::SetName(std::string_view name) {
    m_impl->name = std::string(name);
    if (m_impl->cmd)
        m_impl->device->SetObjectName(VK_OBJECT_TYPE_COMMAND_BUFFER, reinterpret_cast<uint64_t>(m_impl->cmd), m_impl->name);
}

}  // namespace Engine::Platform
