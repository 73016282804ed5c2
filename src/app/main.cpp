#include <cstdio>

#include <QApplication>
#include <QCoreApplication>

#include "app/command_line.h"
#include "app/startup.h"
#include "app/termination.h"
#include "files/native_names.h"
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
        const instance::Delivery delivery = path.isEmpty() ? instance::Delivery::NoListener : instance::handOver(path);
        if (delivery == instance::Delivery::Taken)
            return 0;
        if (delivery == instance::Delivery::Refused) {
            std::fprintf(stderr, "kiriview: the running instance did not take %s\n", native_names::encode(path).constData());
            return 1;
        }
    } else {
        commandline::listenForHandOvers();
    }
    if (!path.isEmpty())
        commandline::openPath(path);
    startApplication();
    return app.exec();
}
