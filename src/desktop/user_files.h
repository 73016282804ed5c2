#pragma once

#include <functional>

#include <QString>

// Where the program keeps the files it writes: beside itself when its folder
// can be written, else in the user's XDG config and cache folders.
namespace userfiles {

// What the choice depends on; tests inject their own answers.
struct Environment {
    std::function<bool(const QString& folder)> canCreateFileIn;
    QString home;
    QString configHome; // $XDG_CONFIG_HOME as set, maybe empty or relative
    QString cacheHome;  // $XDG_CACHE_HOME as set
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

// Decides without touching anything.
Locations choose(const QString& programFolder, const Environment& env);

// Creates the per-user folders (config 700) and, when there is no settings file
// yet, starts it from a copy of the preset beside the program. Never overwrites.
void prepare(const Locations& where, const QString& programFolder);

// This process's choice, made once for the program's folder and prepared.
const Locations& current();
// Tests: the next current() decides again with this environment (null: the system's).
void setEnvironment(std::function<Environment()> provider);

} // namespace userfiles
