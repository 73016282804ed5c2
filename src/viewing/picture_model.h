#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include "decoder/picture_source.h"

class ReadAhead;
class Worker;
namespace questions {
class Open;
}

// The picture being viewed, and everything the program shows and acts on
// about it: what the image window shows, the path and file facts the main
// window shows, the path a save proposes, and the picture a command uses.
// Each way in (a click, a worker's result, a hand-over, a signal) is one
// transition here; windows follow by the signals and read the state back.
//
// A selection goes Loading, then Shown or Failed. While it loads, the picture
// shown before stays on screen, and a command waits for exactly that
// selection: it runs once its picture is there, and is dropped when another
// selection comes first.
class PictureModel : public QObject {
    Q_OBJECT
public:
    enum class State { Nothing, Loading, Shown, Failed };
    enum class FullFailure { FileChanged, Unreadable };

    // `viewBox` is the largest box the window shows a picture in, in pixels:
    // files are decoded just large enough for it.
    explicit PictureModel(QSize viewBox, QObject* parent = nullptr);
    ~PictureModel() override;

    State state() const { return state_; }
    // The selected file (loading, shown or failed); empty for a picture made in memory.
    const QString& path() const { return path_; }
    // The picture on screen: while a selection loads, the one before.
    const ShownPicture& picture() const { return picture_; }
    // The path a save proposes and shows: the picture's file, the folder after
    // a folder change, the program's folder after a failed load.
    const QString& savePath() const { return savePath_; }
    // When the selected file was last written, and its length; read at the selection.
    const QDateTime& modified() const { return modified_; }
    qint64 fileSize() const { return fileSize_; }
    // Something is on its way: a selection's picture or the full-size picture.
    bool busy() const { return state_ == State::Loading || makingFull_; }
    // The full-size picture for a command is on its way; the program waits as under a question.
    bool makingFullPicture() const { return makingFull_; }

    // The picture at its natural size: the file's own values, which a save
    // encodes. Null until a command has had it made.
    const QImage& fullPicture() const;
    // The same in the colours shown, for copying.
    QImage fullPictureAsShown() const;

    // A file chosen in the list, with the neighbours worth reading ahead.
    void select(const QString& path, const QStringList& neighbours = {});
    // A picture made in memory (the start-up picture, the clipboard's); the
    // path a save proposes stays as it was.
    void showInMemory(const QImage& picture);
    // The folder listed changed: a save proposes `folder` unless a load under
    // way brings its own picture, whose path it then proposes.
    void enterFolder(const QString& folder);
    // The list's filter changed: nothing more is read ahead; a load under way goes on.
    void changeFilter();
    // The program ends: nothing more arrives, nothing waits.
    void stop();

    // Runs `command` once the picture shown when it was asked for is at hand
    // at its natural size: at once, or after the selection's picture and its
    // full-size decode arrive. Dropped when another selection comes first or
    // the picture cannot be made (which fullPictureFailed() reports).
    void whenFullPicture(std::function<void()> command);

    ReadAhead& readAhead() { return *readAhead_; }

signals:
    // A new selection: path() and the file facts are its own. State Loading,
    // or Failed when the file could not even be read (failed() follows).
    void selected();
    // picture() changed: a selection's picture arrived, or a picture in memory.
    void pictureChanged();
    // The selection's picture cannot be shown; pictureChanged() with the
    // fallback picture follows once the person was told.
    void failed(const QString& path);
    void busyChanged(bool busy);
    void makingFullPictureChanged(bool making);
    void fullPictureFailed(PictureModel::FullFailure failure);

private:
    void decodeSelection();
    void arrive(std::uint64_t selection, const ShownPicture& shown);
    void fail(std::uint64_t selection);
    void settled(const QString& path);
    bool laterWhenNoQuestion(std::function<void(PictureModel&)> later);
    void runPending();
    bool holdsFull() const;
    void makeFull(std::function<void()> command);
    void fullArrived(std::uint64_t selection, const QImage& full, std::optional<FullFailure> failure,
                     const std::function<void()>& command);
    void updateBusy();

    const QSize viewBox_;
    State state_ = State::Nothing;
    QString path_;
    ShownPicture picture_;
    QImage full_;
    QString savePath_;
    QDateTime modified_;
    qint64 fileSize_ = -1;
    // Counts selections and pictures shown: a result or a command belongs to one.
    std::uint64_t selection_ = 0;
    std::function<void()> pending_; // a command waiting for the selection loading
    bool makingFull_ = false;
    bool announcedBusy_ = false;
    bool stopped_ = false;
    std::unique_ptr<questions::Open> waiting_; // while the full-size picture is made
    ReadAhead* readAhead_;
    Worker* decoding_;
    Worker* fullDecoding_;
};
