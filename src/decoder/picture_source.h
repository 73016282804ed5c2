#pragma once

#include <stop_token>

#include <atomic>
#include <memory>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "jpeg/jpeg_markers.h"
#include "jpeg/quality_estimate.h"
#include "runtime/run_time_error.h"

// What identifies one version of a file: a replaced file (same name, new
// contents) differs in at least one of these.
struct FileStamp {
    qint64 size = -1; // -1: the file is gone
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path);

// The file changed on disk after its picture was shown.
struct FileChangedError : RunTimeError {
    FileChangedError()
        : RunTimeError(PathFileAccess, "the file changed after it was shown")
    {
    }
};

// The bytes a shown picture came from, so that the full-size picture is made
// from exactly what the person saw. Files up to the cap are kept in memory;
// larger ones are read again and must still carry the same stamp.
class PictureSource {
public:
    static constexpr qint64 keptBytesCap = qint64(48) << 20;

    PictureSource(QString path, FileStamp stamp, QByteArray bytes, JpegMarkers markers = {},
                  SourceQuality quality = {})
        : path_(std::move(path))
        , stamp_(stamp)
        , bytes_(std::move(bytes))
        , markers_(std::move(markers))
        , quality_(quality)
    {
    }

    const QString& path() const { return path_; }
    const FileStamp& stamp() const { return stamp_; }
    bool keepsBytes() const { return !bytes_.isNull(); }
    // What the shown bytes carry besides pixels: colour profile and metadata.
    const JpegMarkers& markers() const { return markers_; }
    // The quality the shown bytes were saved at, as their tables tell.
    const SourceQuality& quality() const { return quality_; }

    // The picture at full size. Throws FileChangedError when the bytes were
    // not kept and the file is no longer the one shown; RunTimeError as the
    // loader does; DecodeCancelled when a stop is requested through `stop`.
    QImage decodeFull(std::stop_token stop = {}) const;

private:
    QString path_;
    FileStamp stamp_;
    QByteArray bytes_;
    JpegMarkers markers_;
    SourceQuality quality_;
};

// A picture decoded for the image window: `picture` may be smaller than
// `natural`, the upright full size the fit works with. Its colours are
// converted to sRGB by the file's own profile (`converted`), so its values
// may differ from the file's even at full size.
struct ShownPicture {
    QImage picture;
    QSize natural;
    std::shared_ptr<const PictureSource> source;
    bool converted = false;
};

// Reads the file and decodes it just large enough to cover its picture fitted
// into `box` (pixels), in sRGB. Throws RunTimeError as LoadPicture does, DecodeCancelled
// when a stop is requested through `stop`.
ShownPicture readForView(const QString& path, QSize box, std::stop_token stop = {},
                         qint64 keptBytesCap = PictureSource::keptBytesCap);
