#pragma once

#include <functional>
#include <memory>

#include <QString>

class QLocalServer;

// Hands a path from a later start to the instance already running for this
// user, through a local socket beside the instance lock. Both ends make sure
// the other is the same user; the running instance takes one line per
// connection (the path's bytes percent-encoded, so a newline in a name passes),
// from a few connections at a time, each for a few seconds, and answers a line
// it took with "ok".
namespace instance {

using Handler = std::function<void(const QString& path)>;

// Starts listening; each path received is passed to the handler on the window thread.
// Only the instance holding the lock may call it (it replaces a stale socket).
// Without a door (App::instanceSocket() empty) nothing listens.
void listen(Handler handler);

enum class Delivery {
    Taken,      // the running instance answered that it has the path
    NoListener, // nothing listens there, or another user does
    Refused,    // it listens but closed without taking the path (its connections are all busy)
};

// Sends the path to the running instance, trying again for a while when it
// has no room for the connection (idle ones close after a few seconds).
Delivery handOver(const QString& path);

// The two ends on a socket of any name (listen() and handOver() use the instance's).
// `idleMilliseconds` is how long a connection may keep the server waiting for its line.
std::unique_ptr<QLocalServer> serve(const QString& socketName, Handler handler, int idleMilliseconds = 5000);
// Tries again after a refusal until `patienceMilliseconds` have passed.
Delivery send(const QString& socketName, const QString& path, int patienceMilliseconds = 8000);

// The longest line taken: a path of PATH_MAX bytes, each percent-encoded, and its newline.
inline constexpr qsizetype longestLine = 3 * 4096 + 1;
// Connections served at once; more are closed at once.
inline constexpr int mostConnections = 4;

} // namespace instance
