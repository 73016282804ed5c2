#include <gtest/gtest.h>

#include <QApplication>

#include "controls/fonts.h"

// One QApplication (pictures, fonts, the clipboard and windows need it), offscreen also when run by hand.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fonts::installSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
