// A JPEG that claims a huge size fails from its header, before its pixels take any memory.

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "decoder/picture_loader.h"
#include "runtime/run_time_error.h"
#include "test_files.h"

namespace {

TEST(PictureLimits, ATruncatedJpegClaiming20000By20000FailsWithinAFewHundredMegabytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.jpg"));
    QByteArray jpeg = encodedAs(testPicture(64, 64), "JPEG");
    // The frame header holds height and width after its length and precision; the cut leaves the scan empty.
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2)), scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_TRUE(frame > 0 && scan > frame);
    jpeg.replace(frame + 5, 4, QByteArray("\x4E\x20\x4E\x20", 4)); // 20000 x 20000: 1.6 GB as 32-bit pixels
    ASSERT_TRUE(writeBytes(path, jpeg.left(scan + 40)));
    if (!std::ifstream("/proc/self/statm"))
        GTEST_SKIP() << "no /proc/self/statm to measure memory against";

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        ::malloc_trim(0);
        rlim_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t bytes = pages * rlim_t(::sysconf(_SC_PAGESIZE)) + 300 * 1024 * 1024;
        const rlimit capped{bytes, bytes};
        if (::setrlimit(RLIMIT_AS, &capped) != 0)
            ::_exit(100);
        try {
            LoadPicture(path);
        } catch (const RunTimeError& error) {
            ::_exit(error.number() & 0xFF);
        }
        ::_exit(101);
    }
    int wait = 0;
    ASSERT_EQ(::waitpid(child, &wait, 0), child);
    ASSERT_TRUE(WIFEXITED(wait)) << "loading ended the process";
    // 7 (out of memory) would mean the claimed size was allocated before the data ran out.
    EXPECT_EQ(WEXITSTATUS(wait), RunTimeError::InvalidPicture & 0xFF);
}

} // namespace
