#include "export/FrameQueue.h"

#include <algorithm>
#include <stdexcept>

namespace ProjectTavrin {

FrameQueue::FrameQueue(size_t capacity) : m_capacity(capacity) {
    if (capacity == 0) throw std::invalid_argument("a frame queue holds at least one frame");
}

std::unique_ptr<QueuedFrame> FrameQueue::Acquire() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_free.empty()) return std::make_unique<QueuedFrame>();
    std::unique_ptr<QueuedFrame> frame = std::move(m_free.back());
    m_free.pop_back();
    return frame;
}

bool FrameQueue::Push(std::unique_ptr<QueuedFrame> frame) {
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_closed || m_waiting.size() < m_capacity; });
    if (m_closed) return false;
    m_waiting.push_back(std::move(frame));
    m_highWater = std::max(m_highWater, m_waiting.size());
    m_changed.notify_all();
    return true;
}

std::unique_ptr<QueuedFrame> FrameQueue::Pop() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_closed || !m_waiting.empty(); });
    if (m_waiting.empty()) return nullptr;
    std::unique_ptr<QueuedFrame> frame = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_changed.notify_all();
    return frame;
}

void FrameQueue::Recycle(std::unique_ptr<QueuedFrame> frame) {
    if (!frame) return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_free.push_back(std::move(frame));
}

void FrameQueue::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_closed = true;
    m_changed.notify_all();
}

size_t FrameQueue::HighWater() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_highWater;
}

}  // namespace ProjectTavrin
