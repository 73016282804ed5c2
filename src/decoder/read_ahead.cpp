#include "decoder/read_ahead.h"

#include <utility>

#include <QMetaObject>

ReadAhead::ReadAhead(Decoder decoder)
    : decoder_(std::move(decoder))
    , thread_([this] { run(); })
{
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        queue_.clear();
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ReadAhead::follow(const QString& current, const QStringList& neighbours)
{
    wanted_ = QStringList{current} + neighbours;
    std::erase_if(held_, [this](const auto& entry) { return !wanted_.contains(entry.first); });
    {
        const std::lock_guard lock(mutex_);
        queue_.clear();
        for (const QString& path : neighbours)
            if (path != current && !held_.contains(path) && path != running_ && !queue_.contains(path))
                queue_.append(path);
        if (!running_.isEmpty() && running_ != current && !neighbours.contains(running_))
            stop_ = true;
    }
    wake_.notify_one();
}

void ReadAhead::hold(const QString& path, const ShownPicture& shown)
{
    if (wanted_.contains(path))
        held_[path] = shown;
}

namespace {

// A picture read earlier describes the file only while the file still carries its stamp.
bool stillDescribes(const ShownPicture& shown, const QString& path)
{
    return shown.source && stampOf(path) == shown.source->stamp();
}

} // namespace

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
        std::unique_lock lock(mutex_);
        if (path.isEmpty() || running_ != path)
            return std::nullopt;
        awaited_ = path;
        finished_.wait(lock, [&] { return running_ != path; });
        awaited_.clear();
        result = std::exchange(awaitedResult_, std::nullopt);
    }
    // The file may have been replaced while the worker read it.
    if (result && !stillDescribes(*result, path))
        result.reset();
    return result;
}

void ReadAhead::clear() { follow(QString(), {}); }

bool ReadAhead::busy() const
{
    const std::lock_guard lock(mutex_);
    return !queue_.isEmpty() || unsettled_ > 0;
}

void ReadAhead::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !queue_.isEmpty(); });
        if (quit_)
            return;
        const QString path = queue_.takeFirst();
        running_ = path;
        stop_ = false;
        ++unsettled_;
        lock.unlock();
        std::optional<ShownPicture> result;
        try {
            result = decoder_(path, stop_);
        } catch (...) {
            // A file that fails here is decoded again when selected, and reports then.
        }
        lock.lock();
        if (stop_)
            result.reset();
        running_.clear();
        if (awaited_ == path) // handed over only when waited for, so no fourth picture lingers
            awaitedResult_ = result;
        finished_.notify_all();
        // Queued to this object: dropped unheard if it is destroyed first.
        QMetaObject::invokeMethod(this, [this, path, result] { settle(path, result); }, Qt::QueuedConnection);
    }
}

void ReadAhead::settle(const QString& path, const std::optional<ShownPicture>& result)
{
    --unsettled_;
    if (result && wanted_.contains(path) && !held_.contains(path))
        held_[path] = *result;
    emit settled(path);
}
