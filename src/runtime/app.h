#pragma once

#include <QString>

#include "runtime/version.h"

// The application object: where the program lives, who it is, and whether
// another copy of it already runs for this user.
class App {
public:
    static inline const QString Title = QStringLiteral("きりビュアー");
    static constexpr int Major = KIRIVIEW_VERSION_MAJOR;
    static constexpr int Minor = KIRIVIEW_VERSION_MINOR;
    static constexpr int Revision = KIRIVIEW_VERSION_PATCH;
    static inline const QString Version = QStringLiteral(KIRIVIEW_VERSION);

    // Folder of the executable (or the services' program folder), without a
    // trailing separator except at the root.
    static QString path();

    // A folder of this user's alone for the program's runtime files (the instance
    // door, the records of temporary files being written): $XDG_RUNTIME_DIR (or the
    // services' lock folder) when it is one, else kiriview-runtime-UID of the
    // temporary folder, made with mode 700. Empty, with the reason in the log, when
    // what is there is not the user's alone. Safe on any thread.
    static QString privateFolder();

    // True when another instance of this executable runs for this user.
    // The first call takes a per-user lock that lives as long as the process,
    // in a folder of this user's alone; where there is none, or what is found
    // there is not the user's, there is no door: false, and no socket.
    static bool anotherInstanceRuns();
    // The local socket the running instance listens on, beside its lock;
    // empty without a door.
    static QString instanceSocket();
    // Releases the lock and lets the next anotherInstanceRuns() check again (tests).
    static void forgetInstanceCheck();
};

// Ends the process at once; no further unload handlers run. The services'
// replacement (tests) must not return either; it may throw ProgramEnded,
// which the handler guard lets through.
[[noreturn]] void End();
struct ProgramEnded {};
