#include "viewing/picture_model.h"

#include <new>
#include <utility>

#include <QPointer>

#include "jpeg/colour_profile.h"
#include "decoder/jpeg_decoder.h"
#include "files/files.h"
#include "resources/builtin_pictures.h"
#include "runtime/app.h"
#include "ui/handler_guard.h"
#include "ui/questions.h"
#include "runtime/run_time_error.h"
#include "runtime/services.h"
#include "ui/worker.h"
#include "viewing/read_ahead.h"

namespace {

// Run in workers' jobs, which read the services they were queued with.
ShownPicture decodeForView(const QString& path, QSize box, std::stop_token stop)
{
    const auto& replaced = services().decodeForView;
    return replaced ? replaced(path, box, stop) : readForView(path, box, stop);
}

QImage decodeFull(const PictureSource& source, std::stop_token stop)
{
    const auto& replaced = services().decodeFull;
    return replaced ? replaced(source, stop) : source.decodeFull(stop);
}

ShownPicture inMemory(const QImage& picture) { return ShownPicture{picture, picture.size(), nullptr, false}; }

} // namespace

PictureModel::PictureModel(QSize viewBox, QObject* parent)
    : QObject(parent)
    , viewBox_(viewBox)
    , picture_(inMemory(builtin::startupPicture()))
    , readAhead_(new ReadAhead)
    , decoding_(new Worker(this))
    , fullDecoding_(new Worker(this))
{
    readAhead_->setParent(this);
    connect(readAhead_, &ReadAhead::settled, this, guarded([this](const QString& path) { settled(path); }));
}

PictureModel::~PictureModel() = default;

void PictureModel::select(const QString& path, const QStringList& neighbours)
{
    if (stopped_)
        return;
    ++selection_;
    pending_ = nullptr;
    decoding_->cancel();
    path_ = path;
    readAhead_->follow(path, neighbours, [box = viewBox_](const QString& file, std::stop_token stop) {
        return decodeForView(file, box, stop);
    });
    state_ = State::Loading;
    bool readable = true;
    try {
        modified_ = FileDateTime(path);
        fileSize_ = FileLen(path);
    } catch (const RunTimeError&) {
        modified_ = QDateTime();
        fileSize_ = -1;
        readable = false;
    }
    emit selected();
    updateBusy();
    if (!readable)
        fail(selection_);
    else if (const std::optional<ShownPicture> ready = readAhead_->take(path))
        arrive(selection_, *ready);
    else if (!readAhead_->reads(path))
        decodeSelection();
}

void PictureModel::decodeSelection()
{
    readAhead_->yield();
    decoding_->run([this, path = path_, selection = selection_, box = viewBox_,
                    slot = readAhead_->decodeSlot()](std::stop_token stop) -> Worker::Delivery {
        const DecodeSlot::Turn turn = slot->forWindow(stop);
        if (turn) {
            try {
                ShownPicture shown = decodeForView(path, box, stop);
                return [this, selection, shown] { arrive(selection, shown); };
            } catch (const DecodeCancelled&) {
                // Delivered only if nobody stopped it; otherwise the decoder gave up on its own.
            } catch (const RunTimeError&) {
                // Every run-time error, whatever its number, ends in the fallback picture.
            } catch (const std::bad_alloc&) {
            }
        }
        return [this, selection] { fail(selection); };
    });
}

// The picture the selection waits for may be the one read ahead.
void PictureModel::settled(const QString& path)
{
    if (state_ != State::Loading || path != path_ || decoding_->busy())
        return;
    if (const std::optional<ShownPicture> ready = readAhead_->take(path))
        arrive(selection_, *ready);
    else
        decodeSelection(); // failed there: decoded here, where a failure is reported
}

bool PictureModel::laterWhenNoQuestion(std::function<void(PictureModel&)> later)
{
    if (!questions::anyOpen())
        return false;
    // Nothing changes what an open question is about; the picture comes after.
    questions::whenNoneOpen(guarded([model = QPointer(this), later = std::move(later)] {
        if (model)
            later(*model);
    }));
    return true;
}

void PictureModel::arrive(std::uint64_t selection, const ShownPicture& shown)
{
    if (selection != selection_ || state_ != State::Loading)
        return;
    if (laterWhenNoQuestion([selection, shown](PictureModel& model) { model.arrive(selection, shown); }))
        return;
    state_ = State::Shown;
    picture_ = shown;
    full_ = QImage();
    savePath_ = path_; // the picture's own, whatever was listed meanwhile
    readAhead_->hold(path_, shown);
    emit pictureChanged();
    updateBusy();
    readAhead_->resume();
    runPending();
}

void PictureModel::fail(std::uint64_t selection)
{
    if (selection != selection_ || state_ != State::Loading)
        return;
    if (laterWhenNoQuestion([selection](PictureModel& model) { model.fail(selection); }))
        return;
    state_ = State::Failed;
    emit failed(path_); // told first, then the fallback shows
    if (selection != selection_)
        return; // the program ended while the person was told
    picture_ = inMemory(builtin::noFilePicture());
    full_ = QImage();
    savePath_ = App::path();
    emit pictureChanged();
    updateBusy();
    readAhead_->resume();
    runPending();
}

void PictureModel::showInMemory(const QImage& picture)
{
    if (stopped_)
        return;
    ++selection_;
    pending_ = nullptr;
    decoding_->cancel();
    readAhead_->follow(QString(), {});
    path_.clear();
    modified_ = QDateTime();
    fileSize_ = -1;
    state_ = State::Shown;
    picture_ = inMemory(picture);
    full_ = QImage();
    emit pictureChanged();
    updateBusy();
}

void PictureModel::enterFolder(const QString& folder)
{
    readAhead_->keepOnlyCurrent();
    savePath_ = folder;
}

void PictureModel::changeFilter() { readAhead_->keepOnlyCurrent(); }

void PictureModel::stop()
{
    stopped_ = true;
    ++selection_;
    pending_ = nullptr;
    decoding_->cancel();
    fullDecoding_->cancel();
    readAhead_->follow(QString(), {});
    if (state_ == State::Loading)
        state_ = State::Nothing;
    if (makingFull_) {
        makingFull_ = false;
        waiting_.reset();
        emit makingFullPictureChanged(false);
    }
    updateBusy();
}

void PictureModel::whenFullPicture(std::function<void()> command)
{
    if (stopped_)
        return;
    if (state_ == State::Loading)
        pending_ = std::move(command); // about the picture just chosen, not the one still on screen
    else
        makeFull(std::move(command));
}

void PictureModel::runPending()
{
    if (std::function<void()> command = std::exchange(pending_, nullptr))
        makeFull(std::move(command));
}

// A picture made in memory, or one decoded whole with the file's own values, is its own full picture.
bool PictureModel::holdsFull() const
{
    return !picture_.source || (picture_.picture.size() == picture_.natural && !picture_.converted) || !full_.isNull();
}

const QImage& PictureModel::fullPicture() const
{
    if (!picture_.source || (picture_.picture.size() == picture_.natural && !picture_.converted))
        return picture_.picture;
    return full_;
}

QImage PictureModel::fullPictureAsShown() const
{
    if (picture_.picture.size() == picture_.natural)
        return picture_.picture;
    const QImage& full = fullPicture();
    return picture_.converted && !full.isNull() ? ColourProfile::of(picture_.source->markers()).toSrgb(full) : full;
}

void PictureModel::makeFull(std::function<void()> command)
{
    if (holdsFull()) {
        command();
        return;
    }
    if (makingFull_)
        return; // the program waits as under a question; nothing asks twice
    makingFull_ = true;
    waiting_ = std::make_unique<questions::Open>();
    readAhead_->yield();
    emit makingFullPictureChanged(true);
    updateBusy();
    fullDecoding_->run([this, source = picture_.source, selection = selection_, slot = readAhead_->decodeSlot(),
                        command = std::move(command)](std::stop_token stop) -> Worker::Delivery {
        std::optional<FullFailure> failure = FullFailure::Unreadable;
        if (const DecodeSlot::Turn turn = slot->forWindow(stop)) {
            try {
                QImage full = decodeFull(*source, stop);
                return [this, selection, full = std::move(full), command] { fullArrived(selection, full, {}, command); };
            } catch (const DecodeCancelled&) {
                failure.reset();
            } catch (const FileChangedError&) {
                failure = FullFailure::FileChanged;
            } catch (const RunTimeError&) {
            } catch (const std::bad_alloc&) {
            }
        }
        return [this, selection, failure, command] { fullArrived(selection, QImage(), failure, command); };
    });
}

void PictureModel::fullArrived(std::uint64_t selection, const QImage& full, std::optional<FullFailure> failure,
                               const std::function<void()>& command)
{
    makingFull_ = false;
    waiting_.reset();
    emit makingFullPictureChanged(false);
    updateBusy();
    if (state_ != State::Loading)
        readAhead_->resume();
    if (selection != selection_)
        return; // another picture is shown: the command was about this one
    if (!full.isNull() && full.size() == picture_.natural) {
        full_ = full;
        command();
        return;
    }
    if (!full.isNull())
        failure = FullFailure::Unreadable;
    if (failure)
        emit fullPictureFailed(*failure);
}

void PictureModel::updateBusy()
{
    if (busy() == announcedBusy_)
        return;
    announcedBusy_ = busy();
    emit busyChanged(announcedBusy_);
}
