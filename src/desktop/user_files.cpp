#include "desktop/user_files.h"

#include <cerrno>
#include <cstdlib>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "runtime/app.h"
#include "runtime/services.h"
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
    // An unnamed file leaves no name behind, whatever happens; a named one is
    // the fallback where the file system has none.
    const int unnamed = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        ::close(unnamed);
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return false;
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

// Makes the folder and keeps it the user's alone; one the user does not own is left as it is.
void makePrivateFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return;
    const QByteArray name = QFile::encodeName(folder);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) != 0)
        ::chmod(name.constData(), 0700);
}

std::optional<Locations> decided;
QString decidedFor;
bool decidedByStandIn = false;

} // namespace

QString Locations::settingsFile() const { return fullPath(settingsFolder, settingsName); }
QString Locations::previewFile() const { return fullPath(cacheFolder, previewName); }

Environment systemEnvironment()
{
    return {probeCreate, QDir::homePath(), qEnvironmentVariable("XDG_CONFIG_HOME"),
            qEnvironmentVariable("XDG_CACHE_HOME"), qEnvironmentVariable("XDG_CONFIG_DIRS")};
}

bool isInstalled(const QString& programFolder)
{
    const QString folder = QDir::cleanPath(programFolder);
    return nameOf(folder) == QStringLiteral("bin")
           && QFileInfo::exists(fullPath(folderOf(folder), QStringLiteral("share/applications/kiriview.desktop")));
}

Locations choose(const QString& programFolder, const Environment& env)
{
    if (!isInstalled(programFolder) && env.canCreateFileIn(programFolder))
        return {true, programFolder, programFolder};
    Locations where;
    where.besideProgram = false;
    where.settingsFolder = fullPath(baseFolder(env.configHome, env.home, QStringLiteral(".config")), programName);
    where.cacheFolder = fullPath(baseFolder(env.cacheHome, env.home, QStringLiteral(".cache")), programName);
    return where;
}

QString presetFile(const QString& programFolder, const Environment& env)
{
    // The copy beside the program comes first: it belongs to this very copy,
    // and it is where presets were kept before the config dirs were read.
    QStringList candidates{fullPath(programFolder, settingsName)};
    QStringList dirs = env.configDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dirs.isEmpty())
        dirs << QStringLiteral("/etc/xdg");
    for (const QString& dir : dirs)
        if (QDir::isAbsolutePath(dir))
            candidates << fullPath(fullPath(dir, programName), settingsName);
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile() && QFileInfo(candidate).isReadable())
            return candidate;
    return {};
}

void prepare(const Locations& where, const QString& programFolder, const Environment& env)
{
    if (where.besideProgram)
        return;
    makePrivateFolder(where.settingsFolder);
    makePrivateFolder(where.cacheFolder);
    const QString preset = presetFile(programFolder, env);
    // QFile::copy refuses an existing target, so the user's file is never replaced.
    if (!preset.isEmpty() && !QFileInfo::exists(where.settingsFile()))
        if (QFile::copy(preset, where.settingsFile()))
            QFile::setPermissions(where.settingsFile(), QFile::ReadOwner | QFile::WriteOwner);
}

const Locations& current()
{
    const QString program = App::path();
    const auto& standIn = services().userEnvironment;
    // A stand-in's answer holds only while it is installed.
    if (!decided || decidedFor != program || decidedByStandIn || standIn) {
        const Environment env = standIn ? standIn() : systemEnvironment();
        decided = choose(program, env);
        decidedFor = program;
        decidedByStandIn = bool(standIn);
        prepare(*decided, program, env);
    }
    return *decided;
}

} // namespace userfiles
