#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>

#include <gtest/gtest.h>

#include "runtime/services.h"
#include "ui/dialogs.h"

// A dialog double installed in the services for its lifetime: every box is recorded and answered
// from a queue, in order. A box nobody expected, or an answer nobody asked for, fails the test.
class ScriptedDialogs : public DialogService {
public:
    struct Box {
        enum Kind { Message, Input, Save } kind = Message;
        QString text; // the prompt, or the save dialog's proposed name
        QString title;
        MsgBoxStyle style = MsgBoxStyle::OkOnly;
        QString defaultText; // input box
    };
    ScriptedDialogs() { services().dialogs = this; }
    ~ScriptedDialogs() override
    {
        if (services().dialogs == this)
            services().dialogs = nullptr;
        EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answer(s) were never asked for";
    }

    ScriptedDialogs& answerMessage(MsgBoxResult result = MsgBoxResult::Ok) { return queue(Box::Message, {}, result); }
    ScriptedDialogs& answerInput(const QString& text) { return queue(Box::Input, text); }
    ScriptedDialogs& cancelInput() { return queue(Box::Input, {}, MsgBoxResult::Cancel); }
    // An empty path cancels the save dialog.
    ScriptedDialogs& answerSave(const QString& path) { return queue(Box::Save, path); }
    // Runs the action while the next box queued is open, before it is answered.
    ScriptedDialogs& whileNextBoxOpen(std::function<void()> action) { whileOpen_ = std::move(action); return *this; }

    const std::vector<Box>& boxes() const { return boxes_; }
    // The last box shown; an empty one (and a failure) when none was.
    const Box& last() const
    {
        static const Box none;
        EXPECT_FALSE(boxes_.empty()) << "no box was shown";
        return boxes_.empty() ? none : boxes_.back();
    }
    int messageCount() const { return int(std::ranges::count(boxes_, Box::Message, &Box::kind)); }

    MsgBoxResult msgBox(const QString& prompt, MsgBoxStyle style, const QString& title) override
    {
        return take({Box::Message, prompt, title, style, {}}).result;
    }
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        const Answer answer = take({Box::Input, prompt, title, {}, defaultText});
        return answer.result == MsgBoxResult::Cancel ? std::nullopt : std::optional(answer.text);
    }
    std::optional<QString> showSave(const SaveFileRequest& request) override
    {
        const QString path = take({Box::Save, request.fileName, {}, {}, {}}).text;
        return path.isEmpty() ? std::nullopt : std::optional(path);
    }

private:
    struct Answer {
        Box::Kind kind;
        QString text;
        MsgBoxResult result = MsgBoxResult::Ok;
        std::function<void()> whileOpen;
    };
    ScriptedDialogs& queue(Box::Kind kind, const QString& text, MsgBoxResult result = MsgBoxResult::Ok)
    {
        answers_.push_back({kind, text, result, std::exchange(whileOpen_, nullptr)});
        return *this;
    }
    Answer take(const Box& box)
    {
        boxes_.push_back(box);
        if (answers_.empty() || answers_.front().kind != box.kind) {
            ADD_FAILURE() << "unexpected box " << box.kind << ": " << box.title.toStdString() << ": " << box.text.toStdString();
            return {box.kind, {}, MsgBoxResult::Ok, nullptr};
        }
        Answer answer = std::move(answers_.front());
        answers_.pop_front();
        if (answer.whileOpen)
            answer.whileOpen();
        return answer;
    }

    std::deque<Answer> answers_;
    std::function<void()> whileOpen_;
    std::vector<Box> boxes_;
};
