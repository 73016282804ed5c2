#pragma once

#include <functional>

#include <QString>

// Hands a path from a later start to the instance already running for this
// user, through a local socket beside the instance lock.
namespace instance {

// Starts listening; each path received is passed to the handler on the window thread.
// Only the instance holding the lock may call it (it replaces a stale socket).
void listen(std::function<void(const QString& path)> handler);

// Sends the path to the running instance; false when none takes it.
bool handOver(const QString& path);

} // namespace instance
