#include "ui/questions.h"

#include <utility>
#include <vector>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace questions {
namespace {

struct OpenQuestion {
    const Open* question;
    QPointer<QWidget> shown; // null for a question not shown by a window of ours
};
std::vector<OpenQuestion> openQuestions; // newest last
std::vector<std::function<void()>> waiting;
bool runScheduled = false;

// Runs from a fresh turn of the event loop, never inside the code that just
// closed a question: that code may go on to ask the next one.
void scheduleRun()
{
    if (runScheduled || waiting.empty())
        return;
    runScheduled = true;
    QTimer::singleShot(0, qApp, [] {
        runScheduled = false;
        // A question may have opened since; it ends with another schedule.
        while (openQuestions.empty() && !waiting.empty()) {
            std::function<void()> work = std::move(waiting.front());
            waiting.erase(waiting.begin());
            work();
        }
    });
}

} // namespace

Open::Open(QWidget* shown) { openQuestions.push_back({this, shown}); }

Open::~Open()
{
    std::erase_if(openQuestions, [this](const OpenQuestion& open) { return open.question == this; });
    if (openQuestions.empty())
        scheduleRun();
}

bool anyOpen() { return !openQuestions.empty(); }

void whenNoneOpen(std::function<void()> work)
{
    waiting.push_back(std::move(work));
    if (openQuestions.empty())
        scheduleRun();
}

void bringToFront()
{
    QWidget* front = QApplication::activeModalWidget();
    for (auto it = openQuestions.rbegin(); !front && it != openQuestions.rend(); ++it)
        front = it->shown;
    if (!front)
        return;
    front->raise();
    front->activateWindow();
}

} // namespace questions
