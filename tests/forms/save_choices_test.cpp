// What a person chooses in the save dialog: the quality on the slider, the file to save to.

#include <functional>

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include "runtime/forms.h"
#include "form_fixture.h"
#include "forms/main/main_window.h"
#include "forms/save/save_dialog.h"
#include "test_files.h"

namespace {

// The program started and the save dialog opened on the picture it shows.
class SaveChoicesTest : public FormTest {
protected:
    SaveChoicesTest()
    {
        startProgram();
        forms::get<MainWindow>().openSaveDialog();
        if (!forms::loaded<SaveDialog>())
            ADD_FAILURE() << "the save dialog did not open";
    }
    SaveDialog& saveDialog() { return forms::get<SaveDialog>(); }
};

// Page keys and clicks in the trough move the quality one step, as the arrow keys do.
TEST_F(SaveChoicesTest, QualityPagesOneStepWithPageKeysAndTroughClicks)
{
    QScrollBar* bar = saveDialog().qualitySlider;
    const QPoint troughRight(bar->width() * 3 / 4, bar->height() / 2), troughLeft(bar->width() / 4, bar->height() / 2);
    const struct { const char* what; std::function<void()> act; const char* shown; } steps[] = {
        {"Page Down", [&] { QTest::keyClick(bar, Qt::Key_PageDown); }, "51"},
        {"Page Up", [&] { QTest::keyClick(bar, Qt::Key_PageUp); }, "50"},
        {"Page Up", [&] { QTest::keyClick(bar, Qt::Key_PageUp); }, "49"},
        {"click right of the thumb", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, troughRight); }, "50"},
        {"click left of the thumb", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, troughLeft); }, "49"},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(saveDialog().qualityValue->text().toStdString(), step.shown) << step.what;
    }
}

// Confirming the overwrite of a file nobody may write leaves it as it was, and says so.
TEST_F(SaveChoicesTest, AReadOnlyTargetStaysUnchangedAndTheUserIsTold)
{
    const QString target = programFolder() + QStringLiteral("/kept.jpg");
    ASSERT_TRUE(writeBytes(target, "an older picture")
                && QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    dialogs_->answerSave(target).answerMessage(MsgBoxResult::Ok).answerMessage();
    saveDialog().save();
    EXPECT_EQ(dialogs_->last().text.toStdString(), "ファイルがオープンできません");
    EXPECT_EQ(readBytes(target), "an older picture");
}

} // namespace
