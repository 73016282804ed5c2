#include "desktop/detached_process.h"

#include "files/native_names.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

bool startDetachedWithNativeNames(const QString& program, const QStringList& arguments)
{
    // Everything the children need is made before fork: after it only calls
    // that are safe in a child of a threaded process run.
    std::vector<QByteArray> bytes{native_names::encode(program)};
    for (const QString& argument : arguments)
        bytes.push_back(native_names::encode(argument));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through the pipe; a successful one
    // closes it unwritten.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execvp(argv[0], argv.data());
            const int error = errno;
            (void)!::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(report[1]);
    bool started = false;
    if (child > 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        int error = 0;
        ssize_t got;
        while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
        started = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
    }
    ::close(report[0]);
    return started;
}
