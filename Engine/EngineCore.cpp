#include "Engine/EngineCore.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/DescriptorSlots.h"
#include "core/HrException.h"

namespace Engine {

using namespace Platform;

namespace {

std::mutex g_instanceLock;
DeviceOptions g_options;
constexpr int32_t kDeviceLost = -4;  // VK_ERROR_DEVICE_LOST

bool ValidationFromEnvironment() {
    const char* value = std::getenv("TAVRIN_VULKAN_VALIDATION");
    return value && std::strcmp(value, "0") != 0 && *value != '\0';
}

}  // namespace

std::shared_ptr<EngineCore>& EngineCore::GetInstance() {
    // Never destroyed: the instance lives until the process ends, and a destructor run from the
    // exit handlers would call into a driver that may already have shut itself down.
    static auto* instance = new std::shared_ptr<EngineCore>();
    std::lock_guard lock(g_instanceLock);
    if (!*instance) {
        DeviceOptions options = g_options;
        options.enableValidation |= ValidationFromEnvironment();
        *instance = std::make_shared<EngineCore>(options);
    }
    return *instance;
}

void EngineCore::SetDeviceOptions(const DeviceOptions& options) {
    std::lock_guard lock(g_instanceLock);
    g_options = options;
}

EngineCore::EngineCore(const DeviceOptions& options)
    : m_options(options), m_descriptorSlots(std::make_shared<DescriptorSlots>(this)) {
    CreateDeviceResources();
}

EngineCore::~EngineCore() {
    m_descriptorSlots->Detach();
    if (m_device && !m_deviceLost) {
        try {
            m_device->WaitIdle();
        } catch (const HrException&) {
        }
    }
}

void EngineCore::CreateDeviceResources() {
    m_device.reset();
    m_device = Device::Create(m_options);
    m_heaps[static_cast<uint32_t>(DescriptorHeapType::CbvSrvUav)] = m_device->CreateDescriptorHeap(DescriptorHeapType::CbvSrvUav, 4096, true);
    m_heaps[static_cast<uint32_t>(DescriptorHeapType::Rtv)] = m_device->CreateDescriptorHeap(DescriptorHeapType::Rtv, 2048, false);
    m_heaps[static_cast<uint32_t>(DescriptorHeapType::Dsv)] = m_device->CreateDescriptorHeap(DescriptorHeapType::Dsv, 2048, false);
    m_cpuCbvSrvUavHeap = m_device->CreateDescriptorHeap(DescriptorHeapType::CbvSrvUav, 2048, false);
    for (auto& allocator : m_commandAllocators) allocator = m_device->CreateCommandAllocator();
    m_commandList = m_device->CreateCommandList(*m_commandAllocators[0]);
    m_commandList->SetName("EngineCore command list");
    m_commandList->Close();
    m_fence = m_device->CreateFence(m_fenceValues[m_backBufferIndex]);
    ++m_fenceValues[m_backBufferIndex];
}

void EngineCore::SetSurface(uint64_t surface, float width, float height) {
    WaitForGpu();
    m_swapChain.reset();
    m_surface = surface;
    m_outputSize[0] = width;
    m_outputSize[1] = height;
    CreateWindowSizeDependentResources();
}

void EngineCore::SetHeadlessOutput(float width, float height) {
    WaitForGpu();
    m_swapChain.reset();
    m_surface = 0;
    m_outputSize[0] = width;
    m_outputSize[1] = height;
    CreateWindowSizeDependentResources();
}

void EngineCore::SetLogicalSize(float width, float height) {
    if (width == m_outputSize[0] && height == m_outputSize[1] && m_renderTargets[0]) return;
    m_outputSize[0] = width;
    m_outputSize[1] = height;
    CreateWindowSizeDependentResources();
}

void EngineCore::CreateWindowSizeDependentResources() {
    WaitForGpu();
    for (uint32_t n = 0; n < kFrameCount; ++n) {
        m_renderTargets[n].reset();
        m_fenceValues[n] = m_fenceValues[m_backBufferIndex];
    }
    m_outputSize[0] = std::max(m_outputSize[0], 1.0f);
    m_outputSize[1] = std::max(m_outputSize[1], 1.0f);
    const auto width = static_cast<uint32_t>(m_outputSize[0]);
    const auto height = static_cast<uint32_t>(m_outputSize[1]);

    if (m_surface) {
        PresentResult result = PresentResult::Ok;
        if (m_swapChain)
            result = m_swapChain->Resize(width, height);
        else
            m_swapChain = std::make_unique<Swapchain>(m_device, m_surface, width, height);
        if (result == PresentResult::DeviceLost) {
            m_deviceLost = true;
            return;
        }
    }
    m_backBufferIndex = 0;

    DescriptorHeap* rtvHeap = GetHeap(DescriptorHeapType::Rtv);
    for (uint32_t n = 0; n < kFrameCount; ++n) {
        m_renderTargets[n] = m_device->CreateCommittedResource(
            HeapType::Default, ResourceDesc::Tex2D(m_backBufferFormat, width, height, 1, 1, 1, ResourceFlags::AllowRenderTarget),
            ResourceState::Present);
        if (m_rtvSlots[n].IsNull()) m_rtvSlots[n] = AllocateDescriptor(DescriptorHeapType::Rtv);
        m_device->CreateRenderTargetView(m_renderTargets[n].get(), nullptr, {rtvHeap, m_rtvSlots[n].Gpu()});
        char name[32];
        std::snprintf(name, sizeof(name), "m_renderTargets[%u]", n);
        m_renderTargets[n]->SetName(name);
    }

    ClearValue clear;
    clear.format = m_depthBufferFormat;
    clear.depth = 1.0f;
    m_depthStencil = m_device->CreateCommittedResource(
        HeapType::Default, ResourceDesc::Tex2D(m_depthBufferFormat, width, height, 1, 1, 1, ResourceFlags::AllowDepthStencil),
        ResourceState::DepthWrite, &clear);
    if (m_dsvSlot.IsNull()) m_dsvSlot = AllocateDescriptor(DescriptorHeapType::Dsv);
    DsvDesc dsv;
    dsv.format = m_depthBufferFormat;
    dsv.dimension = ViewDimension::Texture2D;
    m_device->CreateDepthStencilView(m_depthStencil.get(), &dsv, GetDepthStencilView());

    m_screenViewport = Viewport{0, 0, m_outputSize[0], m_outputSize[1], 0.0f, 1.0f};
}

CpuDescriptor EngineCore::GetRenderTargetView() const {
    return {GetHeap(DescriptorHeapType::Rtv), static_cast<uint32_t>(std::max(0, m_rtvSlots[m_backBufferIndex].index))};
}

CpuDescriptor EngineCore::GetDepthStencilView() const {
    return {GetHeap(DescriptorHeapType::Dsv), static_cast<uint32_t>(std::max(0, m_dsvSlot.index))};
}

void EngineCore::ResetCommandList() {
    m_commandAllocators[m_backBufferIndex]->Reset();
    m_commandList->Reset(*m_commandAllocators[m_backBufferIndex]);
    m_commandListOpen = true;
    m_pendingBarrierCount = 0;
}

void EngineCore::ExecuteCommandList() {
    if (!m_commandListOpen) return;
    FlushBarriers();
    m_commandList->Close();
    CommandList* lists[] = {m_commandList.get()};
    m_commandListOpen = false;
    m_device->ExecuteCommandLists(lists);
}

void EngineCore::Present() {
    try {
        ExecuteCommandList();
        if (m_swapChain && m_renderTargets[m_backBufferIndex]) {
            const PresentResult result = m_swapChain->Present(*m_renderTargets[m_backBufferIndex]);
            if (result == PresentResult::DeviceLost) {
                m_deviceLost = true;
                return;
            }
            if (result == PresentResult::OutOfDate &&
                m_swapChain->Resize(static_cast<uint32_t>(m_outputSize[0]), static_cast<uint32_t>(m_outputSize[1])) ==
                    PresentResult::DeviceLost) {
                m_deviceLost = true;
                return;
            }
        }
    } catch (const HrException& e) {
        if (e.Error() != kDeviceLost) throw;
        m_deviceLost = true;
        return;
    }
    MoveToNextFrame();
}

void EngineCore::WaitForGpu() {
    if (!m_fence) return;
    const uint64_t value = m_fenceValues[m_backBufferIndex];
    m_device->Signal(*m_fence, value);
    m_fence->Wait(value);
    ++m_fenceValues[m_backBufferIndex];
}

void EngineCore::MoveToNextFrame() {
    const uint64_t value = m_fenceValues[m_backBufferIndex];
    m_device->Signal(*m_fence, value);
    m_backBufferIndex = (m_backBufferIndex + 1) % kFrameCount;
    if (m_fence->GetCompletedValue() < m_fenceValues[m_backBufferIndex]) m_fence->Wait(m_fenceValues[m_backBufferIndex]);
    m_fenceValues[m_backBufferIndex] = value + 1;
}

bool EngineCore::IsRaytracingSupported() const { return m_device && m_device->RaytracingSupported(); }

void EngineCore::AppendBarrier(const ResourceBarrier& barrier) {
    if (m_pendingBarrierCount == kBarrierBatchSize) FlushBarriers();
    m_pendingBarriers[m_pendingBarrierCount++] = barrier;
}

void EngineCore::FlushBarriers() {
    if (m_pendingBarrierCount == 0) return;
    m_commandList->ResourceBarrier(std::span(m_pendingBarriers.data(), m_pendingBarrierCount));
    m_pendingBarrierCount = 0;
}

}  // namespace Engine
