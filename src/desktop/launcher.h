#pragma once

#include <vector>

#include <QString>
#include <QStringList>

// Window styles a program can be started with; only "minimised, with focus" is used.
inline constexpr int vbMinimizedFocus = 2;

// Starts programs the way the system's "Start" command does: a document or
// folder opens in the program registered for it. Every command line is
// "Start " followed by a name, exactly as the handlers build it, so tests can
// assert it. Nothing is waited for.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Throws RunTimeError when nothing can be started for the command line.
    virtual void Shell(const QString& commandLine, int windowStyle) = 0;
};

// The installed launcher (see services.h), else the desktop's.
Launcher& launcher();

// The desktop's launcher: the name goes to the opener (xdg-open) as its one
// argument, the program started directly and never through a shell, so no
// name can run a command. "Clipbrd.exe" stands for the first clipboard viewer
// found on the search path. The window style is the opened program's to
// choose; a desktop opener has no way to ask for a minimised window.
class DesktopLauncher : public Launcher {
public:
    struct Program {
        QString name;
        QStringList arguments;
    };

    DesktopLauncher();

    void Shell(const QString& commandLine, int windowStyle) override;

    // Tests point these at programs of their own.
    void setOpener(const QString& program) { opener_ = program; }
    void setClipboardViewers(std::vector<Program> candidates) { viewers_ = std::move(candidates); }
    // Folders searched for the viewers; empty means the system's PATH.
    void setSearchPath(const QStringList& folders) { searchPath_ = folders; }

    // The first clipboard viewer installed, or an empty name when there is none.
    Program clipboardViewer() const;

    // The argument the opener gets for a name: the name itself, except that a
    // relative name starting with "-" is written "./-name", so the opener
    // cannot mistake it for an option.
    static QString openerArgument(const QString& name);

private:
    QString opener_;
    std::vector<Program> viewers_;
    QStringList searchPath_;
};
