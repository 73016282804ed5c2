#pragma once

#include <functional>
#include <memory>

#include <QString>

class QLocalServer;

// Hands a path from a later start to the instance already running for this
// user, through a local socket beside the instance lock. Both ends make sure
// the other is the same user; the running instance takes one line of at most
// a path's length per connection, from a few connections at a time, each for
// a few seconds.
namespace instance {

using Handler = std::function<void(const QString& path)>;

// Starts listening; each path received is passed to the handler on the window thread.
// Only the instance holding the lock may call it (it replaces a stale socket).
// Without a door (App::instanceSocket() empty) nothing listens.
void listen(Handler handler);

// Sends the path to the running instance; false when none takes it.
bool handOver(const QString& path);

// The two ends on a socket of any name (listen() and handOver() use the instance's).
// `idleMilliseconds` is how long a connection may keep the server waiting for its line.
std::unique_ptr<QLocalServer> serve(const QString& socketName, Handler handler, int idleMilliseconds = 5000);
bool send(const QString& socketName, const QString& path);

// The longest line taken: a path of PATH_MAX bytes and its newline.
inline constexpr qsizetype longestLine = 4096 + 1;
// Connections served at once; more are closed at once.
inline constexpr int mostConnections = 4;

} // namespace instance
