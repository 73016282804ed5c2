#include "scripted_dialogs.h"

#include <gtest/gtest.h>

#include "platform/run_time_error.h"

namespace {
const char* kindName(ScriptedDialogs::Box::Kind kind)
{
    switch (kind) {
    case ScriptedDialogs::Box::Message: return "message box";
    case ScriptedDialogs::Box::Input: return "input box";
    case ScriptedDialogs::Box::Save: return "save dialog";
    }
    return "?";
}
} // namespace

ScriptedDialogs::ScriptedDialogs() { setDialogs(this); }

ScriptedDialogs::~ScriptedDialogs()
{
    setDialogs(nullptr);
    if (!answers_.empty())
        ADD_FAILURE() << answers_.size() << " scripted answer(s) were never asked for, the first for a "
                      << kindName(answers_.front().kind);
}

ScriptedDialogs& ScriptedDialogs::answerMessage(int result)
{
    answers_.push_back({Box::Message, result, {}, std::move(pendingDuring_)});
    pendingDuring_ = nullptr;
    return *this;
}

ScriptedDialogs& ScriptedDialogs::answerInput(const QString& text)
{
    answers_.push_back({Box::Input, 0, text, nullptr});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::answerSave(const QString& path)
{
    answers_.push_back({Box::Save, 0, path, nullptr});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::whileNextMessageOpen(std::function<void()> action)
{
    pendingDuring_ = std::move(action);
    return *this;
}

const ScriptedDialogs::Box& ScriptedDialogs::last() const
{
    static const Box none;
    return boxes_.empty() ? none : boxes_.back();
}

int ScriptedDialogs::messageCount() const
{
    int count = 0;
    for (const Box& box : boxes_)
        count += box.kind == Box::Message;
    return count;
}

ScriptedDialogs::Answer ScriptedDialogs::next(Box::Kind kind, const QString& what)
{
    if (answers_.empty() || answers_.front().kind != kind) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << ": " << what.toStdString();
        return {kind, kind == Box::Message ? MsgBoxResult::Ok : 0, {}, nullptr};
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

int ScriptedDialogs::msgBox(const QString& prompt, int style, const QString& title)
{
    Box box;
    box.kind = Box::Message;
    box.text = prompt;
    box.title = title;
    box.style = style;
    boxes_.push_back(box);
    Answer answer = next(Box::Message, title + QStringLiteral(": ") + prompt);
    if (answer.duringMessage)
        answer.duringMessage();
    return answer.result;
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    Box box;
    box.kind = Box::Input;
    box.text = prompt;
    box.title = title;
    box.defaultText = defaultText;
    boxes_.push_back(box);
    return next(Box::Input, title + QStringLiteral(": ") + prompt).text;
}

QString ScriptedDialogs::showSave(const SaveFileRequest& request)
{
    Box box;
    box.kind = Box::Save;
    box.request = request;
    boxes_.push_back(box);
    const QString path = next(Box::Save, request.fileName).text;
    if (path.isEmpty())
        throw RunTimeError(RunTimeError::DialogCancelled);
    return path;
}
