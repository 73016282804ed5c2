#include "save_dialog/preview_encoder.h"

#include <mutex>
#include <utility>

#include "jpeg/colour_profile.h"
#include "encoder/save_jpeg.h"
#include "runtime/services.h"
#include "ui/worker.h"
#include "files/native_file.h"
#include "decoder/jpeg_decoder.h"
#include "decoder/picture_loader.h"
#include "runtime/run_time_error.h"

namespace {

std::mutex oneAtATime; // held by a worker for the whole of a job

// The preview file as written; what is shown and what a save writes come from these bytes.
QByteArray readPreviewFile(const QString& path)
{
    const ReadOnlyFile file(path);
    QByteArray bytes = file.peek(0, file.size());
    if (bytes.size() != file.size())
        throw RunTimeError(RunTimeError::DeviceIO, "short read of the preview file");
    return bytes;
}

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
        result.bytes = readPreviewFile(job.path);
        result.picture = decodePicture(result.bytes, job.cover, nullptr, stop);
        if (job.markers)
            result.picture = ColourProfile::of(*job.markers).toSrgb(result.picture);
        result.fileSize = result.bytes.size();
    } catch (const DecodeCancelled&) {
        result.status = JpegStatus::Abandoned;
        return result;
    } catch (const std::exception&) {
        // Written but unreadable: no true pair of picture and size to show.
        result.status = JpegStatus::CannotOpen;
        result.picture = QImage();
        result.bytes = QByteArray();
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
