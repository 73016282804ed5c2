#include "forms/save/preview_encoder.h"

#include <mutex>
#include <utility>

#include "decoder/colour_profile.h"
#include "encoder/save_jpeg.h"
#include "runtime/services.h"
#include "runtime/worker.h"
#include "files/files.h"
#include "decoder/picture_loader.h"

namespace {

std::mutex oneAtATime; // held by a worker for the whole of a job

} // namespace

PreviewResult PreviewEncoder::encodeAndLoad(const PreviewJob& job, std::stop_token stop)
{
    PreviewResult result;
    result.status = saveJpeg(job.picture, job.picture.width(), job.picture.height(), job.path,
                             static_cast<std::uint8_t>(job.quality), JpegTarget::ProgramOwn, stop,
                             job.markers.get(), job.prepared.get());
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
    , worker_(new Worker(this))
{
}

// Results already posted die with the task, as Qt drops the pending events of
// a deleted receiver.
PreviewEncoder::~PreviewEncoder() { stop(); }

void PreviewEncoder::stop() { worker_->cancel(); }

bool PreviewEncoder::busy() const { return worker_->busy(); }


void PreviewEncoder::request(PreviewJob job)
{
    job.prepared = prepared_;
    const Encode encode = services().encodePreview ? services().encodePreview : &PreviewEncoder::encodeAndLoad;
    worker_->run([this, encode, job = std::move(job)](std::stop_token stop) {
        std::unique_lock turn(oneAtATime);
        PreviewResult result = encode(job, stop);
        turn.unlock();
        if (result.status == JpegStatus::Abandoned)
            return Worker::Delivery();
        result.quality = job.quality;
        return Worker::Delivery([this, result] { emit finished(result); });
    });
}
