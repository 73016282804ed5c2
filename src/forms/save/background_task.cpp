#include "forms/save/background_task.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <utility>

#include <QThreadPool>

struct BackgroundTask::Shared {
    std::mutex mutex;
    std::optional<std::pair<int, Job>> waiting; // only the newest is kept
    bool running = false;
    BackgroundTask* owner; // null once the owner is gone
    // The serial that may still report; a running job whose serial differs is told to stop.
    std::atomic<int> current{0};
};

BackgroundTask::BackgroundTask(QObject* parent)
    : QObject(parent)
    , shared_(std::make_shared<Shared>())
{
    shared_->owner = this;
}

BackgroundTask::~BackgroundTask()
{
    const std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->waiting.reset();
    shared_->current = -1;
}

void BackgroundTask::run(Job job)
{
    const int serial = ++serial_;
    busy_ = true;
    const std::lock_guard lock(shared_->mutex);
    shared_->current = serial;
    shared_->waiting.emplace(serial, std::move(job));
    if (!shared_->running) {
        shared_->running = true;
        QThreadPool::globalInstance()->start([shared = shared_] { work(shared); });
    }
}

void BackgroundTask::cancel()
{
    ++serial_;
    busy_ = false;
    const std::lock_guard lock(shared_->mutex);
    shared_->current = serial_;
    shared_->waiting.reset();
}

void BackgroundTask::work(const std::shared_ptr<Shared>& shared)
{
    for (;;) {
        std::unique_lock lock(shared->mutex);
        if (!shared->waiting || !shared->owner) {
            shared->running = false;
            return;
        }
        auto [serial, job] = std::move(*shared->waiting);
        shared->waiting.reset();
        lock.unlock();

        const auto cancelled = [&shared, serial] { return shared->current.load(std::memory_order_relaxed) != serial; };
        Delivery delivery = job(cancelled);
        job = Job(); // lets go of what the job held before the next one is taken

        lock.lock();
        if (!cancelled() && shared->owner) {
            BackgroundTask* owner = shared->owner;
            QMetaObject::invokeMethod(
                owner, [owner, serial, delivery] { owner->deliver(serial, delivery); }, Qt::QueuedConnection);
        }
    }
}

void BackgroundTask::deliver(int serial, const Delivery& delivery)
{
    if (serial != serial_)
        return; // cancelled or overtaken after it was posted
    busy_ = false;
    if (delivery)
        delivery();
}
