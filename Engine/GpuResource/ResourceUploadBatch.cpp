#include "Engine/GpuResource/ResourceUploadBatch.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <stdexcept>

#include "CompiledShaders.h"
#include "shaders/ShaderLayouts.h"
#include "shaders/shared/GenerateMipsConstants.h"

namespace Engine {

using namespace Platform;

namespace {

// The typeless family a staging copy is created in, so its views may use any format of it.
Platform::Format StagingFormat(Platform::Format format) {
    switch (format) {
    case Format::R32G32B32A32_FLOAT:
    case Format::R32G32B32A32_UINT:
    case Format::R32G32B32A32_SINT: return Format::R32G32B32A32_TYPELESS;
    case Format::R16G16B16A16_FLOAT:
    case Format::R16G16B16A16_UINT:
    case Format::R16G16B16A16_SINT: return Format::R16G16B16A16_TYPELESS;
    case Format::R8G8B8A8_UNORM:
    case Format::R8G8B8A8_UINT:
    case Format::R8G8B8A8_SINT:
    case Format::R8G8B8A8_UNORM_SRGB: return Format::R8G8B8A8_TYPELESS;
    case Format::R32_FLOAT:
    case Format::R32_UINT:
    case Format::R32_SINT: return Format::R32_TYPELESS;
    case Format::R16_FLOAT:
    case Format::R16_UINT:
    case Format::R16_SINT: return Format::R16_TYPELESS;
    case Format::R8_UNORM:
    case Format::R8_UINT:
    case Format::R8_SINT: return Format::R8_TYPELESS;
    default: return format;
    }
}

// Storage views cannot be sRGB: the shader writes through the UNORM view and encodes itself.
Platform::Format WritableFormat(Platform::Format format) {
    switch (format) {
    case Format::R8G8B8A8_UNORM_SRGB: return Format::R8G8B8A8_UNORM;
    case Format::B8G8R8A8_UNORM_SRGB: return Format::B8G8R8A8_UNORM;
    case Format::B8G8R8X8_UNORM_SRGB: return Format::B8G8R8X8_UNORM;
    default: return format;
    }
}

}  // namespace

ResourceUploadBatch::ResourceUploadBatch(std::shared_ptr<Device> device) : m_device(std::move(device)) {}

ResourceUploadBatch::~ResourceUploadBatch() = default;

void ResourceUploadBatch::Begin() {
    if (m_inBeginEndBlock) throw std::logic_error("Can't Begin: already in a Begin-End block.");
    m_allocator = m_device->CreateCommandAllocator();
    m_commandList = m_device->CreateCommandList(*m_allocator);
    m_commandList->SetName("ResourceUploadBatch");
    m_inBeginEndBlock = true;
}

void ResourceUploadBatch::Upload(Resource* resource, const SubresourceData& data) { Upload(resource, 0, data); }

void ResourceUploadBatch::Upload(Resource* resource, uint32_t subresource, const SubresourceData& data) {
    if (!m_inBeginEndBlock) throw std::logic_error("Can't call Upload on a closed ResourceUploadBatch.");
    if (!resource) throw std::invalid_argument("resource != nullptr");
    const ResourceDesc& desc = resource->Desc();
    if (subresource >= desc.SubresourceCount()) throw std::out_of_range("subresource < SubresourceCount()");
    const SubresourceFootprint fp = m_device->GetCopyableFootprint(desc, subresource);
    auto upload = m_device->CreateCommittedResource(HeapType::Upload, ResourceDesc::Buffer(fp.totalBytes), ResourceState::GenericRead);
    upload->SetName("ResourceUploadBatch upload");
    auto* dst = static_cast<uint8_t*>(upload->Map());
    const auto* src = static_cast<const uint8_t*>(data.data);
    if (!src) throw std::invalid_argument("SubresourceData::data != nullptr");
    const uint64_t dstSlicePitch = uint64_t(fp.rowPitch) * fp.numRows;
    for (uint32_t z = 0; z < fp.depth; ++z)
        for (uint32_t row = 0; row < fp.numRows; ++row)
            std::memcpy(dst + z * dstSlicePitch + uint64_t(row) * fp.rowPitch, src + z * data.slicePitch + int64_t(row) * data.rowPitch,
                        fp.rowSizeInBytes);
    if (desc.dimension == ResourceDimension::Buffer)
        m_commandList->CopyBufferRegion(*resource, 0, *upload, 0, desc.width);
    else
        m_commandList->CopyBufferToTexture(*resource, subresource, *upload, fp);
    m_trackedObjects.push_back(std::move(upload));
}

void ResourceUploadBatch::Transition(Resource* resource, ResourceState before, ResourceState after) {
    if (!m_commandList || !m_inBeginEndBlock) throw std::logic_error("commandList != nullptr");
    if (!resource) throw std::invalid_argument("resource != nullptr");
    if (before == after) return;
    const ResourceBarrier barrier = ResourceBarrier::Transition(resource, before, after);
    m_commandList->ResourceBarrier(std::span(&barrier, 1));
}

bool ResourceUploadBatch::IsSupportedForGenerateMips(const ResourceDesc& desc, Format viewFormat) const {
    if (desc.dimension != ResourceDimension::Texture2D || desc.depthOrArraySize < 1 || desc.mipLevels <= 1 || desc.sampleCount > 1)
        return false;
    return IsMipFormat(viewFormat);
}

bool ResourceUploadBatch::IsMipFormat(Format format) {
    switch (format) {
    case Format::R32G32B32A32_FLOAT:
    case Format::R16G16B16A16_FLOAT:
    case Format::R8G8B8A8_UNORM:
    case Format::R32_FLOAT:
    case Format::R16_FLOAT:
    case Format::R8_UNORM:
    case Format::R8G8B8A8_UNORM_SRGB:
    case Format::B8G8R8A8_UNORM:
    case Format::B8G8R8X8_UNORM:
    case Format::B8G8R8A8_UNORM_SRGB:
    case Format::B8G8R8X8_UNORM_SRGB:
        return true;
    default:
        // Integer formats cannot be averaged through a float storage view; they keep mip 0 only.
        return false;
    }
}

void ResourceUploadBatch::CreateMipPipeline() {
    m_mipRootSignature = m_device->CreateRootSignature(ShaderLayouts::GenerateMips());
    m_mipRootSignature->SetName("GenerateMips");
    ComputePipelineDesc pso;
    pso.rootSignature = m_mipRootSignature.get();
    pso.cs.code = Shaders::GenerateMips_comp();
    m_mipPipeline = m_device->CreateComputePipelineState(pso);
    m_mipPipeline->SetName("GenerateMips");
}

void ResourceUploadBatch::GenerateMips(Resource* resource, Format viewFormat) {
    if (!resource) throw std::invalid_argument("Nullptr passed to GenerateMips");
    if (!m_inBeginEndBlock) throw std::logic_error("Can't call GenerateMips on a closed ResourceUploadBatch.");
    const ResourceDesc desc = resource->Desc();
    const Format format = viewFormat == Format::Unknown ? desc.format : viewFormat;
    if (!IsSupportedForGenerateMips(desc, format)) return;
    if (!m_mipPipeline) CreateMipPipeline();
    CommandList& list = *m_commandList;

    // Without unordered access on the texture itself, the chain is built in a staging copy.
    std::shared_ptr<Resource> target = resource->shared_from_this();
    std::shared_ptr<Resource> staging;
    if (!HasFlag(desc.flags, ResourceFlags::AllowUnorderedAccess)) {
        ResourceDesc stagingDesc = desc;
        stagingDesc.flags = desc.flags | ResourceFlags::AllowUnorderedAccess;
        stagingDesc.format = StagingFormat(format);
        staging = m_device->CreateCommittedResource(HeapType::Default, stagingDesc, ResourceState::CopyDest);
        staging->SetName("GenerateMips staging");
        const ResourceBarrier toCopy = ResourceBarrier::Transition(resource, ResourceState::NonPixelShaderResource, ResourceState::CopySource);
        list.ResourceBarrier(std::span(&toCopy, 1));
        list.CopyResource(*staging, *resource);
        const ResourceBarrier toRead = ResourceBarrier::Transition(staging.get(), ResourceState::CopyDest, ResourceState::NonPixelShaderResource);
        list.ResourceBarrier(std::span(&toRead, 1));
        target = staging;
    }

    // Each step reads one mip and writes the next: slot 2(i-1) views mip i-1, slot 2(i-1)+1 is
    // the storage view of mip i, so no view spans a mip being written. Every view is an array of
    // all slices (a plain 2D texture is an array of one; a cube map an array of six faces), and
    // one dispatch covers the slices as its z dimension, each filtered on its own.
    const uint32_t mips = desc.mipLevels;
    const uint32_t slices = desc.ArraySize();
    auto heap = m_device->CreateDescriptorHeap(DescriptorHeapType::CbvSrvUav, 2 * (mips - 1), true);
    const bool srgb = GetFormatInfo(format).srgb;
    for (uint32_t i = 1; i < mips; ++i) {
        SrvDesc srv;
        srv.dimension = ViewDimension::Texture2DArray;
        srv.format = format;
        srv.mostDetailedMip = i - 1;
        srv.mipLevels = 1;
        srv.firstArraySlice = 0;
        srv.arraySize = slices;
        m_device->CreateShaderResourceView(target.get(), &srv, {heap.get(), 2 * (i - 1)});
        UavDesc uav;
        uav.dimension = ViewDimension::Texture2DArray;
        uav.format = WritableFormat(format);
        uav.mipSlice = i;
        uav.firstArraySlice = 0;
        uav.arraySize = slices;
        m_device->CreateUnorderedAccessView(target.get(), &uav, {heap.get(), 2 * (i - 1) + 1});
    }
    // Mip i of every slice moves between reading and writing together.
    auto transitionMip = [&](uint32_t mip, ResourceState before, ResourceState after) {
        std::vector<ResourceBarrier> barriers;
        for (uint32_t slice = 0; slice < slices; ++slice)
            barriers.push_back(ResourceBarrier::Transition(target.get(), before, after, CalcSubresource(mip, slice, mips)));
        list.ResourceBarrier(barriers);
    };

    list.SetComputeRootSignature(*m_mipRootSignature);
    list.SetPipelineState(*m_mipPipeline);
    list.SetDescriptorHeaps(heap.get());
    uint32_t width = static_cast<uint32_t>(desc.width), height = desc.height;
    for (uint32_t i = 1; i < mips; ++i) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        transitionMip(i, ResourceState::NonPixelShaderResource, ResourceState::UnorderedAccess);
        list.SetComputeRootDescriptorTable(1, 2 * (i - 1));
        list.SetComputeRootDescriptorTable(2, 2 * (i - 1) + 1);
        // The two heap indices of the block are set through their descriptor-table parameters.
        Shared::GenerateMipsConstants constants{};
        constants.texelSize = {1.0f / float(width), 1.0f / float(height)};
        constants.srcMip = i - 1;
        constants.isSrgb = srgb ? 1u : 0u;
        list.SetComputeRoot32BitConstants(0, 4, &constants, 0);
        list.Dispatch((width + 7) / 8, (height + 7) / 8, slices);
        const ResourceBarrier written = ResourceBarrier::UAV(target.get());
        list.ResourceBarrier(std::span(&written, 1));
        transitionMip(i, ResourceState::UnorderedAccess, ResourceState::NonPixelShaderResource);
    }

    if (staging) {
        const ResourceBarrier back[2] = {
            ResourceBarrier::Transition(staging.get(), ResourceState::NonPixelShaderResource, ResourceState::CopySource),
            ResourceBarrier::Transition(resource, ResourceState::CopySource, ResourceState::CopyDest)};
        list.ResourceBarrier(back);
        list.CopyResource(*resource, *staging);
        const ResourceBarrier done = ResourceBarrier::Transition(resource, ResourceState::CopyDest, ResourceState::PixelShaderResource);
        list.ResourceBarrier(std::span(&done, 1));
        m_trackedObjects.push_back(staging);
    }
    m_trackedObjects.push_back(m_mipRootSignature);
    m_trackedObjects.push_back(m_mipPipeline);
    m_trackedObjects.push_back(resource->shared_from_this());
    m_trackedObjects.push_back(heap);
    ++m_mipChains;
}

std::future<void> ResourceUploadBatch::End(Device& queue) {
    if (!m_inBeginEndBlock) throw std::logic_error("ResourceUploadBatch already closed.");
    m_commandList->Close();
    CommandList* lists[] = {m_commandList.get()};
    queue.ExecuteCommandLists(lists);
    auto fence = queue.CreateFence(0);
    queue.Signal(*fence, 1);

    struct CompletionRecord {
        std::vector<std::shared_ptr<void>> trackedObjects;
        std::shared_ptr<CommandList> commandList;
        std::shared_ptr<CommandAllocator> allocator;
        std::shared_ptr<Fence> fence;
    };
    auto record = std::make_shared<CompletionRecord>();
    record->trackedObjects = std::move(m_trackedObjects);
    record->commandList = std::move(m_commandList);
    record->allocator = std::move(m_allocator);
    record->fence = std::move(fence);
    m_trackedObjects.clear();
    assert(m_trackedObjects.empty() && "mTrackedObjects.empty()");
    m_inBeginEndBlock = false;
    return std::async(std::launch::async, [record]() mutable {
        record->fence->Wait(1);
        record.reset();
    });
}

}  // namespace Engine
