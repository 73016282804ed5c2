#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <utility>

// One full-size decode at a time, the window's first. A progressive JPEG holds
// every coefficient of the picture while it decodes (about 2 bytes a sample),
// so two at once would double the peak. A read-ahead decode waits while the
// window decodes or waits to; the window waits only for a read-ahead decode
// already under way, which it has told to stop.
class DecodeSlot {
public:
    // The slot held for one decode, given back when it goes.
    class Turn {
    public:
        explicit Turn(DecodeSlot* slot = nullptr)
            : slot_(slot)
        {
        }
        Turn(Turn&& other) noexcept
            : slot_(std::exchange(other.slot_, nullptr))
        {
        }
        Turn& operator=(Turn&&) = delete;
        ~Turn()
        {
            if (slot_)
                slot_->give();
        }
        explicit operator bool() const { return slot_ != nullptr; }

    private:
        DecodeSlot* slot_;
    };

    // An empty turn when a stop was requested while waiting.
    Turn forWindow(std::stop_token stop)
    {
        std::unique_lock lock(mutex_);
        ++windowsWaiting_;
        const bool free = changed_.wait(lock, stop, [this] { return !taken_; });
        --windowsWaiting_;
        return take(free);
    }
    Turn forReadAhead(std::stop_token stop)
    {
        std::unique_lock lock(mutex_);
        ++readAheadsWaiting_;
        const bool free = changed_.wait(lock, stop, [this] { return !taken_ && windowsWaiting_ == 0; });
        --readAheadsWaiting_;
        return take(free);
    }
    // A read-ahead decode is waiting for its turn.
    bool readAheadWaits() const
    {
        const std::lock_guard lock(mutex_);
        return readAheadsWaiting_ > 0;
    }
    bool windowWaits() const
    {
        const std::lock_guard lock(mutex_);
        return windowsWaiting_ > 0;
    }

private:
    Turn take(bool free)
    {
        if (!free)
            return Turn();
        taken_ = true;
        return Turn(this);
    }
    void give()
    {
        {
            const std::lock_guard lock(mutex_);
            taken_ = false;
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool taken_ = false;
    int windowsWaiting_ = 0;
    int readAheadsWaiting_ = 0;
};
