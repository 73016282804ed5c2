// The preview is the user's alone, a root save keeps the owner, no other user's link is written
// through, no temporary file outlives its write, and only what the program made is ever swept.
#include <csignal>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
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

struct stat statOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

int modeOf(const QString& path) { return int(statOf(path).st_mode & 07777); }

// Everything in a folder, hidden names included, sorted; the records' folder "door" aside.
QStringList namesIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    names.removeOne("door");
    return names;
}

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

namespace {

// A write's surroundings: a folder of its own for the records of temporary files, and
// the failures a test injects, step by step.
class Leftovers : public ScratchTest {
protected:
    Leftovers()
    {
        QDir(folder.path()).mkdir("door");
        ::chmod(QFile::encodeName(path("door")).constData(), 0700);
        Services stand;
        stand.lockFolder = path("door");
        stand.fileStep = [this](FileStep step, const QString&) { return failures.value(step, 0); };
        installed_.emplace(std::move(stand));
    }
    JpegStatus save(const QString& target) { return saveJpeg(picture, 40, 30, target, 70, JpegTarget::Chosen); }
    QStringList entries() const { return namesIn(folder.path()); }
    // Runs `write` in a child process that dies by SIGKILL at `step`.
    void killedAt(FileStep step, const std::function<void()>& write)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            services().fileStep = [step, this](FileStep now, const QString&) {
                if (now == step)
                    ::raise(SIGKILL);
                return failures.value(now, 0);
            };
            write();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the write did not reach its step";
    }
    static void age(const QString& name)
    {
        const timespec old[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(name).constData(), old, AT_SYMLINK_NOFOLLOW);
    }
    const QImage picture = testPicture(40, 30);
    QHash<FileStep, int> failures;
    std::optional<ScopedServices> installed_;
};

} // namespace

// A person's files named like temporary ones are never the program's to remove.
TEST_F(Leftovers, APersonsFilesBesideThePreviewStay)
{
    const QStringList names = {"Sample.jpg", "Sample.jpg.XyZ789", "Sample.jpg.backup", "Sample.jpg.mine01"};
    for (const QString& name : names)
        age(write(name));
    ReplacingFile::removeLeftovers();
    EXPECT_EQ(entries(), names);
}

TEST_F(Leftovers, AKilledSaveLeavesOnlyTheOldFile)
{
    const QString target = write("target.jpg", "old");
    for (const FileStep step : {FileStep::Write, FileStep::Flush}) {
        killedAt(step, [&] { save(target); });
        EXPECT_EQ(entries(), QStringList{"target.jpg"}) << "killed at step " << int(step);
    }
    EXPECT_EQ(readBytes(target), "old");
}

// Where the file system has no unnamed files, a killed save's named one goes at the next start.
TEST_F(Leftovers, ANamedTemporaryOfAKilledSaveGoesAtTheNextStart)
{
    const QString target = write("target.jpg", "old");
    age(write("target.jpg.mine01"));
    failures[FileStep::CreateUnnamed] = EOPNOTSUPP;
    killedAt(FileStep::Flush, [&] { save(target); });
    ASSERT_EQ(entries().size(), 3) << "no named temporary file was made";
    ReplacingFile::removeLeftovers();
    ASSERT_EQ(entries().size(), 3) << "a fresh one may be a write under way elsewhere";
    // A second one, then put in its place by a person: the same name, another file.
    killedAt(FileStep::Flush, [&] { save(target); });
    QStringList names = entries();
    names.removeOne("target.jpg");
    for (const QString& name : names)
        age(path(name));
    ASSERT_EQ(names.size(), 3);
    const QString replaced = names[0] == "target.jpg.mine01" ? names[1] : names[0];
    ASSERT_TRUE(QFile::remove(path(replaced)));
    age(write(replaced, "a person's"));
    ReplacingFile::removeLeftovers();
    QStringList kept = {"target.jpg", replaced, "target.jpg.mine01"};
    kept.sort(); // in the folder listing's order: the random suffix may sort after "mine01"
    EXPECT_EQ(entries(), kept);
    EXPECT_EQ(readBytes(target), "old");
}

// Each failure a disk can give, with and without unnamed files: the old file stays, nothing else.
TEST_F(Leftovers, EveryFailedWriteRemovesItsTemporaryFile)
{
    const QString target = write("target.jpg", "old");
    for (const bool unnamed : {true, false}) {
        for (const auto& [step, error] : {std::pair(FileStep::Write, ENOSPC), std::pair(FileStep::Flush, EIO),
                                          std::pair(FileStep::Name, EACCES), std::pair(FileStep::Rename, EACCES)}) {
            if (step == FileStep::Name && !unnamed)
                continue; // a named file needs no naming
            failures.clear();
            if (!unnamed)
                failures[FileStep::CreateUnnamed] = EOPNOTSUPP;
            failures[step] = error;
            EXPECT_NE(save(target), JpegStatus::Written);
            EXPECT_EQ(entries(), QStringList{"target.jpg"}) << (unnamed ? "unnamed" : "named") << ", failed at step " << int(step);
        }
    }
    EXPECT_EQ(readBytes(target), "old");
    EXPECT_EQ(QDir(path("door")).entryList(QDir::Files | QDir::Hidden), QStringList()) << "records were left";
}

// A folder made read-only during a save: nothing can be named or removed there any more.
TEST_F(Leftovers, AFolderTurnedReadOnlyKeepsNoCompleteTemporary)
{
    const QString target = write("target.jpg", "old");
    for (const FileStep step : {FileStep::Name, FileStep::Rename, FileStep::Remove, FileStep::CreateNamed})
        failures[step] = EROFS;
    EXPECT_EQ(save(target), JpegStatus::CannotWrite);
    EXPECT_EQ(entries(), QStringList{"target.jpg"});
    // Without unnamed files the named one stays until the folder can be written again.
    failures = {{FileStep::CreateUnnamed, EOPNOTSUPP}, {FileStep::Rename, EROFS}, {FileStep::Remove, EROFS}};
    EXPECT_EQ(save(target), JpegStatus::CannotWrite);
    ASSERT_EQ(entries().size(), 2);
    failures.clear();
    for (const QString& name : entries())
        age(path(name));
    ReplacingFile::removeLeftovers();
    EXPECT_EQ(entries(), QStringList{"target.jpg"});
    EXPECT_EQ(readBytes(target), "old");
}

namespace {

// Links in a folder anyone may write to, and a file private to the user running the program.
class Links : public ScratchTest {
protected:
    Links() { notes = write("notes.txt", "secret"); ::chmod(QFile::encodeName(notes).constData(), 0600); }
    QString link(const QString& name, const QString& to, uid_t owner = ::geteuid())
    {
        const QByteArray at = QFile::encodeName(path(name));
        EXPECT_EQ(::symlink(QFile::encodeName(to).constData(), at.constData()), 0);
        EXPECT_EQ(::lchown(at.constData(), owner, gid_t(-1)), 0);
        return path(name);
    }
    JpegStatus save(const QString& target) { return saveJpeg(testPicture(40, 30), 40, 30, target, 70, JpegTarget::Chosen); }
    QString notes;
};

} // namespace

TEST_F(Links, TheUsersOwnLinksAreFollowed)
{
    const QString mine = link("mine.jpg", "notes.txt");
    const QString chained = link("chained.jpg", mine);
    EXPECT_EQ(ReplacingFile::destination(chained), QFileInfo(notes).canonicalFilePath());
    EXPECT_EQ(ReplacingFile::destination(notes), notes) << "not a link: the name as given";
    ASSERT_EQ(save(chained), JpegStatus::Written);
    EXPECT_TRUE(readBytes(notes).startsWith("\xff\xd8"));
    EXPECT_TRUE(QFileInfo(mine).isSymLink() && QFileInfo(chained).isSymLink());
    EXPECT_EQ(modeOf(notes), 0600);
}

TEST_F(Links, AnotherUsersLinkIsNotWrittenThrough)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root to make (lchown); not checked as this user";
    // Theirs to the file, theirs to the user's own link, and the user's own to theirs.
    const QString theirs = link("photo.jpg", "notes.txt", 65534);
    const QString mine = link("mine.jpg", "notes.txt");
    const QStringList refused = {theirs, link("theirs2.jpg", mine, 65534), link("chained.jpg", theirs)};
    for (const QString& target : refused) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_EQ(ReplacingFile::destination(target), std::nullopt);
        EXPECT_EQ(save(target), JpegStatus::CannotOpen);
        EXPECT_EQ(readBytes(notes), "secret");
        EXPECT_TRUE(QFileInfo(target).isSymLink());
    }
    EXPECT_EQ(namesIn(folder.path()).size(), 5) << "something was left beside";
}

// A check is worth nothing if the place can change before the write: the folder
// is held from the check to the rename, and the rename never follows a link.
TEST_F(Links, WhatChangesAfterTheCheckIsNotFollowed)
{
    QDir(folder.path()).mkpath("shown");
    QDir(folder.path()).mkpath("private");
    const QString target = write("shown/photo.jpg", "old");
    const QString hidden = write("private/photo.jpg", "private");
    ReplacingFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // The folder moved away and a link to another one put in its place.
    ASSERT_TRUE(QDir(folder.path()).rename("shown", "moved"));
    link("shown", path("private"));
    file.write("new");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readBytes(hidden), "private");
    EXPECT_EQ(readBytes(path("moved/photo.jpg")), "new");
    // The name swapped for a link after the check: the link is replaced, not followed.
    const QString again = write("photo.jpg", "old");
    ReplacingFile second(again);
    ASSERT_TRUE(second.open(QIODevice::WriteOnly));
    QFile::remove(again);
    link("photo.jpg", notes);
    second.write("new");
    ASSERT_TRUE(second.commit());
    EXPECT_EQ(readBytes(notes), "secret");
    EXPECT_FALSE(QFileInfo(again).isSymLink());
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
    void TearDown() override
    {
        live_.reset();
        qputenv("TMPDIR", savedTemp_);
    }
    // A stand-in as its process leaves it: a link to the folder `pictures` it shows.
    QString standIn(pid_t pid, const char* suffix = "AbC123")
    {
        const QString name = QStringLiteral("kiriview-%1-%2").arg(pid).arg(suffix);
        EXPECT_TRUE(QDir(folder.path()).mkdir(name));
        EXPECT_EQ(::symlink(QFile::encodeName(shown()).constData(), QFile::encodeName(path(name + "/shown")).constData()), 0);
        return path(name);
    }
    QString shown() const { return path("pictures"); }
    // A stand-in made by the program in a process that ended without removing it.
    QString leftByAKilledProcess()
    {
        const QStringList before = QDir(folder.path()).entryList({"kiriview-*"}, QDir::Dirs);
        const pid_t child = ::fork();
        if (child == 0) {
            new StandInFolder(invalidFolder() + "/a.jpg"); // never destroyed
            ::_exit(0);
        }
        ::waitpid(child, nullptr, 0);
        QStringList after = QDir(folder.path()).entryList({"kiriview-*"}, QDir::Dirs);
        for (const QString& name : before)
            after.removeOne(name);
        EXPECT_EQ(after.size(), 1);
        return after.isEmpty() ? QString() : path(after.front());
    }
    // One made by this process, which still runs.
    QString madeHere()
    {
        live_ = std::make_unique<StandInFolder>(invalidFolder() + "/a.jpg");
        const QStringList all = QDir(folder.path()).entryList({QStringLiteral("kiriview-%1-*").arg(::getpid())}, QDir::Dirs);
        return all.size() == 1 ? path(all.front()) : QString();
    }
    // A folder Qt cannot name, which takes a stand-in to show.
    QString invalidFolder() const
    {
        const QByteArray invalid = QFile::encodeName(folder.path()) + "/caf\xe9";
        ::mkdir(invalid.constData(), 0700);
        return native_names::decode(invalid);
    }
    std::unique_ptr<StandInFolder> live_;
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

// Only what the program made and marked as it made it: a folder named like a stand-in
// that a person made, or one of theirs the program once made, stays whole.
TEST_F(StaleStandIns, OnlyWhatTheProgramMadeAndMarkedGoes)
{
    const QString stale = leftByAKilledProcess(), live = madeHere();
    ASSERT_FALSE(live.isEmpty()) << "no stand-in named after this process's id";
    const pid_t ended = endedProcess();
    // A person's folders: photos; a hand-made copy of a stand-in, its mark copied too; a real one they put a file in.
    const QString photos = path(QStringLiteral("kiriview-%1-photos").arg(ended));
    QDir().mkdir(photos);
    write(photos.mid(folder.path().size() + 1) + "/a.jpg");
    write(photos.mid(folder.path().size() + 1) + "/b.jpg");
    const QString copied = standIn(ended);
    const QStringList marks = QDir(stale).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(marks.size(), 1) << "no mark in the stand-in";
    ASSERT_TRUE(QFile::copy(stale + '/' + marks[0], copied + '/' + marks[0]));
    const QString used = leftByAKilledProcess();
    write(used.mid(folder.path().size() + 1) + "/notes.txt");
    const QStringList kept = {path("kiriview-runtime-0"), path(QStringLiteral("other-%1-AbC123").arg(ended)), photos, copied, used};
    QDir().mkdir(kept[0]);
    QDir().mkdir(kept[1]);
    const QString link = path(QStringLiteral("kiriview-%1-Link00").arg(ended));
    ASSERT_EQ(::symlink(QFile::encodeName(shown()).constData(), QFile::encodeName(link).constData()), 0);
    StandInFolder::removeStale();
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_EQ(namesIn(live).size(), 2) << "a running process's stand-in was touched";
    for (const QString& name : kept)
        EXPECT_TRUE(QFileInfo(name).isDir()) << name.toStdString();
    EXPECT_EQ(namesIn(photos), (QStringList{"a.jpg", "b.jpg"}));
    EXPECT_EQ(namesIn(used).size(), 3);
    EXPECT_EQ(namesIn(copied).size(), 2);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(shown() + "/a.jpg")) << "the link was followed";
}

TEST_F(StaleStandIns, AnotherUsersStandInStays)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a folder of another user needs root to make (chown); not checked as this user";
    const QString theirs = leftByAKilledProcess();
    for (const QString& name : namesIn(theirs))
        ASSERT_EQ(::lchown(QFile::encodeName(theirs + '/' + name).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
    StandInFolder::removeStale();
    EXPECT_EQ(namesIn(theirs).size(), 2);
}
