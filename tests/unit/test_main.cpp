#include <gtest/gtest.h>

#include <QApplication>

#include "platform/fonts.h"

// Some units (pictures, fonts, clipboard) need a QApplication; no window is shown.

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fonts::installSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
