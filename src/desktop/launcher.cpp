#include "desktop/launcher.h"

#include <QDir>
#include <QStandardPaths>

#include "desktop/detached_process.h"
#include "runtime/run_time_error.h"
#include "runtime/services.h"

namespace {


// Clipboard viewers in order of preference, each with the arguments that
// bring its window up.
std::vector<DesktopLauncher::Program> knownClipboardViewers()
{
    return {
        {QStringLiteral("xclipboard"), {}},
        {QStringLiteral("copyq"), {QStringLiteral("show")}},
        {QStringLiteral("gpaste-client"), {QStringLiteral("ui")}},
        {QStringLiteral("diodon"), {}},
        {QStringLiteral("parcellite"), {}},
        {QStringLiteral("clipit"), {}},
        {QStringLiteral("clipbrd"), {}},
    };
}

QString desktopOpener()
{
    return QStringLiteral("xdg-open");
}

[[noreturn]] void cannotStart(const QString& what)
{
    throw RunTimeError(RunTimeError::FileNotFound, "cannot start: " + what.toStdString());
}

} // namespace

Launcher& launcher()
{
    static DesktopLauncher desktop;
    return services().launcher ? *services().launcher : desktop;
}

DesktopLauncher::DesktopLauncher()
    : opener_(desktopOpener())
    , viewers_(knownClipboardViewers())
{
}

QString DesktopLauncher::openerArgument(const QString& name)
{
    if (name.startsWith(QLatin1Char('-')))
        return QStringLiteral("./") + name;
    return name;
}

DesktopLauncher::Program DesktopLauncher::clipboardViewer() const
{
    for (const Program& viewer : viewers_) {
        const QString found = QStandardPaths::findExecutable(viewer.name, searchPath_);
        if (!found.isEmpty())
            return {found, viewer.arguments};
    }
    return {};
}

namespace {

// An argument list, never a shell: quotes, ";", "$(...)" and newlines in a
// name are only characters of that name, and its bytes are passed as they are.
void start(const DesktopLauncher::Program& program)
{
    if (!startDetachedWithNativeNames(program.name, program.arguments))
        cannotStart(program.name);
}

} // namespace

void DesktopLauncher::open(const QString& path, std::function<void()> failed)
{
    if (path.isEmpty())
        cannotStart(path);
    const bool started = startWatchedWithNativeNames(opener_, {openerArgument(path)}, [failed](bool succeeded) {
        if (!succeeded && failed)
            failed();
    });
    if (!started)
        cannotStart(opener_);
}

void DesktopLauncher::openClipboardViewer()
{
    const Program viewer = clipboardViewer();
    if (viewer.name.isEmpty())
        cannotStart(QStringLiteral("a clipboard viewer"));
    start(viewer);
}
