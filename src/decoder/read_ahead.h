#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include <QObject>
#include <QString>
#include <QStringList>

#include "decoder/picture_source.h"

class Worker;

// Decodes the file list's neighbours of the shown picture on a worker while
// the person looks at it, one at a time, in the order given; the newest
// selection wins. The queue and the pictures held live on the window thread;
// each finished picture comes back there and the next one is started. At most
// the current picture and its neighbours are held, and a picture is handed out
// only while its file still has the size, modification time and inode it was
// read with.
class ReadAhead : public QObject {
    Q_OBJECT
public:
    using Decoder = std::function<ShownPicture(const QString& path, std::stop_token stop)>;

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
    // What the window thread may wait for, shared with the running job.
    struct Running {
        std::mutex mutex;
        std::condition_variable finished;
        QString path;    // being decoded right now
        QString awaited; // the path the window thread waits for
        std::optional<ShownPicture> awaitedResult;
    };

    void startNext();
    void settle(const QString& path, const std::optional<ShownPicture>& result);

    const Decoder decoder_;
    Worker* worker_;
    const std::shared_ptr<Running> running_ = std::make_shared<Running>();
    QStringList wanted_;
    std::map<QString, ShownPicture> held_;
    QStringList queue_; // neighbours still to read
    QString reading_;   // given to the worker and not settled yet
};
