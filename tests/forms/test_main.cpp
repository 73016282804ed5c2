#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>

#include "platform/app.h"
#include "platform/fonts.h"

namespace {

// The single-instance tests start this binary again as a second process of
// the same program: it either reports what it sees or holds the lock.
int runAsLockChild()
{
    if (qEnvironmentVariableIsSet("KIRIVIEW_LOCK_PROBE"))
        return App::PrevInstance() ? 3 : 4;
    if (App::PrevInstance())
        return 5;
    std::printf("holding\n");
    std::fflush(stdout);
    QThread::sleep(60);
    return 0;
}

} // namespace

// Window tests need one QApplication; CTest sets the offscreen platform,
// and running the binary by hand gets it too.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("KIRIVIEW_LOCK_PROBE") || qEnvironmentVariableIsSet("KIRIVIEW_LOCK_HOLD"))
        return runAsLockChild();
    fonts::installSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
