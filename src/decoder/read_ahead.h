#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <QObject>
#include <QString>
#include <QStringList>

#include "decoder/picture_source.h"

// Decodes the file list's neighbours of the shown picture on a worker thread
// while the person looks at it. One thread, one queue in which the newest
// selection wins, one stop flag the decoder looks at between strips of rows.
// Results come back to the window thread by a queued call; everything but
// the queue is touched only there. At most the current picture and its
// neighbours are held, and a held picture is handed out only while its file
// still has the size, modification time and inode it was read with.
class ReadAhead : public QObject {
    Q_OBJECT
public:
    using Decoder = std::function<ShownPicture(const QString& path, const std::atomic_bool& stop)>;

    explicit ReadAhead(Decoder decoder);
    ~ReadAhead() override;

    // The selection moved to `current`; `neighbours` are read ahead in this
    // order. Pictures of other files are dropped, work for them stopped.
    void follow(const QString& current, const QStringList& neighbours);
    // Keeps the picture just shown for `path`, when it is still wanted.
    void hold(const QString& path, const ShownPicture& shown);
    // The picture held for `path` if its file is unchanged; a changed one is dropped.
    std::optional<ShownPicture> take(const QString& path);
    // When the worker is decoding `path` right now, waits for it and returns
    // its picture (none if it failed, or if the file changed meanwhile) rather
    // than decoding it twice.
    std::optional<ShownPicture> awaitRunning(const QString& path);
    // A folder or filter change: nothing held, nothing pending.
    void clear();

    int heldCount() const { return int(held_.size()); }
    bool busy() const;

signals:
    // A piece of read-ahead work ended, its picture held or not.
    void settled(const QString& path);

private:
    void run();
    void settle(const QString& path, const std::optional<ShownPicture>& result);

    const Decoder decoder_;
    // Window thread only.
    QStringList wanted_;
    std::map<QString, ShownPicture> held_;
    // Shared with the worker, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    QString awaited_;                      // the running path the window thread waits for
    std::optional<ShownPicture> awaitedResult_;
    QStringList queue_;
    QString running_;
    bool quit_ = false;
    std::atomic_bool stop_{false};
    // Work taken from the queue whose result has not reached the window thread yet.
    std::atomic_int unsettled_{0};
    std::thread thread_;
};
