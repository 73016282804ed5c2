#pragma once

#include <deque>
#include <functional>
#include <vector>

#include <QString>

#include "platform/dialogs.h"

// A dialog double: every box is recorded, and each must have been expected.
// Answers come from the queue in order; a box nobody expected fails the test.
class ScriptedDialogs : public DialogService {
public:
    struct Box {
        enum Kind { Message, Input, Save } kind = Message;
        QString text;  // prompt
        QString title;
        int style = 0;
        QString defaultText;     // input box
        SaveFileRequest request; // save dialog
    };

    ScriptedDialogs();  // installs itself
    ~ScriptedDialogs() override; // restores the real service; fails on unused answers

    // Queue the answer to the next message box (MsgBoxResult::Ok or Cancel).
    ScriptedDialogs& answerMessage(int result = MsgBoxResult::Ok);
    // Queue the answer to the next input box (empty text for Cancel).
    ScriptedDialogs& answerInput(const QString& text);
    // Queue the answer to the next save dialog; an empty text cancels it.
    ScriptedDialogs& answerSave(const QString& path);
    // Run something while the next message box is open (before it is answered).
    ScriptedDialogs& whileNextMessageOpen(std::function<void()> action);

    const std::vector<Box>& boxes() const { return boxes_; }
    const Box& last() const;
    int messageCount() const;

    int msgBox(const QString& prompt, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString showSave(const SaveFileRequest& request) override;

private:
    struct Answer {
        Box::Kind kind;
        int result = MsgBoxResult::Ok;
        QString text;
        std::function<void()> duringMessage;
    };
    Answer next(Box::Kind kind, const QString& what);

    std::deque<Answer> answers_;
    std::function<void()> pendingDuring_;
    std::vector<Box> boxes_;
};
