#pragma once

#include <memory>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "scripted_dialogs.h"

// Thrown by the test's End(), so a test can see the program end.
struct ProgramEnded {};

// Every window test starts from nothing: no form loaded, module state reset,
// the program's folder in a fresh temporary folder, and every message box
// answered from a script.
class FormTest : public ::testing::Test {
protected:
    FormTest();
    ~FormTest() override;

    // Loads the main and image windows the way the splash hands over to them.
    void startProgram();

    QString programFolder() const { return programDir_.path(); }

    QTemporaryDir programDir_;
    std::unique_ptr<ScriptedDialogs> dialogs_ = std::make_unique<ScriptedDialogs>();
};

// Deletes every loaded form at once (tests cannot wait for the event loop).
void unloadAllFormsNow();
