#include "scripted_dialogs.h"

#include <gtest/gtest.h>

ScriptedDialogs::~ScriptedDialogs()
{
    if (services().dialogs == this)
        services().dialogs = nullptr;
    if (!answers_.empty())
        ADD_FAILURE() << answers_.size() << " scripted answer(s) were never asked for";
}

const ScriptedDialogs::Box& ScriptedDialogs::last() const
{
    static const Box none;
    if (boxes_.empty())
        ADD_FAILURE() << "no box was shown";
    return boxes_.empty() ? none : boxes_.back();
}

ScriptedDialogs::Answer ScriptedDialogs::take(const Box& box)
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
