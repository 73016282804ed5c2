#include "decoder/read_ahead.h"

#include <new>
#include <utility>

#include "decoder/jpeg_decoder.h"
#include "runtime/run_time_error.h"
#include "runtime/worker.h"

namespace {

// A picture read earlier describes the file only while the file still carries its stamp.
bool stillDescribes(const ShownPicture& shown, const QString& path)
{
    return shown.source && stampOf(path) == shown.source->stamp();
}

} // namespace

ReadAhead::ReadAhead(Decoder decoder)
    : decoder_(std::move(decoder))
    , worker_(new Worker(this))
{
}

ReadAhead::~ReadAhead() = default;

void ReadAhead::follow(const QString& current, const QStringList& neighbours)
{
    wanted_ = QStringList{current} + neighbours;
    std::erase_if(held_, [this](const auto& entry) { return !wanted_.contains(entry.first); });
    if (!reading_.isEmpty() && !wanted_.contains(reading_)) {
        worker_->cancel();
        reading_.clear();
    }
    queue_.clear();
    for (const QString& path : neighbours)
        if (path != current && !held_.contains(path) && path != reading_ && !queue_.contains(path))
            queue_.append(path);
    startNext();
}

void ReadAhead::hold(const QString& path, const ShownPicture& shown)
{
    if (wanted_.contains(path))
        held_[path] = shown;
}

std::optional<ShownPicture> ReadAhead::take(const QString& path)
{
    const auto found = held_.find(path);
    if (found == held_.end())
        return std::nullopt;
    if (!stillDescribes(found->second, path)) {
        held_.erase(found);
        return std::nullopt;
    }
    return found->second;
}

std::optional<ShownPicture> ReadAhead::awaitRunning(const QString& path)
{
    std::optional<ShownPicture> result;
    {
        std::unique_lock lock(running_->mutex);
        if (path.isEmpty() || running_->path != path)
            return std::nullopt;
        running_->awaited = path;
        running_->finished.wait(lock, [&] { return running_->path != path; });
        running_->awaited.clear();
        result = std::exchange(running_->awaitedResult, std::nullopt);
    }
    // The file may have been replaced while the worker read it.
    if (result && !stillDescribes(*result, path))
        result.reset();
    return result;
}

void ReadAhead::clear() { follow(QString(), {}); }

bool ReadAhead::busy() const { return !queue_.isEmpty() || worker_->busy(); }

void ReadAhead::startNext()
{
    if (!reading_.isEmpty() || queue_.isEmpty())
        return;
    reading_ = queue_.takeFirst();
    worker_->run([this, running = running_, decoder = decoder_, path = reading_](std::stop_token stop) -> Worker::Delivery {
        {
            const std::lock_guard lock(running->mutex);
            running->path = path;
        }
        std::optional<ShownPicture> result;
        try {
            result = decoder(path, stop);
        } catch (const RunTimeError&) {
            // A file that fails here is decoded again when selected, and reports then.
        } catch (const DecodeCancelled&) {
        } catch (const std::bad_alloc&) {
        }
        if (stop.stop_requested())
            result.reset();
        {
            const std::lock_guard lock(running->mutex);
            running->path.clear();
            if (running->awaited == path) // handed over only when waited for, so no fourth picture lingers
                running->awaitedResult = result;
        }
        running->finished.notify_all();
        return [this, path, result] { settle(path, result); };
    });
}

void ReadAhead::settle(const QString& path, const std::optional<ShownPicture>& result)
{
    reading_.clear();
    if (result && wanted_.contains(path) && !held_.contains(path))
        held_[path] = *result;
    emit settled(path);
    startNext();
}
