#include <QApplication>
#include <QCoreApplication>

#include "app/command_line.h"
#include "app/startup.h"
#include "app/termination.h"
#include "files/replacing_file.h"
#include "files/stand_in_folder.h"
#include "desktop/instance_channel.h"
#include "runtime/app.h"

namespace {

void nameTheApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("kiriview"));
    QCoreApplication::setApplicationVersion(App::Version);
}

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = commandline::arguments(argc, argv);
    if (commandline::asksForTextOnly(arguments)) {
        // --help and --version answer without a display.
        QCoreApplication text(argc, argv);
        nameTheApplication();
        commandline::parse(arguments);
        return 0;
    }
    QApplication app(argc, argv);
    nameTheApplication();
    const QString path = commandline::parse(arguments);
    endOnTerminationSignals();
    // What killed runs of this user left: stand-in folders, temporary files of saves.
    StandInFolder::removeStale();
    ReplacingFile::removeLeftovers();
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
