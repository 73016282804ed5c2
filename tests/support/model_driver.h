#pragma once

#include <mutex>
#include <semaphore>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>

#include "decoder/jpeg_decoder.h"
#include "decoder/picture_source.h"
#include "runtime/services.h"
#include "viewing/picture_model.h"

// Runs the event loop until the model has nothing on its way.
inline bool settle(const PictureModel& model)
{
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    while (model.busy() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !model.busy();
}

// The window's decoder: holds each picture until `gate` lets one go; notes what began and what found itself stopped.
struct HeldDecoder {
    HeldDecoder()
    {
        services().decodeForView = [this](const QString& path, QSize box, std::stop_token stop) {
            note(started, path);
            began.release();
            gate.acquire();
            if (stop.stop_requested()) {
                note(stopped, path);
                throw DecodeCancelled();
            }
            return readForView(path, box, stop);
        };
    }
    void note(QStringList& list, const QString& path)
    {
        const std::lock_guard lock(mutex);
        list.append(path);
    }
    std::pair<QStringList, QStringList> startedAndStopped()
    {
        const std::lock_guard lock(mutex);
        return {started, stopped};
    }
    std::counting_semaphore<> began{0}, gate{0};
    std::mutex mutex;
    QStringList started, stopped;
};
