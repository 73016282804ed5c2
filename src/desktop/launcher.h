#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

// Opens documents and folders in the programs the desktop has for them, and
// the clipboard viewer. Nothing is waited for.
class Launcher {
public:
    virtual ~Launcher() = default;
    // The path as it is, blanks and all. Throws RunTimeError when nothing can be
    // started; `failed` runs later, from the event loop, when what was started
    // reports that it could not open the path.
    virtual void open(const QString& path, std::function<void()> failed) = 0;
    // Throws RunTimeError when no clipboard viewer is installed or it cannot start.
    virtual void openClipboardViewer() = 0;
};

// The installed launcher (see services.h), else the desktop's.
Launcher& launcher();

// The desktop's launcher: a path goes to the opener (xdg-open) as its one
// argument, the program started directly and never through a shell, so no
// name can run a command. The opener is watched: a non-zero exit status (no
// program for the file, the file gone) is its failure. The clipboard viewer is the first one found on the
// search path. How its window shows is the opened program's to choose.
class DesktopLauncher : public Launcher {
public:
    struct Program {
        QString name;
        QStringList arguments;
    };

    DesktopLauncher();

    void open(const QString& path, std::function<void()> failed) override;
    void openClipboardViewer() override;

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
