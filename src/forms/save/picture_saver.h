#pragma once

#include <memory>

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include "decoder/jpeg_markers.h"
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
    static void start(SaveRequest request);
    ~PictureSaver() override;

    // A save is under way: from the name asked for to the report.
    static bool active();

private:
    explicit PictureSaver(SaveRequest request);
    void askAndWrite();
    void write(const QString& target);
    void written(JpegStatus status);
    void finish();

    const SaveRequest request_;
    Worker* worker_;
    std::unique_ptr<questions::Open> waiting_;
    bool done_ = false;
};
