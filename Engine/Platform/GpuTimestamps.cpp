#include "Engine/Platform/GpuTimestamps.h"

#include <algorithm>

#include "Engine/Platform/VulkanCommon.h"

namespace Engine::Platform {

namespace {

// A scope left out because the slot was full keeps its place on the stack of open scopes.
constexpr uint32_t kUntimed = UINT32_MAX;

struct FrameSlot {
    bool recording = false;  // between BeginFrame and EndFrame
    bool pending = false;    // ended, its times not read yet
    bool clean = true;       // every query of the range is reset and unwritten
    uint64_t frameNumber = 0;
    std::vector<TimedScope> scopes;
};

}  // namespace

struct GpuTimestampsImpl {
    DeviceImpl* device = nullptr;
    VkQueryPool pool = VK_NULL_HANDLE;
    uint32_t maxScopes = 0;
    uint32_t queriesPerSlot = 0;
    uint64_t tickMask = 0;
    double msPerTick = 0.0;
    std::vector<FrameSlot> slots;
    uint32_t current = kUntimed;
    std::vector<uint32_t> open;  // scope indices of the current frame, innermost last
    uint64_t framesBegun = 0;
    std::vector<TimedFrame> finished;

    uint32_t Base(uint32_t slot) const { return slot * queriesPerSlot; }
    uint32_t UsedQueries(const FrameSlot& s) const { return 2 + 2 * static_cast<uint32_t>(s.scopes.size()); }

    void Write(CommandList& list, uint32_t query) {
        CommandListImpl& c = list.Impl();
        vkCmdWriteTimestamp2(c.cmd, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, pool, query);
    }

    // Reads the slot's times if the GPU has written all of them; the range is then reset for
    // its next frame. False (nothing changes) while any is missing.
    bool TryRead(uint32_t slot) {
        FrameSlot& s = slots[slot];
        const uint32_t count = UsedQueries(s);
        std::vector<uint64_t> values(size_t(count) * 2);
        const VkResult result =
            vkGetQueryPoolResults(device->device, pool, Base(slot), count, values.size() * sizeof(uint64_t), values.data(),
                                  2 * sizeof(uint64_t), VK_QUERY_RESULT_64_BIT | VK_QUERY_RESULT_WITH_AVAILABILITY_BIT);
        if (result != VK_SUCCESS) return false;
        for (uint32_t q = 0; q < count; ++q)
            if (values[q * 2 + 1] == 0) return false;
        auto span = [&](uint32_t begin) {
            const uint64_t ticks = (values[(begin + 1) * 2] - values[begin * 2]) & tickMask;
            return double(ticks) * msPerTick;
        };
        TimedFrame frame;
        frame.frameNumber = s.frameNumber;
        frame.milliseconds = span(0);
        frame.scopes = std::move(s.scopes);
        for (size_t i = 0; i < frame.scopes.size(); ++i) frame.scopes[i].milliseconds = span(2 + 2 * static_cast<uint32_t>(i));
        finished.push_back(std::move(frame));
        s.scopes.clear();
        s.pending = false;
        vkResetQueryPool(device->device, pool, Base(slot), queriesPerSlot);
        s.clean = true;
        return true;
    }
};

GpuTimestamps::GpuTimestamps(std::shared_ptr<Device> device, uint32_t frameSlots, uint32_t maxScopes)
    : m_device(std::move(device)), m_impl(std::make_unique<GpuTimestampsImpl>()) {
    GpuTimestampsImpl& t = *m_impl;
    t.device = &m_device->Impl();
    const DeviceLimits& limits = m_device->Limits();
    if (limits.timestampValidBits == 0 || limits.timestampPeriodNs <= 0.0f || !t.device->hostQueryReset) return;
    t.maxScopes = std::max(1u, maxScopes);
    t.queriesPerSlot = 2 + 2 * t.maxScopes;
    t.tickMask = limits.timestampValidBits >= 64 ? ~uint64_t(0) : (uint64_t(1) << limits.timestampValidBits) - 1;
    t.msPerTick = double(limits.timestampPeriodNs) / 1.0e6;
    t.slots.resize(std::max(1u, frameSlots));
    VkQueryPoolCreateInfo info{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
    info.queryType = VK_QUERY_TYPE_TIMESTAMP;
    info.queryCount = t.queriesPerSlot * static_cast<uint32_t>(t.slots.size());
    VkCheck(vkCreateQueryPool(t.device->device, &info, nullptr, &t.pool), "vkCreateQueryPool");
    // Queries must be reset once before their first use.
    vkResetQueryPool(t.device->device, t.pool, 0, info.queryCount);
}

GpuTimestamps::~GpuTimestamps() {
    GpuTimestampsImpl* t = m_impl.release();
    if (t->pool) {
        DeviceImpl* d = t->device;
        VkQueryPool pool = t->pool;
        d->Retire([d, pool] { vkDestroyQueryPool(d->device, pool, nullptr); });
    }
    delete t;
}

bool GpuTimestamps::Available() const { return m_impl->pool != VK_NULL_HANDLE; }

void GpuTimestamps::BeginFrame(CommandList& list, uint32_t slot) {
    GpuTimestampsImpl& t = *m_impl;
    if (!t.pool) return;
    if (t.current != kUntimed) t.slots[t.current].recording = false;  // never ended: dropped
    t.current = slot % static_cast<uint32_t>(t.slots.size());
    t.open.clear();
    FrameSlot& s = t.slots[t.current];
    if (s.pending) t.TryRead(t.current);
    s.pending = false;
    s.scopes.clear();
    list.Impl().EndRendering();
    if (!s.clean) vkCmdResetQueryPool(list.Impl().cmd, t.pool, t.Base(t.current), t.queriesPerSlot);
    s.clean = false;
    s.recording = true;
    s.frameNumber = t.framesBegun++;
    t.Write(list, t.Base(t.current));
}

void GpuTimestamps::BeginScope(CommandList& list, std::string_view name) {
    GpuTimestampsImpl& t = *m_impl;
    if (t.current == kUntimed || !t.slots[t.current].recording) return;
    FrameSlot& s = t.slots[t.current];
    if (s.scopes.size() >= t.maxScopes) {
        t.open.push_back(kUntimed);
        return;
    }
    TimedScope scope;
    scope.name = std::string(name);
    scope.depth = static_cast<uint32_t>(t.open.size());
    // The innermost timed scope that is open holds this one.
    for (auto it = t.open.rbegin(); it != t.open.rend(); ++it)
        if (*it != kUntimed) {
            scope.parent = static_cast<int32_t>(*it);
            break;
        }
    const uint32_t index = static_cast<uint32_t>(s.scopes.size());
    s.scopes.push_back(std::move(scope));
    t.open.push_back(index);
    t.Write(list, t.Base(t.current) + 2 + 2 * index);
}

void GpuTimestamps::EndScope(CommandList& list) {
    GpuTimestampsImpl& t = *m_impl;
    if (t.current == kUntimed || !t.slots[t.current].recording || t.open.empty()) return;
    const uint32_t index = t.open.back();
    t.open.pop_back();
    if (index != kUntimed) t.Write(list, t.Base(t.current) + 3 + 2 * index);
}

void GpuTimestamps::EndFrame(CommandList& list) {
    GpuTimestampsImpl& t = *m_impl;
    if (t.current == kUntimed || !t.slots[t.current].recording) return;
    while (!t.open.empty()) EndScope(list);
    t.Write(list, t.Base(t.current) + 1);
    FrameSlot& s = t.slots[t.current];
    s.recording = false;
    s.pending = true;
    t.current = kUntimed;
}

std::vector<TimedFrame> GpuTimestamps::Collect(bool waitForGpu) {
    GpuTimestampsImpl& t = *m_impl;
    if (!t.pool) return {};
    if (waitForGpu) m_device->WaitIdle();
    // Oldest frame first, whichever slots they sit in.
    std::vector<uint32_t> order;
    for (uint32_t i = 0; i < t.slots.size(); ++i)
        if (t.slots[i].pending) order.push_back(i);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return t.slots[a].frameNumber < t.slots[b].frameNumber; });
    for (uint32_t slot : order) t.TryRead(slot);
    std::vector<TimedFrame> result;
    result.swap(t.finished);
    std::stable_sort(result.begin(), result.end(),
                     [](const TimedFrame& a, const TimedFrame& b) { return a.frameNumber < b.frameNumber; });
    return result;
}

}  // namespace Engine::Platform
