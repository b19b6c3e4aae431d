#include "Engine/TextureLoader/TextureDecodeQueue.h"

#include <algorithm>
#include <chrono>

namespace Engine {

TextureDecodeQueue::TextureDecodeQueue(uint32_t maxImageSide, unsigned workers) : m_maxImageSide(maxImageSide) {
    for (unsigned i = 0; i < std::max(1u, workers); ++i) m_workers.emplace_back([this] { Work(); });
}

TextureDecodeQueue::~TextureDecodeQueue() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_queued.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

unsigned TextureDecodeQueue::DefaultWorkers() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

std::string TextureDecodeQueue::KeyOf(const std::filesystem::path& path) { return path.lexically_normal().generic_string(); }

std::shared_ptr<TextureDecodeQueue::Entry> TextureDecodeQueue::EntryFor(const std::filesystem::path& path) {
    std::shared_ptr<Entry>& entry = m_entries[KeyOf(path)];
    if (!entry) {
        entry = std::make_shared<Entry>();
        entry->path = path;
    }
    return entry;
}

void TextureDecodeQueue::Request(const std::filesystem::path& path) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const bool known = m_entries.count(KeyOf(path)) != 0;
        std::shared_ptr<Entry> entry = EntryFor(path);
        if (known) return;
        m_pending.push_back(std::move(entry));
    }
    m_queued.notify_one();
}

void TextureDecodeQueue::Decode(Entry& entry) {
    const auto start = std::chrono::steady_clock::now();
    std::shared_ptr<const DecodedTextureFile> file = DecodeTextureFile(entry.path, m_maxImageSide);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        entry.file = std::move(file);
        ++m_decoded;
        m_decodeMs += ms;
    }
    m_done.notify_all();
}

void TextureDecodeQueue::Work() {
    while (true) {
        std::shared_ptr<Entry> entry;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_queued.wait(lock, [&] { return m_stopping || !m_pending.empty(); });
            if (m_stopping) return;
            entry = std::move(m_pending.front());
            m_pending.pop_front();
            if (entry->started) continue;  // the loading thread took it first
            entry->started = true;
        }
        Decode(*entry);
    }
}

std::shared_ptr<const DecodedTextureFile> TextureDecodeQueue::Take(const std::filesystem::path& path) {
    std::shared_ptr<Entry> entry;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        entry = EntryFor(path);
        if (entry->started && !entry->taken) {
            m_done.wait(lock, [&] { return entry->file != nullptr; });
            entry->taken = true;
            return std::move(entry->file);
        }
        // Not started yet, or handed over before (the queue keeps no copy): decode it here.
        entry->started = true;
        entry->taken = false;
        entry->file.reset();
    }
    Decode(*entry);
    std::lock_guard<std::mutex> guard(m_lock);
    entry->taken = true;
    return std::move(entry->file);
}

bool TextureDecodeQueue::IsReady(const std::filesystem::path& path) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const auto found = m_entries.find(KeyOf(path));
    return found != m_entries.end() && found->second->file != nullptr && !found->second->taken;
}

uint32_t TextureDecodeQueue::FilesDecoded() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_decoded;
}

double TextureDecodeQueue::DecodeMilliseconds() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_decodeMs;
}

}  // namespace Engine
