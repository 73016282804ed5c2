#pragma once

#include <functional>

#include <QString>

// Where the program keeps the files it writes: beside itself when it is a
// portable copy whose folder can be written, else (installed, or read-only) in
// the user's XDG config and cache folders.
namespace userfiles {

// What the choice depends on; tests inject their own answers.
struct Environment {
    std::function<bool(const QString& folder)> canCreateFileIn;
    QString home;
    QString configHome; // $XDG_CONFIG_HOME as set, maybe empty or relative
    QString cacheHome;  // $XDG_CACHE_HOME as set
    QString configDirs{}; // $XDG_CONFIG_DIRS as set: where the presets for all users are
};

struct Locations {
    bool besideProgram = true;
    QString settingsFolder;
    QString cacheFolder;
    QString settingsFile() const;
    QString previewFile() const;
};

// The environment of this process: a real file-creation probe and its variables.
Environment systemEnvironment();

// True when the program folder belongs to an install: a bin/ folder whose
// prefix holds the program's share/ files. Such a program never writes beside
// itself, whoever runs it (root may write anywhere).
bool isInstalled(const QString& programFolder);

// Decides without touching anything.
Locations choose(const QString& programFolder, const Environment& env);

// The preset favorites for a new user: a kiriview.ini beside the program, else
// the first kiriview/kiriview.ini of the config dirs (default /etc/xdg); empty when none.
QString presetFile(const QString& programFolder, const Environment& env);

// Creates the per-user folders (both 700, also when they exist with more open
// bits) and, when there is no settings file yet, starts it from a copy of the
// preset. Never overwrites.
void prepare(const Locations& where, const QString& programFolder, const Environment& env);

// This process's choice, made once for the program's folder and prepared
// (each time while the services hold a stand-in for the surroundings).
const Locations& current();

} // namespace userfiles
