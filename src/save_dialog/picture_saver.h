#pragma once

#include <memory>

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include "jpeg/jpeg_markers.h"
#include "encoder/save_jpeg.h"

class Worker;
namespace questions {
class Open;
}

// What a save writes: the preview's bytes when it was made at the quality
// saved, else the picture encoded again at that quality.
struct SaveRequest {
    QImage picture; // at its natural size
    int quality = 50;
    std::shared_ptr<const JpegMarkers> markers;
    QString proposedPath; // the picture's path, proposed in the save-file dialog
    QByteArray previewBytes; // empty when no preview of this quality was made
};

// The save after the dialog has gone: asks for the name, confirms an
// overwrite, writes on a worker while the program waits as under a question
// (the hourglass, the windows held, a path handed over kept), then reports.
// It deletes itself when done.
class PictureSaver : public QObject {
    Q_OBJECT
public:
    // The saver for `request`, which runs once started and then deletes itself.
    explicit PictureSaver(SaveRequest request);
    ~PictureSaver() override;
    void start();

    // The save is over: the report was given, or nothing was written.
    bool done() const { return done_; }

signals:
    // While the file is written, the program takes no input.
    void writing(bool on);
    // The file was written: the list that shows its folder reads it again.
    void written();
    // The save is over, however it ended: the main window comes forward.
    void finished();

private:
    void askAndWrite();
    void write(const QString& target);
    void arrived(JpegStatus status);
    void finish();

    const SaveRequest request_;
    Worker* worker_;
    std::unique_ptr<questions::Open> waiting_;
    bool done_ = false;
};
