#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <memory>

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include "encoder/prepared_picture.h"
#include "jpeg/jpeg_markers.h"
#include "encoder/save_jpeg.h"

class Worker;

// One preview to make: the picture encoded into `path` at `quality` with the
// metadata a save writes, then read back decoded just large enough to cover
// `cover`, in the colours its profile gives.
struct PreviewJob {
    QImage picture; // shared, never written to, so the worker may read it
    QString path;
    int quality = 50;
    QSize cover;
    std::shared_ptr<const JpegMarkers> markers; // none for a picture without them
    // The encoder's picture prepared for quantization, kept between its jobs.
    std::shared_ptr<PreparedPictureCache> prepared;
};

// A finished preview. `picture`, `bytes` and `fileSize` belong to the same
// encoding: the picture is decoded from exactly those bytes, which a save at
// this quality writes. All are meaningful only when `status` is JpegStatus::Written.
struct PreviewResult {
    JpegStatus status = JpegStatus::Written;
    QImage picture;
    QByteArray bytes;
    qint64 fileSize = 0;
    int quality = 0;
};

// Makes previews on a worker, newest request first: a request stops the one
// running at its next block of rows and replaces the one waiting. Results come
// back on the owner's thread through finished(); stopped encodings report nothing.
//
// Encodings of all encoders run one at a time: they write the same preview
// file, and an older one still finishing must not land after a newer one.
class PreviewEncoder : public QObject {
    Q_OBJECT
public:
    // Does one job; looks at `stop` often enough to stop soon and reports
    // JpegStatus::Abandoned when it did. Runs on the worker thread.
    using Encode = std::function<PreviewResult(const PreviewJob&, std::stop_token stop)>;

    // The real one: saveJpeg, then the preview file loaded back and measured.
    static PreviewResult encodeAndLoad(const PreviewJob& job, std::stop_token stop);

    explicit PreviewEncoder(QObject* parent = nullptr);
    ~PreviewEncoder() override;


    void request(PreviewJob job);
    // The picture's preparation, shared with the dialog's other encodings.
    const std::shared_ptr<PreparedPictureCache>& prepared() const { return prepared_; }
    // Gives up the running job and drops the waiting one; nothing more is
    // reported. For a dialog on its way out, before it is deleted.
    void stop();
    // True while the newest request has no result yet.
    bool busy() const;

signals:
    void finished(const PreviewResult& result);

private:
    Worker* worker_;
    std::shared_ptr<PreparedPictureCache> prepared_ = std::make_shared<PreparedPictureCache>();
};
