#pragma once
// A small set of persistent worker threads for the per-frame skinning: Run hands task i to worker
// i (task 0 runs on the calling thread) and returns once every task has finished. The threads wait
// on a condition variable between frames, so no thread is created per frame; the caller spins a
// little before it sleeps on the join, since the tasks of one frame end close together.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Vesma {

class SkinningPool {
public:
    /// A pool that runs up to `taskCount` tasks at once: taskCount - 1 threads besides the caller.
    explicit SkinningPool(std::size_t taskCount);
    ~SkinningPool();
    SkinningPool(const SkinningPool&) = delete;
    SkinningPool& operator=(const SkinningPool&) = delete;

    std::size_t GetTaskCount() const { return m_threads.size() + 1; }

    /// Runs task(0) ... task(count - 1), task 0 on this thread, and waits for all of them. `count`
    /// is capped at GetTaskCount(). One Run at a time.
    void Run(std::size_t count, const std::function<void(std::size_t)>& task);

private:
    void WorkerLoop(std::size_t index);

    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_start;
    std::condition_variable m_done;
    const std::function<void(std::size_t)>* m_task = nullptr;
    std::size_t m_count = 0;
    std::atomic<std::size_t> m_pending{0};
    uint64_t m_generation = 0;
    bool m_stop = false;
};

}  // namespace Vesma
