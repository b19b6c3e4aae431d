#include "export/EncodePipeline.h"

#include <cstring>

namespace ProjectTavrin {

EncodePipeline::EncodePipeline(VideoEncoder& encoder, bool overlap, size_t queueDepth)
    : m_encoder(encoder), m_overlap(overlap), m_queue(queueDepth) {
    if (m_overlap) m_thread = std::thread([this] { EncodeLoop(); });
}

EncodePipeline::~EncodePipeline() { Finish(); }

void EncodePipeline::Submit(const OfflineFrame& frame) {
    const PixelOrder order = frame.bgra ? PixelOrder::Bgra : PixelOrder::Rgba;
    if (!m_overlap) {
        m_encoder.WriteFrame(frame.pixels, frame.width, frame.height, frame.rowPitch, order);
        return;
    }
    std::unique_ptr<QueuedFrame> copy = m_queue.Acquire();
    copy->width = frame.width;
    copy->height = frame.height;
    copy->rowPitch = frame.rowPitch;
    copy->bgra = frame.bgra;
    copy->pixels.clear();
    if (frame.pixels && frame.width && frame.height && frame.rowPitch >= frame.width * 4) {
        // The last row needs only its pixels, not the padding after them.
        const size_t bytes = static_cast<size_t>(frame.height - 1) * frame.rowPitch + frame.width * 4;
        copy->pixels.resize(bytes);
        std::memcpy(copy->pixels.data(), frame.pixels, bytes);
    }
    m_queue.Push(std::move(copy));
}

void EncodePipeline::Finish() {
    if (m_finished) return;
    m_finished = true;
    if (!m_overlap) return;
    m_queue.Close();
    m_thread.join();
}

void EncodePipeline::EncodeLoop() {
    while (std::unique_ptr<QueuedFrame> frame = m_queue.Pop()) {
        const uint8_t* pixels = frame->pixels.empty() ? nullptr : frame->pixels.data();
        m_encoder.WriteFrame(pixels, frame->width, frame->height, frame->rowPitch,
                             frame->bgra ? PixelOrder::Bgra : PixelOrder::Rgba);
        m_queue.Recycle(std::move(frame));
    }
}

}  // namespace ProjectTavrin
