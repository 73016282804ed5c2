// The one worker every slow job runs on: the newest job wins, a stopped job delivers nothing,
// and a job that fails is a fault reported on the window thread.
#include <functional>
#include <semaphore>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThreadPool>

#include "runtime/services.h"
#include "ui/worker.h"

namespace {

// Jobs that note their start, wait for a release, and note the services they see and whether they were told to stop.
struct Jobs {
    Worker::Job job(int id)
    {
        return [this, id](std::stop_token stop) -> Worker::Delivery {
            begun.release();
            released.acquire();
            folders << services().programFolder;
            if (stop.stop_requested())
                stopped.push_back(id);
            return [this, id] { delivered.push_back(worker.busy() ? -id : id); };
        };
    }
    std::counting_semaphore<> begun{0}, released{0};
    std::vector<int> stopped, delivered; // read once every job ended
    QStringList folders;
    Worker worker;
};

// Each with job 1 begun, then released with the deliveries handed to the window thread; a delivery
// while a later job is still to deliver finds the worker busy (negative), the last one idle.
TEST(WorkerTest, OnlyTheNewestJobDeliversAndAStoppedOneNothing)
{
    const struct { const char* then; std::function<void(Jobs&)> act; std::vector<int> stopped, delivered; } cases[] = {
        {"two runs", [](Jobs& j) { j.worker.run(j.job(2)); j.worker.run(j.job(3)); EXPECT_TRUE(j.worker.busy()); }, {1}, {3}},
        {"run next", [](Jobs& j) { j.worker.runNext(j.job(2)); }, {}, {-1, 2}},
        {"cancel", [](Jobs& j) { j.worker.runNext(j.job(2)); j.worker.cancel(); EXPECT_FALSE(j.worker.busy()); }, {1}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.then);
        Jobs jobs;
        jobs.worker.run(jobs.job(1));
        jobs.begun.acquire();
        c.act(jobs);
        jobs.released.release(8);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(jobs.stopped, c.stopped);
        EXPECT_EQ(jobs.delivered, c.delivered);
        EXPECT_FALSE(jobs.worker.busy());
    }
}

TEST(WorkerDeathTest, FailingJobIsLoggedAndEndsAsAHandlerFault)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Worker worker;
            worker.run([](std::stop_token) -> Worker::Delivery { throw std::logic_error("a fault in a job"); });
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::sendPostedEvents();
        },
        "a background job failed: a fault in a job(.|\n)*unexpected exception in a handler: a fault in a job");
}

// A job runs with the services of the moment it was queued, whatever replaces them before it reads them.
TEST(WorkerServices, AJobReadsTheServicesItWasQueuedWith)
{
    const auto folder = [](const char* name) { Services named; named.programFolder = name; return named; };
    ScopedServices queuedWith(folder("queued"));
    Jobs jobs;
    jobs.worker.run(jobs.job(1));
    jobs.begun.acquire();
    {
        ScopedServices replaced(folder("replaced"));
        jobs.released.release();
        QThreadPool::globalInstance()->waitForDone();
    }
    EXPECT_EQ(jobs.folders, QStringList{"queued"});
}

} // namespace
