// The preview is the user's alone, a root save keeps the owner, stale stand-in folders go.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include "encoder/save_jpeg.h"
#include "files/native_names.h"
#include "files/replacing_file.h"
#include "files/stand_in_folder.h"
#include "test_files.h"

namespace {

struct stat statOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

int modeOf(const QString& path) { return int(statOf(path).st_mode & 07777); }

} // namespace

using PrivateFiles = ScratchTest;

TEST_F(PrivateFiles, ThePreviewIsWritten600NewAndOverAnOpenOne)
{
    const QImage picture = testPicture(40, 30);
    const QString preview = path("Sample.jpg");
    const mode_t saved = ::umask(022);
    ASSERT_EQ(saveJpeg(picture, 40, 30, preview, 50, JpegTarget::ProgramOwn), JpegStatus::Written);
    ::umask(saved);
    EXPECT_EQ(modeOf(preview), 0600);
    ::chmod(QFile::encodeName(preview).constData(), 0644);
    ASSERT_EQ(saveJpeg(picture, 40, 30, preview, 60, JpegTarget::ProgramOwn), JpegStatus::Written);
    EXPECT_EQ(modeOf(preview), 0600);
}

TEST_F(PrivateFiles, ARootSaveKeepsTheOwnerAndGroupOfTheReplacedFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    const QString target = write("theirs.jpg", "old");
    ASSERT_EQ(::chown(QFile::encodeName(target).constData(), 65534, 65533), 0);
    ::chmod(QFile::encodeName(target).constData(), 0640);
    ReplacingFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("new");
    ASSERT_TRUE(file.commit());
    const struct stat info = statOf(target);
    EXPECT_EQ(std::tuple(info.st_uid, info.st_gid, info.st_mode & 07777), std::tuple(uid_t(65534), gid_t(65533), 0640u));
    EXPECT_EQ(readBytes(target), "new");
}

// Only the killed write's own leftovers go: a fresh one may be a write under way.
TEST_F(PrivateFiles, OnlyQuietLeftoversOfTheTargetAreRemoved)
{
    const QString target = write("Sample.jpg");
    QStringList kept = {"Sample.jpg.fresh1", "Sample.jpg.ab12", "Sample.jpg.ab-123", "Other.jpg.abc123", "Sample.jpg.lnk123"};
    for (const QString& name : QStringList{"Sample.jpg.abc123", "Sample.jpg.XyZ789"} + kept.mid(1, 3)) {
        QFile file(write(name));
        ASSERT_TRUE(file.open(QIODevice::Append) && file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
    }
    write("Sample.jpg.fresh1");
    const QByteArray link = QFile::encodeName(path("Sample.jpg.lnk123"));
    const timespec old[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    ASSERT_EQ(::symlink("Sample.jpg.abc123", link.constData()) | ::utimensat(AT_FDCWD, link.constData(), old, AT_SYMLINK_NOFOLLOW), 0);
    ReplacingFile::removeLeftovers(target);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::System, QDir::Name),
              (QStringList{"Other.jpg.abc123", "Sample.jpg", "Sample.jpg.ab-123", "Sample.jpg.ab12", "Sample.jpg.fresh1", "Sample.jpg.lnk123"}));
}

namespace {

class StaleStandIns : public ScratchTest {
protected:
    void SetUp() override
    {
        savedTemp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(folder.path()));
        QDir(folder.path()).mkdir("pictures");
        write("pictures/a.jpg");
    }
    void TearDown() override { qputenv("TMPDIR", savedTemp_); }
    // A stand-in as its process leaves it: a link to the folder `pictures` it shows.
    QString standIn(pid_t pid, const char* suffix = "AbC123")
    {
        const QString name = QStringLiteral("kiriview-%1-%2").arg(pid).arg(suffix);
        EXPECT_TRUE(QDir(folder.path()).mkdir(name));
        EXPECT_EQ(::symlink(QFile::encodeName(shown()).constData(), QFile::encodeName(path(name + "/shown")).constData()), 0);
        return path(name);
    }
    QString shown() const { return path("pictures"); }
    static pid_t endedProcess()
    {
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(0);
        ::waitpid(pid, nullptr, 0);
        return pid;
    }
    QByteArray savedTemp_;
};

} // namespace

TEST_F(StaleStandIns, OnlyOwnFoldersOfEndedProcessesGo)
{
    const pid_t ended = endedProcess();
    const QString live = standIn(::getpid()), stale = standIn(ended);
    // Only names the program makes: not its door folder, not a name of another program, not a link.
    const QStringList kept = {path("kiriview-runtime-0"), path(QStringLiteral("other-%1-AbC123").arg(ended)),
                              path(QStringLiteral("kiriview-%1-Link00").arg(ended))};
    QDir().mkdir(kept[0]);
    QDir().mkdir(kept[1]);
    ASSERT_EQ(::symlink(QFile::encodeName(shown()).constData(), QFile::encodeName(kept[2]).constData()), 0);
    QString foreign;
    if (::geteuid() == 0) {
        foreign = standIn(ended, "Other0");
        ASSERT_EQ(::lchown(QFile::encodeName(foreign + "/shown").constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
    }
    StandInFolder::removeStale();
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(live + "/shown"));
    for (const QString& name : kept)
        EXPECT_TRUE(QFileInfo(name).isDir()) << name.toStdString();
    EXPECT_TRUE(QFileInfo(kept[2]).isSymLink());
    EXPECT_TRUE(foreign.isEmpty() || QFileInfo(foreign + "/shown").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(shown() + "/a.jpg")) << "the link was followed";
}

TEST_F(StaleStandIns, AStandInCarriesThePidOfItsProcess)
{
    const QByteArray invalid = QFile::encodeName(folder.path()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(invalid.constData(), 0700), 0);
    StandInFolder standIn(native_names::decode(invalid) + "/a.jpg");
    const QStringList made = QDir(folder.path()).entryList({"kiriview-*"}, QDir::Dirs);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(made.front().startsWith(QStringLiteral("kiriview-%1-").arg(::getpid()))) << made.front().toStdString();
}
