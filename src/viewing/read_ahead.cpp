#include "viewing/read_ahead.h"

#include <algorithm>
#include <new>
#include <utility>

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThreadPool>

#include "decoder/jpeg_decoder.h"
#include "runtime/run_time_error.h"
#include "runtime/worker.h"

namespace {

// A picture read earlier describes the file only while the file still carries its stamp.
bool stillDescribes(const ShownPicture& shown, const QString& path)
{
    return shown.source && stampOf(path) == shown.source->stamp();
}

// A few steps nicer than the window. Qt's LowPriority does nothing for normal
// Linux threads, and a user may not raise a thread's priority again, which is
// why these threads are the read-ahead's own.
void lowerThisThread()
{
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    const pid_t thread = ::gettid();
    ::setpriority(PRIO_PROCESS, id_t(thread), std::min(19, ::getpriority(PRIO_PROCESS, id_t(thread)) + 5));
}

} // namespace

ReadAhead::ReadAhead()
    : worker_(new Worker(this, &threads()))
{
}

ReadAhead::~ReadAhead() = default;

QThreadPool& ReadAhead::threads()
{
    // A child of the application, which waits for its threads when it ends.
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool(QCoreApplication::instance());
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

void ReadAhead::follow(const QString& current, const QStringList& neighbours, Decoder decoder)
{
    if (decoder)
        decoder_ = std::move(decoder);
    wanted_ = QStringList{current} + neighbours;
    paused_ = true;
    std::erase_if(held_, [this](const auto& entry) { return !wanted_.contains(entry.first); });
    if (!reading_.isEmpty() && !wanted_.contains(reading_)) {
        worker_->cancel();
        reading_.clear();
    }
    queue_.clear();
    for (const QString& path : neighbours)
        if (path != current && !held_.contains(path) && path != reading_ && !queue_.contains(path))
            queue_.append(path);
}

void ReadAhead::resume()
{
    paused_ = false;
    startNext();
}

void ReadAhead::yield()
{
    paused_ = true;
    if (reading_.isEmpty())
        return;
    worker_->cancel();
    if (wanted_.contains(reading_) && wanted_.front() != reading_)
        queue_.prepend(reading_);
    reading_.clear();
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

void ReadAhead::keepOnlyCurrent()
{
    const QString current = wanted_.value(0);
    follow(current, {});
}

bool ReadAhead::busy() const { return (!queue_.isEmpty() && !paused_) || worker_->busy(); }

void ReadAhead::startNext()
{
    if (paused_ || !reading_.isEmpty() || queue_.isEmpty() || !decoder_)
        return;
    reading_ = queue_.takeFirst();
    worker_->run([this, slot = slot_, decoder = decoder_, path = reading_](std::stop_token stop) -> Worker::Delivery {
        lowerThisThread();
        std::optional<ShownPicture> result;
        if (const DecodeSlot::Turn turn = slot->forReadAhead(stop)) {
            try {
                result = decoder(path, stop);
            } catch (const RunTimeError&) {
                // A file that fails here is decoded again when selected, and reports then.
            } catch (const DecodeCancelled&) {
            } catch (const std::bad_alloc&) {
            }
        }
        if (stop.stop_requested())
            result.reset();
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
