#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "image_window/image_window.h"
#include "main_window/main_window.h"
#include "main_window/start_main_window.h"
#include "runtime/app.h"
#include "runtime/services.h"
#include "save_dialog/save_dialog.h"
#include "scripted_dialogs.h"
#include "test_files.h"
#include "ui/forms.h"
#include "viewing/picture_model.h"

// Deletes every window at once (tests cannot wait for the event loop).
void unloadAllFormsNow();

// The loaded top-level window of its kind, or nullptr.
template <class W>
W* shown()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<W*>(window); forms::isLoaded(found))
            return found;
    return nullptr;
}

// No form loaded, the program in a fresh folder, ending by throwing ProgramEnded, every box answered from a script.
class FormTest : public ::testing::Test {
protected:
    FormTest();
    ~FormTest() override { unloadAllFormsNow(); }

    static void startProgram();
    static MainWindow& mainWindow();
    static ImageWindow& imageWindow() { return mainWindow().imageWindow(); }
    static SaveDialog* saveDialog() { return shown<MainWindow>() ? shown<MainWindow>()->saveDialog() : nullptr; }
    static PictureModel& model() { return mainWindow().model(); }
    // Runs the event loop while `waits` holds (a guard against hanging, not a measurement).
    static void waitWhile(const std::function<bool()>& waits, const char* what);
    // Until a selection's picture, the full-size picture a command needs and a save are there, or their errors.
    static void waitForPicture();
    // Waits for every worker and hands their results over, twice: a search's answer starts a preview.
    static void settleWorkers();
    // Shows the path handed over once no question is open, as the event loop would, and waits for its picture.
    static void deliverWaitingPath();

    QString programFolder() const { return programDir_.path(); }
    QString pictures() const { return programFolder() + "/pictures"; }
    QString at(const QString& name) const { return pictures() + '/' + name; }
    QString write(const QString& name, const QByteArray& bytes = {}) const
    {
        EXPECT_TRUE(writeBytes(at(name), bytes)) << name.toStdString();
        return at(name);
    }
    // Clicks the named entry of the pictures' folder, written first when bytes are given, and waits for its picture.
    void click(const QString& name, const std::optional<QByteArray>& bytes = {}) const;

    // A death test's child dies without cleaning up: its program folder is made inside this test's.
    void prepareDeathTests() const;

    QTemporaryDir programDir_;
    ScopedServices services_{Services{}}; // every seam a test changes is put back with the rest
    std::unique_ptr<ScriptedDialogs> dialogs_ = std::make_unique<ScriptedDialogs>();
};
