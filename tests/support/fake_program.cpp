#include "fake_program.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

FakeProgram::FakeProgram(const QString& name)
    : name_(name)
{
    // Arguments are written NUL-separated (the one byte no argument holds),
    // then renamed into place so a reader never sees half a record.
    QFile script(path());
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\n"
                 "record=\"$0.args\"\n"
                 ": > \"$record.tmp\"\n"
                 "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$record.tmp\"; done\n"
                 "mv \"$record.tmp\" \"$record\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString FakeProgram::path() const { return dir_.filePath(name_); }

std::optional<QStringList> FakeProgram::waitForArguments(int timeoutMs)
{
    QFile record(path() + QStringLiteral(".args"));
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); QThread::msleep(20)) {
        QCoreApplication::processEvents();
        if (!record.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = record.readAll();
        record.close();
        record.remove();
        QStringList arguments;
        for (const QByteArray& argument : bytes.split('\0'))
            arguments << QString::fromUtf8(argument);
        arguments.removeLast(); // after the last terminator
        return arguments;
    }
    return std::nullopt;
}
