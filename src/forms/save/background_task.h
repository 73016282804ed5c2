#pragma once

#include <functional>
#include <memory>

#include <QObject>

// Runs one piece of slow work at a time off the window thread, newest first,
// for the save dialog's target-size search and its measurements. A job gets a
// `cancelled` check to ask between steps, and returns what to do with its
// result back on the window thread; that runs only if no newer job or
// cancel() came in meanwhile (an empty one just ends the job). Jobs run on Qt's global thread pool; the
// destruction never waits for one: a job finds its task gone and stops.
class BackgroundTask : public QObject {
    Q_OBJECT
public:
    using Delivery = std::function<void()>;
    using Job = std::function<Delivery(const std::function<bool()>& cancelled)>;

    explicit BackgroundTask(QObject* parent = nullptr);
    ~BackgroundTask() override;

    // Cancels the job running or waiting, if any, and queues this one.
    void run(Job job);
    // The running job is told to stop and the waiting one is dropped; neither reports.
    void cancel();
    // True from run() until its delivery, or until cancel().
    bool busy() const { return busy_; }

private:
    struct Shared;
    static void work(const std::shared_ptr<Shared>& shared);
    void deliver(int serial, const Delivery& delivery);

    std::shared_ptr<Shared> shared_;
    int serial_ = 0;
    bool busy_ = false;
};
