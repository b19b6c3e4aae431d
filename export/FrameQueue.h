#pragma once
// The bounded hand-over between the export's render thread and its encoder thread: read-back
// frames wait here in order, at most `capacity` at a time, so rendering runs ahead of encoding
// by a few frames and no further. Buffers go back to a free list after encoding, so a long
// export allocates only capacity + 2 frames.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace ProjectTavrin {

struct QueuedFrame {
    std::vector<uint8_t> pixels;  ///< empty: the frame has no image (it is counted as failed)
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowPitch = 0;
    bool bgra = false;
};

class FrameQueue {
public:
    /// `capacity` is at least 1.
    explicit FrameQueue(size_t capacity);

    /// A frame buffer to fill: one the encoder handed back, else a new one.
    std::unique_ptr<QueuedFrame> Acquire();
    /// Queues `frame`, waiting while `capacity` frames wait. False (the frame is dropped) once
    /// the queue is closed.
    bool Push(std::unique_ptr<QueuedFrame> frame);
    /// The oldest waiting frame; waits for one. Null once the queue is closed and empty.
    std::unique_ptr<QueuedFrame> Pop();
    /// Gives an encoded frame's buffer back for reuse.
    void Recycle(std::unique_ptr<QueuedFrame> frame);
    /// No more frames: Pop hands out what still waits, then null; Push fails.
    void Close();

    size_t Capacity() const { return m_capacity; }
    /// The most frames that ever waited at once.
    size_t HighWater() const;

private:
    const size_t m_capacity;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<QueuedFrame>> m_waiting;
    std::vector<std::unique_ptr<QueuedFrame>> m_free;
    size_t m_highWater = 0;
    bool m_closed = false;
};

}  // namespace ProjectTavrin
