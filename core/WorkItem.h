#pragma once
// A background task on a thread of its own, with the status of an asynchronous action:
// Started while it runs, then Completed, Canceled or Error. Cancellation is cooperative: the task
// receives a WorkToken and checks it between steps of its work; Cancel only flags it.
//
// Used by the scene loader, the render loop and the video export.
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

enum class WorkStatus { Started, Completed, Canceled, Error };

namespace WorkItemDetail {
struct State;
}

/// The task's view of its own work item: it can test for cancellation and cancel itself.
/// Copies share the same item; a token stays valid after the WorkItem handle is gone.
class WorkToken {
public:
    /// Started until the item is canceled (then Canceled). Seen from inside the task, it never
    /// reads Completed or Error.
    WorkStatus Status() const;
    bool IsCanceled() const { return Status() != WorkStatus::Started; }
    /// Marks the item canceled, as WorkItem::Cancel does.
    void Cancel() const;

private:
    friend class WorkItem;
    explicit WorkToken(std::shared_ptr<WorkItemDetail::State> state) : m_state(std::move(state)) {}
    std::shared_ptr<WorkItemDetail::State> m_state;
};

/// One running task. Not copyable or movable: hold it through a pointer (Run gives a unique_ptr).
/// Destroying the handle cancels the task and waits for its thread.
class WorkItem {
public:
    using Task = std::function<void(const WorkToken&)>;

    /// Starts `task` on a new thread; the returned item's status is Started.
    static std::unique_ptr<WorkItem> Run(Task task);

    ~WorkItem();
    WorkItem(const WorkItem&) = delete;
    WorkItem& operator=(const WorkItem&) = delete;

    /// Started while the task runs and has not been canceled; Canceled as soon as Cancel is
    /// called on a started item (the task may still be running: see IsFinished); otherwise
    /// Completed when the task returned, Error when it threw.
    WorkStatus Status() const;
    /// Requests cancellation. Has no effect once the item is no longer Started.
    void Cancel();
    /// Blocks until the task has returned or thrown (whatever the status says).
    void Wait();
    /// Waits at most `timeout`; returns whether the task has finished.
    bool WaitFor(std::chrono::milliseconds timeout);
    /// Whether the task body has returned or thrown.
    bool IsFinished() const;
    /// The message of the exception that ended the task (what() of a std::exception, a fixed text
    /// otherwise); empty when it did not throw. Kept even if the item was canceled first.
    std::string ErrorMessage() const;
    /// The exception that ended the task, or null.
    std::exception_ptr Error() const;

private:
    WorkItem() = default;
    std::shared_ptr<WorkItemDetail::State> m_state;
    std::thread m_thread;
};
