#include "ui/worker.h"

#include <exception>
#include <mutex>
#include <optional>
#include <utility>

#include <QThreadPool>

#include "runtime/services.h"
#include "ui/handler_guard.h"

struct Worker::Ticket {
    std::stop_source stop;
};

struct Worker::Shared {
    std::mutex mutex;
    std::optional<std::pair<std::shared_ptr<Ticket>, Job>> waiting; // only the newest is kept
    std::shared_ptr<Ticket> running;
    bool active = false; // a pool thread is taking jobs
    Worker* owner = nullptr; // null once the worker is gone
};

Worker::Worker(QObject* parent, QThreadPool* pool)
    : QObject(parent)
    , pool_(pool ? pool : QThreadPool::globalInstance())
    , shared_(std::make_shared<Shared>())
{
    shared_->owner = this;
}

Worker::~Worker()
{
    cancel();
    const std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
}

void Worker::run(Job job) { queue(std::move(job), true); }

void Worker::runNext(Job job) { queue(std::move(job), false); }

void Worker::queue(Job job, bool stopRunning)
{
    // What the job needs of the services is taken now, on the window thread.
    job = [job = std::move(job), taken = std::make_shared<Services>(services())](std::stop_token stop) {
        const JobServices installed(taken.get());
        return job(stop);
    };
    auto ticket = std::make_shared<Ticket>();
    const std::lock_guard lock(shared_->mutex);
    const auto drop = [this](const std::shared_ptr<Ticket>& dropped) {
        dropped->stop.request_stop();
        std::erase(expected_, dropped);
    };
    if (shared_->waiting)
        drop(shared_->waiting->first);
    if (stopRunning && shared_->running)
        drop(shared_->running);
    shared_->waiting.emplace(ticket, std::move(job));
    expected_.push_back(ticket);
    if (!shared_->active) {
        shared_->active = true;
        pool_->start([shared = shared_] { work(shared); });
    }
}

void Worker::cancel()
{
    const std::lock_guard lock(shared_->mutex);
    for (const std::shared_ptr<Ticket>& ticket : expected_)
        ticket->stop.request_stop();
    expected_.clear();
    shared_->waiting.reset();
}

void Worker::work(const std::shared_ptr<Shared>& shared)
{
    for (;;) {
        std::unique_lock lock(shared->mutex);
        if (!shared->waiting || !shared->owner) {
            shared->active = false;
            shared->running.reset();
            return;
        }
        const std::shared_ptr<Ticket> ticket = std::move(shared->waiting->first);
        Job job = std::move(shared->waiting->second);
        shared->waiting.reset();
        shared->running = ticket;
        lock.unlock();

        Delivery delivery;
        try {
            delivery = job(ticket->stop.get_token());
        } catch (...) {
            const std::exception_ptr failure = std::current_exception();
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                qWarning("a background job failed: %s", error.what());
            } catch (...) {
                qWarning("a background job failed with an exception of unknown type");
            }
            delivery = [failure] { std::rethrow_exception(failure); };
        }
        job = Job(); // lets go of what the job held before the next one is taken

        lock.lock();
        shared->running.reset();
        if (!ticket->stop.stop_requested() && shared->owner) {
            Worker* owner = shared->owner;
            // Queued to the worker: dropped unheard if it is destroyed first.
            QMetaObject::invokeMethod(
                owner, [owner, ticket, delivery] { owner->arrive(ticket, delivery); }, Qt::QueuedConnection);
        }
    }
}

void Worker::arrive(const std::shared_ptr<Ticket>& ticket, const Delivery& delivery)
{
    if (ticket->stop.stop_requested())
        return; // stopped after it was posted
    std::erase(expected_, ticket);
    if (delivery)
        guarded(delivery)();
}
