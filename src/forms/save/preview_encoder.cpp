#include "forms/save/preview_encoder.h"

#include <mutex>
#include <utility>

#include "decoder/colour_profile.h"
#include "encoder/save_jpeg.h"
#include "forms/save/background_task.h"
#include "files/files.h"
#include "decoder/picture_loader.h"

namespace {

std::mutex oneAtATime; // held by a worker for the whole of a job

} // namespace

PreviewResult PreviewEncoder::encodeAndLoad(const PreviewJob& job, const std::function<bool()>& abandoned)
{
    PreviewResult result;
    result.status = saveJpeg(job.picture, job.picture.width(), job.picture.height(), job.path,
                             static_cast<std::uint8_t>(job.quality), jpeg_option::NoFollow, abandoned,
                             job.markers.get());
    if (result.status != JpegStatus::Written)
        return result;
    try {
        result.picture = LoadPicture(job.path, job.cover);
        if (job.markers)
            result.picture = ColourProfile::of(*job.markers).toSrgb(result.picture);
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
    , task_(new BackgroundTask(this))
{
}

// Results already posted die with the task, as Qt drops the pending events of
// a deleted receiver.
PreviewEncoder::~PreviewEncoder() { stop(); }

void PreviewEncoder::stop() { task_->cancel(); }

void PreviewEncoder::setEncode(Encode encode) { encode_ = std::move(encode); }

int PreviewEncoder::request(PreviewJob job)
{
    const int serial = ++requested_;
    task_->run([this, encode = encode_, job = std::move(job), serial](const std::function<bool()>& abandoned) {
        std::unique_lock turn(oneAtATime);
        PreviewResult result = encode(job, abandoned);
        turn.unlock();
        if (result.status == JpegStatus::Abandoned)
            return BackgroundTask::Delivery();
        result.quality = job.quality;
        result.serial = serial;
        return BackgroundTask::Delivery([this, result] { deliver(result); });
    });
    return serial;
}

void PreviewEncoder::deliver(const PreviewResult& result)
{
    answered_ = result.serial;
    emit finished(result);
}
