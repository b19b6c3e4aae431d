#pragma once
// GPU time of labelled scopes of a frame, from timestamp queries: one query pool with a range per
// frame in flight. A frame writes a timestamp where it begins and ends and at both ends of every
// scope (scopes nest); its times are read once the GPU has written them, never by stalling the
// frame being recorded. Devices whose queue writes no timestamps record nothing and say so.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Engine::Platform {

class CommandList;
class Device;
struct GpuTimestampsImpl;

/// One scope of a timed frame: its label, how deep it sits (0 at the top), the index of the scope
/// it sits in (-1 at the top) and its GPU time.
struct TimedScope {
    std::string name;
    uint32_t depth = 0;
    int32_t parent = -1;
    double milliseconds = 0.0;
};

/// The GPU times of one recorded frame, scopes in the order they opened.
struct TimedFrame {
    uint64_t frameNumber = 0;  ///< counts the frames BeginFrame opened, from 0
    double milliseconds = 0.0;
    std::vector<TimedScope> scopes;
};

class GpuTimestamps {
public:
    /// Room for `frameSlots` frames in flight of up to `maxScopes` scopes each; scopes beyond that
    /// are left untimed.
    GpuTimestamps(std::shared_ptr<Device> device, uint32_t frameSlots, uint32_t maxScopes = 64);
    ~GpuTimestamps();
    GpuTimestamps(const GpuTimestamps&) = delete;
    GpuTimestamps& operator=(const GpuTimestamps&) = delete;

    /// False when the device's queue writes no timestamps (or its queries cannot be reset from
    /// the host); every other call then does nothing.
    bool Available() const;

    /// Opens a frame in slot `slot` (taken modulo the slots) on the open `list`. A frame still
    /// waiting in that slot is read if the GPU has finished it, else dropped.
    void BeginFrame(CommandList& list, uint32_t slot);
    void BeginScope(CommandList& list, std::string_view name);
    void EndScope(CommandList& list);
    /// Closes the scopes left open and the frame; its times can be read once it has run.
    void EndFrame(CommandList& list);

    /// Frames finished on the GPU since the last call, oldest first. Never blocks unless
    /// `waitForGpu`, which first waits for everything submitted so far; frames recorded but not
    /// submitted stay for a later call.
    std::vector<TimedFrame> Collect(bool waitForGpu = false);

private:
    std::shared_ptr<Device> m_device;
    std::unique_ptr<GpuTimestampsImpl> m_impl;
};

}  // namespace Engine::Platform
