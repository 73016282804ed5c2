// The preview is the user's alone, a root save keeps the owner, no other user's link is written
// through, no temporary file outlives its write, and only what the program made is ever swept.
#include <csignal>
#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include "encoder/save_jpeg.h"
#include "files/native_names.h"
#include "files/replacing_file.h"
#include "files/stand_in_folder.h"
#include "runtime/services.h"
#include "test_files.h"

namespace {

constexpr uid_t nobody = 65534;

struct stat statOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// Everything in a folder, hidden names included, sorted; the records' folder "door" aside.
QStringList namesIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    names.removeOne("door");
    return names;
}

void age(const QString& path)
{
    const timespec old[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, AT_SYMLINK_NOFOLLOW);
}

pid_t forked(const std::function<void()>& child)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        child();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? -pid : pid;
}

// A write's surroundings: a folder of its own for the records of temporary files, the
// failures a test injects step by step, and a file private to the user.
class PrivateFiles : public ScratchTest {
protected:
    PrivateFiles()
    {
        QDir(folder.path()).mkdir("door");
        ::chmod(QFile::encodeName(path("door")).constData(), 0700);
        Services stand;
        stand.lockFolder = path("door");
        stand.fileStep = [this](FileStep step, const QString&) { return failures.value(step, 0); };
        installed_.emplace(std::move(stand));
    }
    JpegStatus save(const QString& target, JpegTarget kind = JpegTarget::Chosen)
    {
        return saveJpeg(testPicture(40, 30), 40, 30, target, 70, kind);
    }
    QStringList entries() const { return namesIn(folder.path()); }
    // Saves to `target` in a child process that dies by SIGKILL at `step`.
    void killedAt(FileStep step, const QString& target)
    {
        ASSERT_LT(forked([&] {
            services().fileStep = [step, this](FileStep now, const QString&) {
                if (now == step)
                    ::raise(SIGKILL);
                return failures.value(now, 0);
            };
            save(target);
        }), 0) << "the write did not reach its step";
    }
    QString link(const QString& name, const QString& to, uid_t owner = ::geteuid())
    {
        const QByteArray at = QFile::encodeName(path(name));
        EXPECT_EQ(::symlink(QFile::encodeName(to).constData(), at.constData()), 0);
        EXPECT_EQ(::lchown(at.constData(), owner, gid_t(-1)), 0);
        return path(name);
    }
    QHash<FileStep, int> failures;
    std::optional<ScopedServices> installed_;
};

TEST_F(PrivateFiles, ThePreviewIsWritten600NewAndOverAnOpenOne)
{
    const QString preview = path("Sample.jpg");
    const mode_t saved = ::umask(022);
    ASSERT_EQ(save(preview, JpegTarget::ProgramOwn), JpegStatus::Written);
    ::umask(saved);
    EXPECT_EQ(statOf(preview).st_mode & 07777, 0600u);
    ::chmod(QFile::encodeName(preview).constData(), 0644);
    ASSERT_EQ(save(preview, JpegTarget::ProgramOwn), JpegStatus::Written);
    EXPECT_EQ(statOf(preview).st_mode & 07777, 0600u);
}

TEST_F(PrivateFiles, ARootSaveKeepsTheOwnerAndGroupOfTheReplacedFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    const QString target = write("theirs.jpg", "old");
    ASSERT_EQ(::chown(QFile::encodeName(target).constData(), nobody, 65533), 0);
    ::chmod(QFile::encodeName(target).constData(), 0640);
    ASSERT_EQ(save(target), JpegStatus::Written);
    const struct stat info = statOf(target);
    EXPECT_EQ(std::tuple(info.st_uid, info.st_gid, info.st_mode & 07777), std::tuple(nobody, gid_t(65533), 0640u));
}

// An unnamed temporary dies with the process. Where the file system has none, a killed save's
// named one goes at the next start; a fresh one, a person's files named like it, or put in its place, stay.
TEST_F(PrivateFiles, AKilledSaveLeavesTheOldFileAndItsTemporaryGoesLater)
{
    const QString target = write("target.jpg", "old");
    killedAt(FileStep::Write, target);
    EXPECT_EQ(entries(), QStringList{"target.jpg"});
    QStringList kept = {"target.jpg", "target.jpg.XyZ789", "target.jpg.backup", "target.jpg.mine01"};
    for (const QString& name : kept.mid(1))
        age(write(name));
    failures[FileStep::CreateUnnamed] = EOPNOTSUPP;
    killedAt(FileStep::Flush, target);
    ReplacingFile::removeLeftovers();
    ASSERT_EQ(entries().size(), 5) << "none made, or a fresh one (perhaps a write under way elsewhere) taken";
    killedAt(FileStep::Flush, target);
    QStringList made = entries();
    for (const QString& name : std::as_const(kept))
        made.removeOne(name);
    ASSERT_EQ(made.size(), 2);
    age(path(made[0]));
    ASSERT_TRUE(QFile::remove(path(made[1]))); // put in its place by a person: the same name, another file
    age(write(made[1], "a person's"));
    ReplacingFile::removeLeftovers();
    kept << made[1];
    kept.sort();
    EXPECT_EQ(entries(), kept);
    EXPECT_EQ(readBytes(target), "old");
}

// Each failure a disk can give, with and without unnamed files, and a folder turned read-only
// (nothing can be named or removed there any more): the old file stays and, once swept, nothing else.
TEST_F(PrivateFiles, EveryFailedWriteLeavesOnlyTheOldFile)
{
    const QString target = write("target.jpg", "old");
    const std::pair<FileStep, int> named = {FileStep::CreateUnnamed, EOPNOTSUPP};
    const struct { QHash<FileStep, int> failing; qsizetype left; } cases[] = {
        {{{FileStep::Write, ENOSPC}}, 1}, {{{FileStep::Flush, EIO}}, 1}, {{{FileStep::Name, EACCES}}, 1},
        {{{FileStep::Rename, EACCES}}, 1}, {{named, {FileStep::Write, ENOSPC}}, 1}, {{named, {FileStep::Flush, EIO}}, 1},
        {{named, {FileStep::Rename, EACCES}}, 1},
        {{{FileStep::Name, EROFS}, {FileStep::Rename, EROFS}, {FileStep::Remove, EROFS}, {FileStep::CreateNamed, EROFS}}, 1},
        {{named, {FileStep::Rename, EROFS}, {FileStep::Remove, EROFS}}, 2}, // stays until the folder is writable again
    };
    for (const auto& c : cases) {
        failures = c.failing;
        EXPECT_NE(save(target), JpegStatus::Written);
        EXPECT_EQ(entries().size(), c.left) << "failing at step " << int(c.failing.keys().back());
    }
    failures.clear();
    for (const QString& name : entries())
        age(path(name));
    ReplacingFile::removeLeftovers();
    EXPECT_EQ(entries(), QStringList{"target.jpg"});
    EXPECT_EQ(readBytes(target), "old");
    EXPECT_EQ(QDir(path("door")).entryList(QDir::Files | QDir::Hidden), QStringList()) << "records were left";
}

// The user's own links are followed, the file keeping its mode; a link of another user anywhere in the
// chain (theirs to the file, theirs to the user's own link, the user's own to theirs) is refused.
TEST_F(PrivateFiles, OnlyTheUsersOwnLinksAreWrittenThrough)
{
    const QString notes = write("notes.txt", "secret");
    ::chmod(QFile::encodeName(notes).constData(), 0640);
    const QString mine = link("mine.jpg", "notes.txt"), chained = link("chained.jpg", mine);
    if (::geteuid() == 0) { // a link of another user needs root to make (lchown)
        const QString theirs = link("photo.jpg", "notes.txt", nobody);
        for (const QString& target : {theirs, link("theirs2.jpg", mine, nobody), link("chained2.jpg", theirs)}) {
            EXPECT_EQ(save(target), JpegStatus::CannotOpen) << target.toStdString();
            EXPECT_TRUE(QFileInfo(target).isSymLink());
        }
        EXPECT_EQ(readBytes(notes), "secret");
        EXPECT_EQ(entries().size(), 6) << "something was left beside";
    }
    // A dangling link would make its target wherever it points.
    EXPECT_EQ(save(link("gone.jpg", "made.jpg")), JpegStatus::CannotOpen);
    EXPECT_FALSE(QFileInfo::exists(path("made.jpg")));
    ASSERT_EQ(save(chained), JpegStatus::Written);
    EXPECT_TRUE(readBytes(notes).startsWith("\xff\xd8"));
    EXPECT_EQ(statOf(notes).st_mode & 07777, 0640u);
}

// The folder is held from the check to the rename, and the rename never follows a link.
TEST_F(PrivateFiles, WhatChangesAfterTheCheckIsNotFollowed)
{
    const QString notes = write("notes.txt", "secret");
    QDir(folder.path()).mkpath("shown");
    QDir(folder.path()).mkpath("private");
    ReplacingFile file(write("shown/photo.jpg", "old"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // The folder moved away and a link to another one put in its place.
    ASSERT_TRUE(QDir(folder.path()).rename("shown", "moved"));
    link("shown", path("private"));
    file.write("new");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readBytes(path("moved/photo.jpg")), "new");
    EXPECT_FALSE(QFileInfo::exists(path("private/photo.jpg")));
    // The name swapped for a link: the link is replaced, not followed.
    ReplacingFile second(write("photo.jpg", "old"));
    ASSERT_TRUE(second.open(QIODevice::WriteOnly));
    QFile::remove(path("photo.jpg"));
    link("photo.jpg", notes);
    second.write("new");
    ASSERT_TRUE(second.commit());
    EXPECT_EQ(readBytes(notes), "secret");
    EXPECT_FALSE(QFileInfo(path("photo.jpg")).isSymLink());
}

// Stand-ins in a temporary folder of the test's own, each a link "shown" to the folder "pictures".
class StaleStandIns : public PrivateFiles {
protected:
    StaleStandIns()
    {
        qputenv("TMPDIR", QFile::encodeName(folder.path()));
        QDir(folder.path()).mkdir("pictures");
        write("pictures/a.jpg");
        ::mkdir((QFile::encodeName(folder.path()) + "/caf\xe9").constData(), 0700);
    }
    ~StaleStandIns() override
    {
        qputenv("TMPDIR", savedTemp_);
        std::filesystem::remove_all((QFile::encodeName(folder.path()) + "/caf\xe9").constData()); // Qt cannot name it
    }
    // In a folder Qt cannot name, which takes a stand-in to show.
    QString picture() const { return native_names::decode(QFile::encodeName(folder.path()) + "/caf\xe9/a.jpg"); }
    QStringList standIns(const QString& pattern = "kiriview-*") const { return QDir(folder.path()).entryList({pattern}, QDir::Dirs); }
    // Made by the program in a process that ended without removing it.
    QString leftByAKilledProcess()
    {
        const QStringList before = standIns();
        forked([this] { new StandInFolder(picture()); }); // never destroyed
        QStringList after = standIns();
        for (const QString& name : before)
            after.removeOne(name);
        EXPECT_EQ(after.size(), 1);
        return after.isEmpty() ? QString() : path(after.front());
    }
    const QByteArray savedTemp_ = qgetenv("TMPDIR");
};

// Only what the program made and marked as it made it: a folder named like a stand-in
// that a person made, or one of theirs the program once made, stays whole.
TEST_F(StaleStandIns, OnlyWhatTheProgramMadeAndMarkedGoes)
{
    const QString stale = leftByAKilledProcess();
    const StandInFolder running(picture());
    const QStringList live = standIns(QStringLiteral("kiriview-%1-*").arg(::getpid()));
    ASSERT_EQ(live.size(), 1) << "no stand-in named after this process's id";
    const QString ended = QString::number(forked([] {}));
    // A person's folders: photos; a hand-made copy of a stand-in, its mark copied too; a real one they put a file in.
    const QString photos = "kiriview-" + ended + "-photos", copied = "kiriview-" + ended + "-AbC123";
    for (const QString& made : {photos, copied, QString("kiriview-runtime-0"), "other-" + ended + "-AbC123"})
        QDir(folder.path()).mkpath(made);
    write(photos + "/a.jpg");
    link(copied + "/shown", path("pictures"));
    const QStringList marks = QDir(stale).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(marks.size(), 1) << "no mark in the stand-in";
    ASSERT_TRUE(QFile::copy(stale + '/' + marks[0], path(copied + '/' + marks[0])));
    const QString used = leftByAKilledProcess(), theirs = leftByAKilledProcess();
    write(used.mid(folder.path().size() + 1) + "/notes.txt");
    const QStringList inTheirs = namesIn(theirs) << "";
    for (const QString& name : inTheirs) // given to another user where the test may (as root)
        (void)!::lchown(QFile::encodeName(theirs + '/' + name).constData(), nobody, nobody);
    const QString linked = link("kiriview-" + ended + "-Link00", path("pictures"));
    StandInFolder::removeStale();
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_EQ(namesIn(path(live[0])).size(), 2) << "a running process's stand-in was touched";
    for (const QString& name : {path("kiriview-runtime-0"), path("other-" + ended + "-AbC123"), path(photos), path(copied), used})
        EXPECT_TRUE(QFileInfo(name).isDir()) << name.toStdString();
    EXPECT_EQ(namesIn(path(photos)), QStringList{"a.jpg"});
    EXPECT_EQ(namesIn(used).size(), 3);
    EXPECT_EQ(namesIn(path(copied)).size(), 2);
    EXPECT_EQ(namesIn(theirs).size(), ::geteuid() == 0 ? 2 : 0) << "another user's stand-in";
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(path("pictures/a.jpg"))) << "the link was followed";
}

} // namespace
