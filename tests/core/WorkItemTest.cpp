#include "core/WorkItem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;

TEST(WorkItem, CompletesAndRunsOnAnotherThread) {
    std::thread::id taskThread;
    auto item = WorkItem::Run([&](const WorkToken&) { taskThread = std::this_thread::get_id(); });
    item->Wait();
    EXPECT_TRUE(item->IsFinished());
    EXPECT_EQ(item->Status(), WorkStatus::Completed);
    EXPECT_NE(taskThread, std::this_thread::get_id());
    EXPECT_EQ(item->ErrorMessage(), "");
    EXPECT_EQ(item->Error(), nullptr);
}

TEST(WorkItem, StaysStartedWhileTheTaskRuns) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto item = WorkItem::Run([released](const WorkToken&) { released.wait(); });
    EXPECT_EQ(item->Status(), WorkStatus::Started);
    EXPECT_FALSE(item->WaitFor(20ms));
    EXPECT_FALSE(item->IsFinished());
    release.set_value();
    EXPECT_TRUE(item->WaitFor(10s));
    EXPECT_EQ(item->Status(), WorkStatus::Completed);
}

TEST(WorkItem, CancelIsSeenByTheTaskAndTheStatusChangesAtOnce) {
    std::promise<void> started;
    std::atomic<int> iterations{0};
    auto item = WorkItem::Run([&](const WorkToken& token) {
        started.set_value();
        // A render-loop style task: repeats while its own status is Started.
        do {
            ++iterations;
            std::this_thread::sleep_for(1ms);
        } while (token.Status() == WorkStatus::Started);
    });
    started.get_future().wait();
    item->Cancel();
    // Canceled right away, even before the loop has noticed.
    EXPECT_EQ(item->Status(), WorkStatus::Canceled);
    item->Wait();
    EXPECT_EQ(item->Status(), WorkStatus::Canceled);
    EXPECT_GE(iterations.load(), 1);
}

TEST(WorkItem, TaskCanCancelItsOwnItem) {
    // The export ends by cancelling its own handle, so the page no longer sees it as running.
    auto item = WorkItem::Run([](const WorkToken& token) {
        token.Cancel();
        EXPECT_TRUE(token.IsCanceled());
    });
    item->Wait();
    EXPECT_EQ(item->Status(), WorkStatus::Canceled);
}

TEST(WorkItem, CancelAfterTheEndChangesNothing) {
    auto done = WorkItem::Run([](const WorkToken&) {});
    done->Wait();
    done->Cancel();
    EXPECT_EQ(done->Status(), WorkStatus::Completed);

    auto failed = WorkItem::Run([](const WorkToken&) { throw std::runtime_error("broken"); });
    failed->Wait();
    failed->Cancel();
    EXPECT_EQ(failed->Status(), WorkStatus::Error);
}

TEST(WorkItem, ExceptionsEndTheTaskWithError) {
    struct Case {
        const char* what;
        WorkItem::Task task;
        std::string message;
    };
    const Case cases[] = {
        {"std::exception", [](const WorkToken&) { throw std::runtime_error("HRESULT of 0x80004005"); },
         "HRESULT of 0x80004005"},
        {"logic error", [](const WorkToken&) { throw std::out_of_range("index"); }, "index"},
        {"non-standard exception", [](const WorkToken&) { throw 42; }, "Unknown exception"},
    };
    for (const Case& c : cases) {
        auto item = WorkItem::Run(c.task);
        item->Wait();
        EXPECT_EQ(item->Status(), WorkStatus::Error) << c.what;
        EXPECT_EQ(item->ErrorMessage(), c.message) << c.what;
        EXPECT_NE(item->Error(), nullptr) << c.what;
    }
}

TEST(WorkItem, ExceptionAfterCancelKeepsCanceledButRecordsTheError) {
    auto item = WorkItem::Run([](const WorkToken& token) {
        token.Cancel();
        throw std::runtime_error("late failure");
    });
    item->Wait();
    EXPECT_EQ(item->Status(), WorkStatus::Canceled);
    EXPECT_EQ(item->ErrorMessage(), "late failure");
}

TEST(WorkItem, DestroyingTheHandleCancelsAndJoins) {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        auto item = WorkItem::Run([finished](const WorkToken& token) {
            while (!token.IsCanceled()) std::this_thread::sleep_for(1ms);
            finished->store(true);
        });
    }
    EXPECT_TRUE(finished->load());
}

TEST(WorkItem, SeveralThreadsMayWaitAtOnce) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto item = WorkItem::Run([released](const WorkToken&) { released.wait(); });
    std::vector<std::thread> waiters;
    std::atomic<int> woken{0};
    for (int i = 0; i < 4; ++i) waiters.emplace_back([&] { item->Wait(); ++woken; });
    release.set_value();
    for (std::thread& t : waiters) t.join();
    EXPECT_EQ(woken.load(), 4);
    EXPECT_EQ(item->Status(), WorkStatus::Completed);
}

}  // namespace
