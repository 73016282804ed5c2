#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>

#include <QObject>
#include <QString>
#include <QStringList>

#include "viewing/decode_slot.h"
#include "decoder/picture_source.h"

class QThreadPool;
class Worker;

// Decodes the file list's neighbours of the shown picture on a worker while
// the person looks at it, one at a time, in the order given, below the
// window's priority and never beside the window's own decode (they share one
// DecodeSlot). The queue and the pictures held live on the window thread;
// each finished picture comes back there and the next one is started. At most
// the current picture and its neighbours are held, and a picture is handed out
// only while its file still has the size, modification time and inode it was
// read with.
class ReadAhead : public QObject {
    Q_OBJECT
public:
    using Decoder = std::function<ShownPicture(const QString& path, std::stop_token stop)>;

    ReadAhead();
    ~ReadAhead() override;

    // The selection moved to `current`; `neighbours` are read ahead in this
    // order once resume() says its picture is on screen, with `decoder` (taken
    // by the caller on the window thread). Pictures of other files are
    // dropped, work for them stopped; a decode of a file still wanted goes on.
    void follow(const QString& current, const QStringList& neighbours, Decoder decoder = {});
    // The shown picture is on screen: reading ahead may go on.
    void resume();
    // The window decodes a picture itself: a decode under way stops and is
    // done again later, if still wanted.
    void yield();
    // True while `path` is being decoded; settled() tells when it is done.
    bool reads(const QString& path) const { return !path.isEmpty() && reading_ == path; }
    // Keeps the picture just shown for `path`, when it is still wanted.
    void hold(const QString& path, const ShownPicture& shown);
    // The picture held for `path` if its file is unchanged; a changed one is dropped.
    std::optional<ShownPicture> take(const QString& path);
    // The neighbours are no longer listed: only the current file stays wanted,
    // and a decode of it under way goes on.
    void keepOnlyCurrent();

    int heldCount() const { return int(held_.size()); }
    bool busy() const;
    // Shared with the window's decode.
    const std::shared_ptr<DecodeSlot>& decodeSlot() const { return slot_; }
    // Where the read-ahead's decodes run: its own threads, below the window's priority.
    static QThreadPool& threads();

signals:
    // A piece of read-ahead work ended, its picture held or not.
    void settled(const QString& path);

private:
    void startNext();
    void settle(const QString& path, const std::optional<ShownPicture>& result);

    Decoder decoder_;
    const std::shared_ptr<DecodeSlot> slot_ = std::make_shared<DecodeSlot>();
    Worker* worker_;
    QStringList wanted_;
    std::map<QString, ShownPicture> held_;
    QStringList queue_; // neighbours still to read
    QString reading_;   // given to the worker and not settled yet
    bool paused_ = false; // until the current picture is shown
};
