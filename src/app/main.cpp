#include <QApplication>

#include "app/command_line.h"
#include "app/startup.h"
#include "app/termination.h"
#include "files/stand_in_folder.h"
#include "desktop/instance_channel.h"
#include "runtime/app.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kiriview"));
    QApplication::setApplicationVersion(QStringLiteral("2.1.0"));
    const QString path = commandline::parse(commandline::arguments(argc, argv));
    endOnTerminationSignals();
    StandInFolder::removeStale();
    // A path for a running instance goes there; without one the main window
    // still refuses the second start with its message.
    if (App::anotherInstanceRuns()) {
        if (!path.isEmpty() && instance::handOver(path))
            return 0;
    } else {
        commandline::listenForHandOvers();
    }
    if (!path.isEmpty())
        commandline::openPath(path);
    startApplication();
    return app.exec();
}
