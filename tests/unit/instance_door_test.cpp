// The instance door lives only in a folder of the user's alone and takes one short line from that user.
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <cstring>
#include <future>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>

#include "desktop/instance_channel.h"
#include "files/native_names.h"
#include "runtime/app.h"
#include "test_files.h"

namespace {

constexpr uid_t nobody = 65534;

// `child` run as nobody in a process of its own; exitCode() serves events while it waits.
pid_t asNobody(const std::function<int()>& child)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0 ? child() : 100);
    return pid;
}

int exitCode(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class InstanceDoor : public ScratchTest {
protected:
    void SetUp() override
    {
        saved_ = {qgetenv("XDG_RUNTIME_DIR"), qgetenv("TMPDIR")};
        QDir(folder.path()).mkpath("tmp");
        qputenv("TMPDIR", QFile::encodeName(path("tmp")));
        qunsetenv("XDG_RUNTIME_DIR");
        App::forgetInstanceCheck();
    }
    void TearDown() override
    {
        App::forgetInstanceCheck();
        qputenv("XDG_RUNTIME_DIR", saved_.first);
        qputenv("TMPDIR", saved_.second);
    }
    static bool noDoor() { return !App::anotherInstanceRuns() && App::instanceSocket().isEmpty(); }
    QByteArray fallback() const { return QFile::encodeName(path("tmp/kiriview-runtime-") + QString::number(::geteuid())); }

    std::pair<QByteArray, QByteArray> saved_;
};

// Open to the group only or to others only, the runtime folder counts as unset: the door is then
// in a fallback folder made 700.
TEST_F(InstanceDoor, LivesInAPrivateRuntimeFolderUnderTheUserId)
{
    for (const int mode : {0700, 0750, 0705}) {
        const QString runtime = path(QString::number(mode, 8));
        QDir().mkdir(runtime);
        ::chmod(QFile::encodeName(runtime).constData(), mode_t(mode));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        App::forgetInstanceCheck();
        EXPECT_FALSE(App::anotherInstanceRuns());
        const QString socket = App::instanceSocket(), door = mode == 0700 ? runtime : QString(fallback());
        EXPECT_TRUE(socket.startsWith(door + "/kiriview-" + QString::number(::geteuid()) + "-")) << socket.toStdString();
        EXPECT_EQ(modeOf(socket.chopped(5) + ".lock"), 0600);
        EXPECT_EQ(modeOf(door), 0700);
        EXPECT_EQ(QDir(runtime).isEmpty(), mode != 0700) << std::oct << mode;
    }
}

TEST_F(InstanceDoor, AFallbackFolderNotTheUsersAloneLeavesNoDoor)
{
    QDir(folder.path()).mkdir("elsewhere");
    const QByteArray elsewhere = QFile::encodeName(path("elsewhere"));
    const struct { const char* what; std::function<int(const char*)> make; } cases[] = {
        {"passable by others", [](const char* at) { return ::mkdir(at, 0700) ? -1 : ::chmod(at, 0701); }},
        {"a link", [&](const char* at) { return ::symlink(elsewhere.constData(), at); }},
        {"another user's", [](const char* at) { return ::mkdir(at, 0700) ? -1 : ::chown(at, nobody, nobody); }},
    };
    for (const auto& c : cases) {
        if (::geteuid() != 0 && c.what == cases[2].what)
            continue; // making a folder of another user needs root
        QDir(fallback()).removeRecursively();
        ::unlink(fallback().constData());
        ASSERT_EQ(c.make(fallback().constData()), 0) << c.what;
        App::forgetInstanceCheck();
        EXPECT_TRUE(noDoor()) << c.what;
        EXPECT_TRUE(QDir(path("elsewhere")).isEmpty() && QDir(fallback()).isEmpty()) << c.what;
    }
}

// In the user's own folder, a lock someone else made and holds is not a running instance.
TEST_F(InstanceDoor, AHeldLockOfAnotherUserLeavesNoDoor)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making files of another user needs root";
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
    const QString lock = App::instanceSocket().chopped(5) + ".lock";
    App::forgetInstanceCheck();
    const int held = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::fchown(held, nobody, nobody) | ::flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_TRUE(noDoor());
    ::close(held);
}

class InstanceChannel : public ScratchTest {
protected:
    QString socketName() const { return path("door.sock"); }
    void serve(int idle = 5000)
    {
        server = instance::serve(socketName(), [this](const QString& path) { received << path; }, idle);
        ASSERT_TRUE(server);
    }
    std::unique_ptr<QLocalSocket> connectAndWrite(const QByteArray& bytes)
    {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(socketName());
        EXPECT_TRUE(socket->waitForConnected(3000));
        socket->write(bytes);
        socket->flush();
        return socket;
    }
    static bool closes(QLocalSocket& socket) { return QSignalSpy(&socket, &QLocalSocket::disconnected).wait(5000); }
    // send() on a thread of its own while this one serves.
    instance::Delivery sendServed(const QString& path, int patience)
    {
        auto delivery = std::async(std::launch::async, [&] { return instance::send(socketName(), path, patience); });
        while (delivery.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return delivery.get();
    }
    std::unique_ptr<QLocalServer> server;
    QStringList received;
};

// Any byte but NUL passes, in pieces or whole: a newline no longer ends the path early, "%" stays itself.
TEST_F(InstanceChannel, ALineUpToTheLongestIsDeliveredALongerOneNot)
{
    serve();
    EXPECT_EQ(modeOf(socketName()) & 077, 0);
    const QByteArray longest(instance::longestLine - 1, 'b');
    const auto pieces = connectAndWrite(longest.left(9));
    EXPECT_TRUE(closes(*connectAndWrite(QByteArray(instance::longestLine, 'a') + '\n')));
    pieces->write(longest.mid(9) + '\n');
    EXPECT_TRUE(closes(*pieces));
    const QString path = native_names::decode("/photos/a\nb%0A c\xff.jpg");
    EXPECT_EQ(sendServed(path, 0), instance::Delivery::Taken);
    EXPECT_EQ(received, (QStringList{QString::fromLatin1(longest), path}));
}

// With every connection taken by idle ones, another is closed at once and a hand-over refused, not
// reported as taken; given the patience, it gets through once the idle ones are closed, their partial
// lines dropped. Each delivery makes room for the next.
TEST_F(InstanceChannel, AHandOverWhileTheSlotsAreBusyIsRefusedOrWaits)
{
    serve(1500);
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < instance::mostConnections; ++i)
        idle.push_back(connectAndWrite("/idle"));
    EXPECT_TRUE(closes(*connectAndWrite("/extra\n")));
    EXPECT_EQ(sendServed("/first.jpg", 0), instance::Delivery::Refused);
    EXPECT_EQ(sendServed("/second.jpg", 10000), instance::Delivery::Taken);
    for (int i = 0; i <= instance::mostConnections; ++i)
        EXPECT_EQ(sendServed("/next.jpg", 0), instance::Delivery::Taken) << i;
    EXPECT_EQ(received, QStringList{"/second.jpg"} + QStringList(instance::mostConnections + 1, "/next.jpg"));
}

// Opened up so that the other user reaches the socket at all, the server itself must refuse; a
// server of another user is sent nothing (the child's exit code 0: closed with nothing read).
TEST_F(InstanceChannel, NothingPassesBetweenTwoUsers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    serve();
    ::chmod(QFile::encodeName(folder.path()).constData(), 0711);
    ::chmod(QFile::encodeName(socketName()).constData(), 0777);
    sockaddr_un at {AF_UNIX, {}};
    std::memcpy(at.sun_path, QFile::encodeName(socketName()).constData(), size_t(QFile::encodeName(socketName()).size()));
    EXPECT_EQ(exitCode(asNobody([&at] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0)
            return 3;
        ::send(fd, "/secret.jpg\n", 12, MSG_NOSIGNAL);
        char byte = 0;
        return ::recv(fd, &byte, 1, 0) <= 0 ? 0 : 4; // ends when the server closes
    })), 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(received.isEmpty());
    // The socket file this user's in a private folder, only the listener another user.
    server.reset();
    ::chmod(QFile::encodeName(folder.path()).constData(), 0700);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::chmod(at.sun_path, 0600), 0);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t listener = asNobody([&] {
        if (::listen(fd, 4) != 0)
            return 101;
        (void)!::write(ready[1], "r", 1);
        const int peer = ::accept(fd, nullptr, nullptr);
        char byte = 0;
        return peer >= 0 && ::recv(peer, &byte, 1, 0) == 0 ? 0 : 5;
    });
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(instance::send(socketName(), "/secret.jpg"), instance::Delivery::NoListener);
    EXPECT_EQ(exitCode(listener), 0);
}

} // namespace
