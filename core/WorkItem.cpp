#include "core/WorkItem.h"

namespace WorkItemDetail {
struct State {
    mutable std::mutex lock;
    std::condition_variable finishedChanged;
    WorkStatus status = WorkStatus::Started;
    bool finished = false;
    std::exception_ptr error;
    std::string errorMessage;

    void Cancel() {
        std::lock_guard<std::mutex> guard(lock);
        if (status == WorkStatus::Started) status = WorkStatus::Canceled;
    }
    WorkStatus Status() const {
        std::lock_guard<std::mutex> guard(lock);
        return status;
    }
};
}  // namespace WorkItemDetail

namespace {
std::string DescribeException(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown exception";
    }
}
}  // namespace

WorkStatus WorkToken::Status() const { return m_state->Status(); }

void WorkToken::Cancel() const { m_state->Cancel(); }

std::unique_ptr<WorkItem> WorkItem::Run(Task task) {
    std::unique_ptr<WorkItem> item(new WorkItem());
    item->m_state = std::make_shared<WorkItemDetail::State>();
    // The thread holds its own reference to the state, never to the handle.
    item->m_thread = std::thread([state = item->m_state, task = std::move(task)]() {
        std::exception_ptr error;
        try {
            if (task) task(WorkToken(state));
        } catch (...) {
            error = std::current_exception();
        }
        std::string message = error ? DescribeException(error) : std::string();
        {
            std::lock_guard<std::mutex> guard(state->lock);
            if (state->status == WorkStatus::Started) {
                state->status = error ? WorkStatus::Error : WorkStatus::Completed;
            }
            state->error = error;
            state->errorMessage = std::move(message);
            state->finished = true;
        }
        state->finishedChanged.notify_all();
    });
    return item;
}

WorkItem::~WorkItem() {
    if (!m_thread.joinable()) return;
    Cancel();
    if (m_thread.get_id() == std::this_thread::get_id()) {
        // The task dropped its own handle: it can't wait for itself; the state outlives us.
        m_thread.detach();
    } else {
        m_thread.join();
    }
}

WorkStatus WorkItem::Status() const { return m_state->Status(); }

void WorkItem::Cancel() { m_state->Cancel(); }

void WorkItem::Wait() {
    std::unique_lock<std::mutex> guard(m_state->lock);
    m_state->finishedChanged.wait(guard, [&] { return m_state->finished; });
}

bool WorkItem::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(m_state->lock);
    return m_state->finishedChanged.wait_for(guard, timeout, [&] { return m_state->finished; });
}

bool WorkItem::IsFinished() const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->finished;
}

std::string WorkItem::ErrorMessage() const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->errorMessage;
}

std::exception_ptr WorkItem::Error() const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->error;
}
