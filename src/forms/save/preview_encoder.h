#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include "decoder/jpeg_markers.h"
#include "encoder/save_jpeg.h"

class BackgroundTask;

// One preview to make: the picture encoded into `path` at `quality` with the
// metadata a save writes, then read back decoded just large enough to cover
// `cover`, in the colours its profile gives.
struct PreviewJob {
    QImage picture; // shared, never written to, so the worker may read it
    QString path;
    int quality = 50;
    QSize cover;
    std::shared_ptr<const JpegMarkers> markers; // none for a picture without them
};

// A finished preview. `picture` and `fileSize` belong to the same encoding;
// both are meaningful only when `status` is JpegStatus::Written.
struct PreviewResult {
    JpegStatus status = JpegStatus::Written;
    QImage picture;
    qint64 fileSize = 0;
    int quality = 0;
    int serial = 0; // which request it answers
};

// Makes previews on a worker thread, newest request first: while one runs,
// later requests only replace the one waiting, and the running one is told to
// give up at its next block of rows. Results come back on the owner's thread
// through finished(); abandoned encodings report nothing.
//
// Encodings of all encoders run one at a time: they write the same preview
// file, and an older one still finishing must not land after a newer one.
//
// Lives on the window thread and runs its jobs through a BackgroundTask. Its
// destruction never waits for the worker: the worker finds its owner gone and stops. Work runs on Qt's global thread pool,
// which the application waits for when it ends, so no encoding outlives it.
class PreviewEncoder : public QObject {
    Q_OBJECT
public:
    // Does one job; asks `abandoned` often enough to stop soon and reports
    // JpegStatus::Abandoned when it did. Runs on the worker thread.
    using Encode = std::function<PreviewResult(const PreviewJob&, const std::function<bool()>& abandoned)>;

    // The real one: saveJpeg, then the preview file loaded back and measured.
    static PreviewResult encodeAndLoad(const PreviewJob& job, const std::function<bool()>& abandoned);

    explicit PreviewEncoder(QObject* parent = nullptr);
    ~PreviewEncoder() override;

    // Used from the next job on.
    void setEncode(Encode encode);

    // Returns the serial that the matching result will carry.
    int request(PreviewJob job);
    // Gives up the running job and drops the waiting one; nothing more is
    // reported. For a dialog on its way out, before it is deleted.
    void stop();
    // True while the newest request has no result yet.
    bool busy() const { return answered_ != requested_; }

signals:
    void finished(const PreviewResult& result);

private:
    void deliver(const PreviewResult& result);

    BackgroundTask* task_;
    Encode encode_ = &PreviewEncoder::encodeAndLoad;
    int requested_ = 0;
    int answered_ = 0;
};
