#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>

#include "ui/dialogs.h"
#include "runtime/services.h"

// A style's name, for messages a person reads when a test fails.
inline QString styleName(MsgBoxStyle style)
{
    switch (style) {
    case MsgBoxStyle::OkOnly: return QStringLiteral("OkOnly");
    case MsgBoxStyle::OkCancel: return QStringLiteral("OkCancel");
    case MsgBoxStyle::Critical: return QStringLiteral("Critical");
    case MsgBoxStyle::Exclamation: return QStringLiteral("Exclamation");
    }
    return QStringLiteral("?");
}

// A dialog double: every box is recorded and answered from a queue, in order.
// A box nobody expected, or an answer nobody asked for, fails the test.
class ScriptedDialogs : public DialogService {
public:
    struct Box {
        enum Kind { Message, Input, Save } kind = Message;
        QString text; // the prompt, or the save dialog's proposed name
        QString title;
        MsgBoxStyle style = MsgBoxStyle::OkOnly;
        QString defaultText; // input box
    };

    // Installed in the services for its lifetime.
    ScriptedDialogs() { services().dialogs = this; }
    ~ScriptedDialogs() override;

    ScriptedDialogs& answerMessage(MsgBoxResult result = MsgBoxResult::Ok) { return queue(Box::Message, {}, result); }
    ScriptedDialogs& answerInput(const QString& text) { return queue(Box::Input, text); }
    ScriptedDialogs& cancelInput() { return queue(Box::Input, {}, MsgBoxResult::Cancel); }
    // An empty path cancels the save dialog.
    ScriptedDialogs& answerSave(const QString& path) { return queue(Box::Save, path); }
    // Accepts the name the save dialog proposes, as the dialog hands it back.
    ScriptedDialogs& acceptProposedSave()
    {
        queue(Box::Save, {});
        answers_.back().proposed = true;
        return *this;
    }
    // Runs the action while the next box queued is open, before it is answered.
    ScriptedDialogs& whileNextBoxOpen(std::function<void()> action) { whileOpen_ = std::move(action); return *this; }

    const std::vector<Box>& boxes() const { return boxes_; }
    // The last box shown; an empty one (and a failure) when none was.
    const Box& last() const;
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
    std::optional<QString> showSave(const SaveFileRequest& request) override;

private:
    struct Answer {
        Box::Kind kind;
        QString text;
        MsgBoxResult result = MsgBoxResult::Ok;
        std::function<void()> whileOpen;
        bool proposed = false; // a save answered with its proposed name
    };
    ScriptedDialogs& queue(Box::Kind kind, const QString& text, MsgBoxResult result = MsgBoxResult::Ok);
    Answer take(const Box& box);

    std::deque<Answer> answers_;
    std::function<void()> whileOpen_;
    std::vector<Box> boxes_;
};
