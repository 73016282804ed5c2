#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>

#include "platform/app.h"
#include "platform/fonts.h"

namespace {

// The single-instance test starts this binary again as another process of
// the same program, which holds the lock until it is killed.
int holdTheInstanceLock()
{
    if (App::PrevInstance())
        return 5;
    std::printf("holding\n");
    std::fflush(stdout);
    QThread::sleep(60);
    return 0;
}

} // namespace

// Unit and window tests: one QApplication (pictures, fonts, the clipboard and
// windows need it) on the offscreen platform, also when run by hand.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("KIRIVIEW_LOCK_HOLD"))
        return holdTheInstanceLock();
    fonts::installSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
