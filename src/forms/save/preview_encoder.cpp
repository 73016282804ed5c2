#include "forms/save/preview_encoder.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <utility>

#include <QThreadPool>

#include "encoder/save_jpeg.h"
#include "files/files.h"
#include "decoder/picture_loader.h"

// What the worker and the owner share. The worker holds its own reference, so
// the owner may go first.
struct PreviewEncoder::Shared {
    std::mutex mutex;
    std::optional<std::pair<int, PreviewJob>> waiting; // serial and job; only the newest is kept
    bool running = false;
    PreviewEncoder* owner; // null once the owner is gone
    Encode encode;
    // Set when the running job has been overtaken or its owner is gone;
    // read without the lock between blocks of rows.
    std::atomic<bool> abandon{false};
};

PreviewResult PreviewEncoder::encodeAndLoad(const PreviewJob& job, const std::function<bool()>& abandoned)
{
    PreviewResult result;
    result.status = saveJpeg(job.picture, job.picture.width(), job.picture.height(), job.path,
                             static_cast<std::uint8_t>(job.quality), jpeg_option::NoFollow, abandoned);
    if (result.status != JpegStatus::Written)
        return result;
    try {
        result.picture = LoadPicture(job.path, job.cover);
        result.fileSize = FileLen(job.path);
    } catch (const std::exception&) {
        // Written but unreadable: no true pair of picture and size to show.
        result.status = JpegStatus::CannotOpen;
        result.picture = QImage();
    }
    return result;
}

PreviewEncoder::PreviewEncoder(QObject* parent)
    : QObject(parent)
    , shared_(std::make_shared<Shared>())
{
    shared_->owner = this;
    shared_->encode = &PreviewEncoder::encodeAndLoad;
}

namespace {

std::mutex oneAtATime; // held by a worker for the whole of a job

} // namespace

PreviewEncoder::~PreviewEncoder()
{
    // Results already posted die with this object, as Qt drops the pending
    // events of a deleted receiver.
    stop();
}

void PreviewEncoder::stop()
{
    const std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->waiting.reset();
    shared_->abandon = true;
}

void PreviewEncoder::setEncode(Encode encode)
{
    const std::lock_guard lock(shared_->mutex);
    shared_->encode = std::move(encode);
}

int PreviewEncoder::request(PreviewJob job)
{
    const int serial = ++requested_;
    const std::lock_guard lock(shared_->mutex);
    shared_->waiting.emplace(serial, std::move(job));
    if (shared_->running) {
        shared_->abandon = true;
    } else {
        shared_->running = true;
        QThreadPool::globalInstance()->start([shared = shared_] { work(shared); });
    }
    return serial;
}

// Runs jobs until none is waiting. `running` stays true in between, so a
// request made meanwhile is picked up here rather than by a second worker.
void PreviewEncoder::work(const std::shared_ptr<Shared>& shared)
{
    for (;;) {
        std::unique_lock lock(shared->mutex);
        if (!shared->waiting || !shared->owner) {
            shared->running = false;
            return;
        }
        auto [serial, job] = std::move(*shared->waiting);
        shared->waiting.reset();
        shared->abandon = false;
        const Encode encode = shared->encode;
        lock.unlock();

        std::unique_lock turn(oneAtATime);
        PreviewResult result = encode(job, [&shared] { return shared->abandon.load(std::memory_order_relaxed); });
        turn.unlock();
        result.quality = job.quality;
        result.serial = serial;
        job = PreviewJob(); // lets go of the picture before the next one is taken

        lock.lock();
        if (result.status != JpegStatus::Abandoned && shared->owner) {
            PreviewEncoder* owner = shared->owner;
            QMetaObject::invokeMethod(owner, [owner, result] { owner->deliver(result); }, Qt::QueuedConnection);
        }
    }
}

void PreviewEncoder::deliver(const PreviewResult& result)
{
    answered_ = result.serial;
    emit finished(result);
}
