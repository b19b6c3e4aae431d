#pragma once
// Feeds rendered frames to the VideoEncoder, either at once on the caller's thread (serial) or
// through a FrameQueue to a thread of its own (overlapped), so that frame i is encoded while
// frame i + 1 renders. Either way the encoder sees the same frames in the same order, so the
// file is the same.
#include <cstddef>
#include <cstdint>
#include <thread>

#include "export/FrameQueue.h"
#include "export/VideoEncoder.h"
#include "scene/OfflineFrame.h"

namespace ProjectTavrin {

class EncodePipeline {
public:
    static constexpr size_t kDefaultQueueDepth = 3;

    /// `encoder` must be open and outlive the pipeline.
    EncodePipeline(VideoEncoder& encoder, bool overlap, size_t queueDepth = kDefaultQueueDepth);
    /// Finishes (waits for the queued frames).
    ~EncodePipeline();
    EncodePipeline(const EncodePipeline&) = delete;
    EncodePipeline& operator=(const EncodePipeline&) = delete;

    /// Hands one frame over: encoded now, or copied and queued (waiting while the queue is full).
    /// The frame's pixels may be reused as soon as this returns.
    void Submit(const OfflineFrame& frame);
    /// Waits until every submitted frame has been given to the encoder.
    void Finish();

    bool IsOverlapped() const { return m_overlap; }
    /// The most frames that waited for the encoder at once (0 when serial).
    size_t QueueHighWater() const { return m_queue.HighWater(); }

private:
    void EncodeLoop();

    VideoEncoder& m_encoder;
    const bool m_overlap;
    FrameQueue m_queue;
    std::thread m_thread;
    bool m_finished = false;
};

}  // namespace ProjectTavrin
