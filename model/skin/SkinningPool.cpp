#include "model/skin/SkinningPool.h"

#include <algorithm>
#include <chrono>

namespace Vesma {
namespace {

// How long the caller polls for the other tasks before it sleeps on the join.
constexpr std::chrono::microseconds kJoinSpin{30};

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

}  // namespace

SkinningPool::SkinningPool(std::size_t taskCount) {
    const std::size_t threads = taskCount > 1 ? taskCount - 1 : 0;
    m_threads.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) {
        m_threads.emplace_back([this, i] { WorkerLoop(i + 1); });
    }
}

SkinningPool::~SkinningPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_start.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

void SkinningPool::Run(std::size_t count, const std::function<void(std::size_t)>& task) {
    count = std::min(count, GetTaskCount());
    if (count == 0) return;
    if (count > 1) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_task = &task;
            m_count = count;
            m_pending.store(count - 1, std::memory_order_relaxed);
            ++m_generation;
        }
        m_start.notify_all();
    }
    task(0);
    if (count > 1) {
        const auto deadline = std::chrono::steady_clock::now() + kJoinSpin;
        while (m_pending.load(std::memory_order_acquire) != 0 && std::chrono::steady_clock::now() < deadline) {
            for (int i = 0; i < 16; ++i) CpuRelax();
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return m_pending.load(std::memory_order_acquire) == 0; });
        m_task = nullptr;
    }
}

void SkinningPool::WorkerLoop(std::size_t index) {
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(std::size_t)>* task = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_start.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop) return;
            seen = m_generation;
            if (index >= m_count) continue;
            task = m_task;
        }
        (*task)(index);
        // The last task to finish wakes the caller; taking the lock orders the wake after the
        // caller's check of m_pending.
        if (m_pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done.notify_one();
        }
    }
}

}  // namespace Vesma
