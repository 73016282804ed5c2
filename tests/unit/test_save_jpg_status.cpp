// The encoder's statuses, and that no failure harms an existing file or
// leaves a temporary one behind.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "encoder/save_jpg.h"

#include "jpeg_test_files.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace jpeg_test;

namespace {

class EncoderStatus : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        picture = photoLike(160, 120);
    }

    QString pathOf(const QString& name) const { return folder.filePath(name); }

    std::int16_t save(const QString& path, std::uint8_t quality = 50) const
    {
        return DCSavetoJPEG(picture, picture.width(), picture.height(), path, quality, 0);
    }

    QTemporaryDir folder;
    QImage picture;
};

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

TEST_F(EncoderStatus, ArgumentsThatDoNotFitThePictureAreAFormatErrorAndWriteNothing)
{
    const int w = picture.width();
    const int h = picture.height();
    struct Case {
        const char* what;
        QImage picture;
        int width;
        int height;
        int quality;
    };
    const Case cases[] = {
        {"null picture", QImage(), 0, 0, 50},
        {"null picture with a size", QImage(), w, h, 50},
        {"quality 0", picture, w, h, 0},
        {"quality 101", picture, w, h, 101},
        {"quality 255", picture, w, h, 255},
        {"width 0", picture, 0, h, 50},
        {"negative width", picture, -w, h, 50},
        {"height 0", picture, w, 0, 50},
        {"negative height", picture, w, -1, 50},
        {"width too large", picture, w + 1, h, 50},
        {"height too small", picture, w, h - 1, 50},
        {"width and height swapped", picture, h, w, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DCSavetoJPEG(c.picture, c.width, c.height, pathOf("out.jpg"),
                               static_cast<std::uint8_t>(c.quality), 0),
                  jpeg_status::FormatError);
        EXPECT_TRUE(entriesOf(folder.path()).isEmpty());
    }
}

TEST_F(EncoderStatus, PictureWiderThanJpegAllowsIsAFormatError)
{
    // 65500 pixels is the widest a JPEG file can describe.
    QImage wide(65501, 1, QImage::Format_RGB32);
    wide.fill(Qt::gray);
    EXPECT_EQ(DCSavetoJPEG(wide, wide.width(), 1, pathOf("wide.jpg"), 50, 0),
              jpeg_status::FormatError);
    EXPECT_TRUE(entriesOf(folder.path()).isEmpty());

    QImage widest(65500, 1, QImage::Format_RGB32);
    widest.fill(Qt::gray);
    EXPECT_EQ(DCSavetoJPEG(widest, widest.width(), 1, pathOf("widest.jpg"), 50, 0),
              jpeg_status::Written);
}

TEST_F(EncoderStatus, FolderThatCannotHoldTheFileCannotBeOpened)
{
    ASSERT_TRUE(writeFile(pathOf("plain.txt"), "not a folder"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));

    EXPECT_EQ(save(pathOf("missing/out.jpg")), jpeg_status::CannotOpen);
    EXPECT_EQ(save(pathOf("plain.txt/out.jpg")), jpeg_status::CannotOpen);
    EXPECT_EQ(save(pathOf("sub")), jpeg_status::CannotOpen) << "the target is a folder";
    EXPECT_EQ(save(QString()), jpeg_status::CannotOpen);

    EXPECT_EQ(entriesOf(folder.path()), (QStringList{"plain.txt", "sub"}));
    EXPECT_TRUE(entriesOf(pathOf("sub")).isEmpty());
    EXPECT_EQ(fileBytes(pathOf("plain.txt")), "not a folder");
}

TEST_F(EncoderStatus, ReadOnlyFolderCannotBeOpened)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root writes into read-only folders; permissions cannot be tested";
    const QString locked = pathOf("locked");
    ASSERT_TRUE(QDir(folder.path()).mkdir("locked"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));

    EXPECT_EQ(save(locked + "/out.jpg"), jpeg_status::CannotOpen);
    EXPECT_TRUE(entriesOf(locked).isEmpty());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(EncoderStatus, ReadOnlyFileIsNotReplaced)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root may write any file; permissions cannot be tested";
    const QString target = pathOf("kept.jpg");
    ASSERT_TRUE(writeFile(target, "old picture"));
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner));

    EXPECT_EQ(save(target), jpeg_status::CannotOpen);
    EXPECT_EQ(fileBytes(target), "old picture");
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"kept.jpg"});
}

TEST_F(EncoderStatus, RejectedArgumentsLeaveAnExistingFileIntact)
{
    const QString target = pathOf("kept.jpg");
    ASSERT_TRUE(writeFile(target, "old picture"));

    EXPECT_EQ(save(target, 0), jpeg_status::FormatError);
    EXPECT_EQ(DCSavetoJPEG(QImage(), 0, 0, target, 50, 0), jpeg_status::FormatError);
    EXPECT_EQ(fileBytes(target), "old picture");
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"kept.jpg"});
}

#ifdef Q_OS_UNIX

// Caps the size of any file this process writes, the way a full disk stops
// a write part-way; restores the limit and the signal on leaving.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = saved_;
        capped.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &capped) == 0;
    }
    ~FileSizeCap()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
    bool active_ = false;
};

TEST_F(EncoderStatus, FailedWriteCannotWriteAndKeepsTheExistingFile)
{
    const QImage large = photoLike(1200, 900);
    const QString target = pathOf("kept.jpg");
    ASSERT_TRUE(writeFile(target, "old picture"));

    std::int16_t status = -1;
    {
        FileSizeCap cap(16 * 1024);
        ASSERT_TRUE(cap.active());
        status = DCSavetoJPEG(large, large.width(), large.height(), target, 100, 0);
    }
    EXPECT_EQ(status, jpeg_status::CannotWrite);
    EXPECT_EQ(fileBytes(target), "old picture");
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"kept.jpg"});
}

TEST_F(EncoderStatus, FailedWriteOfANewFileLeavesNothing)
{
    const QImage large = photoLike(1200, 900);
    std::int16_t status = -1;
    {
        FileSizeCap cap(16 * 1024);
        ASSERT_TRUE(cap.active());
        status = DCSavetoJPEG(large, large.width(), large.height(), pathOf("new.jpg"), 100, 0);
    }
    EXPECT_EQ(status, jpeg_status::CannotWrite);
    EXPECT_TRUE(entriesOf(folder.path()).isEmpty());
}

// Virtual memory of this process in bytes, from the kernel's own count.
QFile::Permissions ownerGroupOther(const QString& path)
{
    // The "user" bits repeat the owner's for the current user; leave them out.
    return QFile::permissions(path)
        & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

rlim_t virtualMemorySize()
{
    std::ifstream statm("/proc/self/statm");
    unsigned long pages = 0;
    statm >> pages;
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(EncoderStatus, MemoryExhaustionGivesOutOfMemoryAndKeepsTheExistingFile)
{
    if (virtualMemorySize() == 0)
        GTEST_SKIP() << "no /proc/self/statm to measure memory against";
    // The encoder holds the whole picture's coefficients (about 50 MB here) to
    // optimise its tables; a child process gets far less than that to spare.
    const QImage large = photoLike(4000, 3000);
    const QString target = pathOf("kept.jpg");
    ASSERT_TRUE(writeFile(target, "old picture"));

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = virtualMemorySize() + 16 * 1024 * 1024;
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(100);
        _exit(DCSavetoJPEG(large, large.width(), large.height(), target, 50, 0));
    }
    int wait = 0;
    ASSERT_EQ(waitpid(child, &wait, 0), child);
    ASSERT_TRUE(WIFEXITED(wait)) << "the encoder ended the process";
    EXPECT_EQ(WEXITSTATUS(wait), jpeg_status::OutOfMemory);
    EXPECT_EQ(fileBytes(target), "old picture");
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"kept.jpg"});
}

TEST_F(EncoderStatus, NewFileFollowsTheUmaskAndAReplacedFileKeepsItsPermissions)
{
    const mode_t previous = umask(022);
    EXPECT_EQ(save(pathOf("new.jpg")), jpeg_status::Written);
    umask(previous);
    EXPECT_EQ(ownerGroupOther(pathOf("new.jpg")),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    const QString kept = pathOf("kept.jpg");
    ASSERT_TRUE(writeFile(kept, "old picture"));
    const auto chosen = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(kept, chosen));
    EXPECT_EQ(save(kept), jpeg_status::Written);
    EXPECT_EQ(ownerGroupOther(kept), chosen);
    EXPECT_NE(fileBytes(kept), "old picture");
}

#endif // Q_OS_UNIX

} // namespace
