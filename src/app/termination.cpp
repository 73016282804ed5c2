#include "app/termination.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "main_window/main_window.h"
#include "save_dialog/save_dialog.h"
#include "ui/forms.h"
#include "viewing/picture_model.h"

namespace {

int signalPipe[2] = {-1, -1};

// Runs inside the signal: only write() is safe here.
void onSignal(int)
{
    const char byte = 1;
    const int saved = errno;
    (void)!::write(signalPipe[1], &byte, 1);
    errno = saved;
}

// A box's own loop has to unwind before the program may end: a loop left by a
// quit would return from a question as if it had been answered.
void closeStep(int triesLeft)
{
    const bool inner = QThread::currentThread()->loopLevel() > 1;
    if (QWidget* box = QApplication::activeModalWidget())
        box->close();
    else if (!inner || triesLeft <= 0) {
        MainWindow* window = nullptr;
        for (QWidget* shown : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<MainWindow*>(shown); forms::isLoaded(found))
                window = found;
        if (window && window->saveDialog())
            window->saveDialog()->close();
        if (window) {
            // Nothing on its way arrives any more, and a wait for a picture lets the windows go.
            window->model().stop();
            window->quit();
        }
        else
            QCoreApplication::quit();
        return;
    }
    QTimer::singleShot(20, qApp, [triesLeft] { closeStep(triesLeft - 1); });
}

} // namespace

void endLikeTheCloseBox() { closeStep(500); }

void endOnTerminationSignals()
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        endLikeTheCloseBox();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
