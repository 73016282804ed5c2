#pragma once

// Another thread posts an event to the window thread every few milliseconds
// and records how long each waited before it was handled: what a person feels
// as a window that does not answer.

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QObject>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class LatencyProbe {
public:
    explicit LatencyProbe(QObject* receiver, std::chrono::milliseconds every = std::chrono::milliseconds(5))
        : thread_([this, receiver, every] {
            while (!stop_) {
                const Clock::time_point posted = Clock::now();
                QMetaObject::invokeMethod(receiver, [this, posted] { waits_.push_back(millisecondsSince(posted)); },
                                          Qt::QueuedConnection);
                std::this_thread::sleep_for(every);
            }
        })
    {
    }
    // The last events are handled before the figures are read.
    std::vector<double> finish()
    {
        stop_ = true;
        thread_.join();
        QCoreApplication::sendPostedEvents();
        return waits_;
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<double> waits_; // touched only on the window thread
    std::thread thread_;
};

} // namespace bench
