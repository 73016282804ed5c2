#include <gtest/gtest.h>

#include <QApplication>

#include "platform/fonts.h"

// Window tests need one QApplication; CTest sets the offscreen platform,
// and running the binary by hand gets it too.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fonts::installSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
