#include "scene/ModelUpdateRunner.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>

#include "model/skin/SkinningPool.h"

namespace ProjectTavrin {

ModelUpdateRunner::ModelUpdateRunner(std::size_t maxTasks)
    : m_maxTasks(maxTasks), m_parallel(std::thread::hardware_concurrency() >= 8) {
    if (m_maxTasks == 0) m_maxTasks = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
}

ModelUpdateRunner::~ModelUpdateRunner() = default;

void ModelUpdateRunner::Run(std::size_t count, const std::function<void(std::size_t)>& job) {
    const std::size_t tasks = std::min(count, m_maxTasks);
    if (!m_parallel || tasks < 2) {
        for (std::size_t i = 0; i < count; ++i) job(i);
        return;
    }
    if (!m_pool) m_pool = std::make_unique<Vesma::SkinningPool>(m_maxTasks);

    std::mutex errorLock;
    std::exception_ptr error;
    m_pool->Run(tasks, [&](std::size_t task) {
        for (std::size_t i = task; i < count; i += tasks) {
            try {
                job(i);
            } catch (...) {
                std::lock_guard<std::mutex> guard(errorLock);
                if (!error) error = std::current_exception();
            }
        }
    });
    if (error) std::rethrow_exception(error);
}

}  // namespace ProjectTavrin
