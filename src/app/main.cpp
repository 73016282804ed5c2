#include <QApplication>

#include "app/command_line.h"
#include "app/startup.h"
#include "runtime/app.h"
#include "desktop/instance_channel.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kiriview"));
    QApplication::setApplicationVersion(App::Version);
    const QString path = commandline::parse(commandline::arguments(argc, argv));
    // A path for a running instance goes there; without one the main window
    // still refuses the second start with its message.
    if (App::PrevInstance()) {
        if (!path.isEmpty() && instance::handOver(path))
            return 0;
    } else {
        instance::listen(commandline::openPath);
    }
    if (!path.isEmpty())
        commandline::openPath(path);
    startApplication();
    return app.exec();
}
