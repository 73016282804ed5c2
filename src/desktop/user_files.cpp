#include "desktop/user_files.h"

#include <cstdlib>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "runtime/app.h"
#include "files/paths.h"

namespace userfiles {
namespace {

const QString settingsName = QStringLiteral("kiriview.ini");
const QString previewName = QStringLiteral("Sample.jpg");
const QString programName = QStringLiteral("kiriview");

// Actually creating a file is the only honest answer: permissions, read-only
// mounts and root's overrides all show in it.
bool probeCreate(const QString& folder)
{
    QByteArray name = QFile::encodeName(fullPath(folder, QStringLiteral(".kiriview-probe-XXXXXX")));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(name.constData());
    return true;
}

// An XDG variable counts only when it holds an absolute path.
QString baseFolder(const QString& variable, const QString& home, const QString& fallback)
{
    if (QDir::isAbsolutePath(variable))
        return QDir::cleanPath(variable);
    return fullPath(home, fallback);
}

std::function<Environment()> environmentProvider;
std::optional<Locations> decided;
QString decidedFor;

} // namespace

QString Locations::settingsFile() const { return fullPath(settingsFolder, settingsName); }
QString Locations::previewFile() const { return fullPath(cacheFolder, previewName); }

Environment systemEnvironment()
{
    return {probeCreate, QDir::homePath(), qEnvironmentVariable("XDG_CONFIG_HOME"),
            qEnvironmentVariable("XDG_CACHE_HOME")};
}

Locations choose(const QString& programFolder, const Environment& env)
{
    if (env.canCreateFileIn(programFolder))
        return {true, programFolder, programFolder};
    Locations where;
    where.besideProgram = false;
    where.settingsFolder = fullPath(baseFolder(env.configHome, env.home, QStringLiteral(".config")), programName);
    where.cacheFolder = fullPath(baseFolder(env.cacheHome, env.home, QStringLiteral(".cache")), programName);
    return where;
}

void prepare(const Locations& where, const QString& programFolder)
{
    if (where.besideProgram)
        return;
    if (QDir().mkpath(where.settingsFolder))
        ::chmod(QFile::encodeName(where.settingsFolder).constData(), 0700);
    QDir().mkpath(where.cacheFolder);
    const QString preset = fullPath(programFolder, settingsName);
    // QFile::copy refuses an existing target, so the user's file is never replaced.
    if (!QFileInfo::exists(where.settingsFile()) && QFileInfo(preset).isReadable())
        if (QFile::copy(preset, where.settingsFile()))
            QFile::setPermissions(where.settingsFile(), QFile::ReadOwner | QFile::WriteOwner);
}

const Locations& current()
{
    const QString program = App::Path();
    if (!decided || decidedFor != program) {
        decided = choose(program, environmentProvider ? environmentProvider() : systemEnvironment());
        decidedFor = program;
        prepare(*decided, program);
    }
    return *decided;
}

void setEnvironment(std::function<Environment()> provider)
{
    environmentProvider = std::move(provider);
    decided.reset();
}

} // namespace userfiles
