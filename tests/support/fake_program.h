#pragma once

#include <optional>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in for a program the launcher starts: an executable script in a
// folder of its own that records the arguments of each run.
class FakeProgram {
public:
    explicit FakeProgram(const QString& name = QStringLiteral("opener"));

    QString path() const;
    QString folder() const { return dir_.path(); }

    // Waits for the next run to finish recording and returns its arguments,
    // or nothing when no run came within the time.
    std::optional<QStringList> waitForArguments(int timeoutMs = 10000);

private:
    QTemporaryDir dir_;
    QString name_;
};
