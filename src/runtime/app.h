#pragma once

#include <functional>

#include <QString>

// The application object: where the program lives, who it is, and whether
// another copy of it already runs for this user.
class App {
public:
    static inline const QString Title = QStringLiteral("きりビュアー");
    static constexpr int Major = 2;
    static constexpr int Minor = 1;
    static constexpr int Revision = 0;

    // Folder of the executable, without a trailing separator except at the root.
    static QString Path();
    // Tests point the program's folder elsewhere; an empty text restores it.
    static void setPath(const QString& folder);

    // True when another instance of this executable runs for this user.
    // The first call takes a per-user lock that lives as long as the process.
    static bool PrevInstance();
    // The lock file's folder (the user's runtime folder); tests redirect it.
    static void setLockFolder(const QString& folder);
    // Releases the lock and lets the next PrevInstance check again (tests).
    static void forgetInstanceCheck();
};

// Ends the process at once; no further unload handlers run.
[[noreturn]] void End();
// Tests replace the ending; the replacement must not return (it may throw).
void setEndHandler(std::function<void()> handler);
