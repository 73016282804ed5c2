#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "viewing/picture_model.h"

// Runs the event loop until the model has nothing on its way: its workers'
// results are queued to this thread.
inline bool settle(const PictureModel& model)
{
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    while (model.busy() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !model.busy();
}
