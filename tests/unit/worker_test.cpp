// The one worker every slow job runs on: the newest job wins, a stopped job delivers nothing,
// and a job that fails is a fault reported on the window thread.
#include <semaphore>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThreadPool>

#include "runtime/services.h"
#include "ui/worker.h"

namespace {

// A worker whose first job has begun. Its jobs note their start, wait for a release,
// and note whether they were told to stop.
struct WorkerTest : ::testing::Test {
    WorkerTest()
    {
        worker.run(job(1));
        begun.acquire();
    }
    Worker::Job job(int id)
    {
        return [this, id](std::stop_token stop) -> Worker::Delivery {
            begun.release();
            released.acquire();
            if (stop.stop_requested())
                stopped.push_back(id);
            return [this, id] { delivered.push_back(id); };
        };
    }
    // Lets every job run to its end and hands the deliveries to the window thread.
    void finish()
    {
        released.release(8);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }
    std::counting_semaphore<> begun{0}, released{0};
    std::vector<int> stopped, delivered; // read after finish()
    Worker worker;
};

TEST_F(WorkerTest, NewerJobStopsTheRunningOneAndOnlyItDelivers)
{
    worker.run(job(2));
    worker.run(job(3)); // replaces 2 before it starts
    EXPECT_TRUE(worker.busy());
    finish();
    EXPECT_EQ(stopped, std::vector({1}));
    EXPECT_EQ(delivered, std::vector({3}));
    EXPECT_FALSE(worker.busy());
}

TEST_F(WorkerTest, RunNextLetsTheRunningJobDeliverFirst)
{
    worker.runNext(job(2));
    finish();
    EXPECT_TRUE(stopped.empty());
    EXPECT_EQ(delivered, std::vector({1, 2}));
}

TEST_F(WorkerTest, CancelStopsEverythingAndNothingDelivers)
{
    worker.runNext(job(2));
    worker.cancel();
    EXPECT_FALSE(worker.busy());
    finish();
    EXPECT_EQ(stopped, std::vector({1}));
    EXPECT_TRUE(delivered.empty());
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
    const auto folder = [](const char* name) {
        Services named;
        named.programFolder = QString::fromLatin1(name);
        return named;
    };
    ScopedServices queuedWith(folder("queued"));
    std::binary_semaphore begun{0}, released{0};
    QString seen;
    Worker worker;
    worker.run([&](std::stop_token) -> Worker::Delivery {
        begun.release();
        released.acquire();
        seen = services().programFolder;
        return {};
    });
    begun.acquire();
    {
        ScopedServices replaced(folder("replaced"));
        released.release();
        QThreadPool::globalInstance()->waitForDone();
    }
    EXPECT_EQ(seen, QStringLiteral("queued"));
}

} // namespace
