#include "desktop/detached_process.h"

#include "files/native_names.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <vector>

namespace {

// Everything a child needs is made before fork: after it only calls that are
// safe in a child of a threaded process run.
struct NativeCommand {
    NativeCommand(const QString& program, const QStringList& arguments)
    {
        bytes.push_back(native_names::encode(program));
        for (const QString& argument : arguments)
            bytes.push_back(native_names::encode(argument));
        for (QByteArray& b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
    }
    std::vector<QByteArray> bytes;
    std::vector<char*> argv;
};

// In a child: runs the command, or writes why it could not to `report` and ends.
[[noreturn]] void execOrReport(NativeCommand& command, int report)
{
    ::execvp(command.argv[0], command.argv.data());
    const int error = errno;
    (void)!::write(report, &error, sizeof error);
    ::_exit(127);
}

// The bytes the exec wrote to the report: none (closed unwritten) when the command runs.
ssize_t readExecReport(int report)
{
    int error = 0;
    ssize_t got;
    while ((got = ::read(report, &error, sizeof error)) < 0 && errno == EINTR) {
    }
    return got;
}

} // namespace

bool startDetachedWithNativeNames(const QString& program, const QStringList& arguments)
{
    NativeCommand command(program, arguments);

    // The grandchild reports a failed exec through the pipe; a successful one
    // closes it unwritten.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            execOrReport(command, report[1]);
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(report[1]);
    bool started = false;
    if (child > 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        started = WIFEXITED(status) && WEXITSTATUS(status) == 0 && readExecReport(report[0]) == 0;
    }
    ::close(report[0]);
    return started;
}

namespace {

// Reaps the child once it ends and tells whether it exited with status 0. A
// pidfd wakes the event loop when it ends; without one (an older kernel) the
// child is looked at a few times a second.
void watch(pid_t child, std::function<void(bool succeeded)> ended)
{
    auto finish = [child, ended = std::move(ended)]() -> bool {
        int status = 0;
        pid_t got;
        while ((got = ::waitpid(child, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (got == 0)
            return false;
        // Reaped elsewhere (got < 0): nothing is known, so nothing is reported.
        if (got == child && ended)
            ended(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return true;
    };
    QObject* owner = QCoreApplication::instance();
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    if (pidfd >= 0) {
        auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, owner);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pidfd, finish] {
            if (!finish())
                return;
            notifier->setEnabled(false);
            ::close(pidfd);
            notifier->deleteLater();
        });
        return;
    }
    auto* poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, finish] {
        if (finish()) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(250);
}

} // namespace

bool startWatchedWithNativeNames(const QString& program, const QStringList& arguments,
                                 std::function<void(bool succeeded)> ended)
{
    NativeCommand command(program, arguments);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        execOrReport(command, report[1]);
    }
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        return false;
    }
    const ssize_t got = readExecReport(report[0]);
    ::close(report[0]);
    if (got != 0) {
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        return false;
    }
    watch(child, std::move(ended));
    return true;
}
