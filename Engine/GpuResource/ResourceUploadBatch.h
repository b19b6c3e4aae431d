#pragma once
// Uploads textures and buffers and builds mip chains on a command list of its own, independent
// of the frame's list. Begin, then any number of Upload / Transition / GenerateMips, then End,
// which submits the work and returns a future that completes when the GPU has finished it;
// everything the work needs (upload buffers, staging textures, descriptor heaps) is kept alive
// until then.
#include <cstdint>
#include <future>
#include <memory>
#include <vector>

#include "Engine/Platform/Device.h"

namespace Engine {

/// One subresource in CPU memory: rows `rowPitch` bytes apart, depth slices `slicePitch` apart.
struct SubresourceData {
    const void* data = nullptr;
    int64_t rowPitch = 0;
    int64_t slicePitch = 0;
};

class ResourceUploadBatch {
public:
    explicit ResourceUploadBatch(std::shared_ptr<Platform::Device> device);
    virtual ~ResourceUploadBatch();
    ResourceUploadBatch(const ResourceUploadBatch&) = delete;
    ResourceUploadBatch& operator=(const ResourceUploadBatch&) = delete;

    void Begin();
    /// Copies subresource 0 of `resource` (in the copy-dest state) from `data`.
    void Upload(Platform::Resource* resource, const SubresourceData& data);
    /// Copies one subresource (mip + slice × mip count) of `resource` (in the copy-dest state).
    void Upload(Platform::Resource* resource, uint32_t subresource, const SubresourceData& data);
    void Transition(Platform::Resource* resource, Platform::ResourceState before, Platform::ResourceState after);
    /// Fills mips 1..n-1 of a 2D texture, a texture array or a cube map (every slice in the
    /// non-pixel-shader-resource state) from mip 0, each slice from its own mip 0. `viewFormat`
    /// names the format to filter in for a texture created typeless (Unknown: its own format).
    /// Other shapes (3D, multisampled) and formats are left as they are.
    void GenerateMips(Platform::Resource* resource, Platform::Format viewFormat = Platform::Format::Unknown);
    std::future<void> End(Platform::Device& queue);

    /// The batch's list while in a Begin-End block (null otherwise).
    Platform::CommandList* GetCommandList() const { return m_commandList.get(); }
    /// Keeps `object` alive until the batch's GPU work has finished.
    void Track(std::shared_ptr<void> object) { m_trackedObjects.push_back(std::move(object)); }
    /// Number of times GenerateMips recorded work (statistics, tests).
    uint32_t GeneratedMipChains() const { return m_mipChains; }
    /// Formats GenerateMips can average (float-viewable colour formats; integer formats are not).
    static bool IsMipFormat(Platform::Format format);

private:
    bool IsSupportedForGenerateMips(const Platform::ResourceDesc& desc, Platform::Format viewFormat) const;
    void CreateMipPipeline();

    std::shared_ptr<Platform::Device> m_device;
    std::shared_ptr<Platform::CommandAllocator> m_allocator;
    std::shared_ptr<Platform::CommandList> m_commandList;
    std::vector<std::shared_ptr<void>> m_trackedObjects;
    std::shared_ptr<Platform::RootSignature> m_mipRootSignature;
    std::shared_ptr<Platform::PipelineState> m_mipPipeline;
    bool m_inBeginEndBlock = false;
    uint32_t m_mipChains = 0;
};

}  // namespace Engine
