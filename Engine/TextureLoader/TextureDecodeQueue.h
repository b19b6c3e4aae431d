#pragma once
// Texture files read and decoded on worker threads, each path once however often it is asked
// for. A scene load asks for a model's textures as soon as the model file is parsed, builds the
// model and its physics meanwhile, and takes the decoded files when it makes the GPU textures.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Engine/TextureLoader/TextureLoader.h"

namespace Engine {

class TextureDecodeQueue {
public:
    /// `maxImageSide`: images larger than this are scaled down (DeviceMaxImageSide()).
    explicit TextureDecodeQueue(uint32_t maxImageSide, unsigned workers = DefaultWorkers());
    /// Stops the workers after the files they are decoding; files not started are dropped.
    ~TextureDecodeQueue();
    TextureDecodeQueue(const TextureDecodeQueue&) = delete;
    TextureDecodeQueue& operator=(const TextureDecodeQueue&) = delete;

    /// Queues `path` for decoding unless it was asked for before.
    void Request(const std::filesystem::path& path);
    /// The decoded file for `path`: waits for a worker that has started it, or decodes it on the
    /// calling thread when none has (a path never requested included). The file is handed over:
    /// the queue keeps no copy, and taking the same path again decodes it again.
    std::shared_ptr<const DecodedTextureFile> Take(const std::filesystem::path& path);

    /// True when `path` is decoded and waiting to be taken (Take will not wait).
    bool IsReady(const std::filesystem::path& path) const;

    /// Files read and decoded so far.
    uint32_t FilesDecoded() const;
    /// Milliseconds spent decoding, summed over every thread that decoded.
    double DecodeMilliseconds() const;
    /// One worker per processor thread, at least one, at most four.
    static unsigned DefaultWorkers();

private:
    struct Entry {
        std::filesystem::path path;
        bool started = false;
        bool taken = false;
        std::shared_ptr<const DecodedTextureFile> file;
    };

    static std::string KeyOf(const std::filesystem::path& path);
    std::shared_ptr<Entry> EntryFor(const std::filesystem::path& path);  // under m_lock
    void Decode(Entry& entry);                                          // without m_lock
    void Work();

    const uint32_t m_maxImageSide;
    mutable std::mutex m_lock;
    std::condition_variable m_queued;
    std::condition_variable m_done;
    std::unordered_map<std::string, std::shared_ptr<Entry>> m_entries;
    std::deque<std::shared_ptr<Entry>> m_pending;
    uint32_t m_decoded = 0;
    double m_decodeMs = 0.0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

}  // namespace Engine
