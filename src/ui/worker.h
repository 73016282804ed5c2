#pragma once

#include <functional>
#include <memory>
#include <stop_token>

#include <QObject>

class QThreadPool;

// Runs slow work (decoding, encoding, measuring) off the window thread, one
// job at a time. The newest job wins: run() stops the job running and drops
// the one waiting; runNext() lets the running one finish and replaces only the
// waiting one. A job looks at its stop token between blocks of rows and
// returns what to do with its result on the window thread; that delivery runs
// only if the job was not stopped meanwhile. A job that throws is a fault: the
// exception is logged and raised again on the window thread inside guarded(),
// where it is reported like a fault of any handler.
//
// Jobs run on Qt's global thread pool, which the application waits for when it
// ends, or on a pool of the owner's choosing that lives as long as the
// application. The destruction never waits for a job: the job is told to stop, and
// finds its worker gone when it is done.
class Worker : public QObject {
    Q_OBJECT
public:
    using Delivery = std::function<void()>;
    using Job = std::function<Delivery(std::stop_token stop)>;

    explicit Worker(QObject* parent = nullptr, QThreadPool* pool = nullptr);
    ~Worker() override;

    // Stops the running job, drops the waiting one, and queues this one.
    void run(Job job);
    // Queues this one after the running job, in place of the one waiting.
    void runNext(Job job);
    // Stops the running job and drops the waiting one; neither delivers.
    void cancel();
    // True while a job queued and not stopped has not delivered yet.
    bool busy() const { return !expected_.empty(); }

private:
    struct Ticket;
    struct Shared;
    void queue(Job job, bool stopRunning);
    static void work(const std::shared_ptr<Shared>& shared);
    void arrive(const std::shared_ptr<Ticket>& ticket, const Delivery& delivery);

    QThreadPool* pool_;
    std::shared_ptr<Shared> shared_;
    // Window thread only: the jobs whose deliveries are still wanted, oldest first.
    std::vector<std::shared_ptr<Ticket>> expected_;
};
