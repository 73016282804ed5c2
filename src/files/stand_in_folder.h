#pragma once

#include <QByteArray>
#include <QString>

// Qt's file dialog cannot show a folder whose name is not valid UTF-8, nor give
// back a path in it: Qt turns such bytes into U+FFFD. A StandInFolder shows
// such a folder to the dialog under a name Qt can hold, a symbolic link to it
// in a private temporary folder, and maps the paths the dialog gives back to
// the folder's own bytes. The link goes when the stand-in does.
//
// The private folder is named kiriview-PID-XXXXXX after the process that made
// it and carries a mark naming that very folder, written as it is made, so one
// left by a process that was killed can be told from any other and removed later.
class StandInFolder {
public:
    // Removes the stand-in folders in the temporary folder of this user's
    // processes that no longer run: private folders of this user bearing their
    // own mark and holding nothing but this user's links. Links are never
    // followed; anything else (a person's folder named alike, one a person put
    // a file in, another user's, a running process's) is left whole.
    static void removeStale();

    // `path` (as native_names names it) is a folder, or a file in the folder to show.
    explicit StandInFolder(const QString& path);
    ~StandInFolder();
    StandInFolder(const StandInFolder&) = delete;
    StandInFolder& operator=(const StandInFolder&) = delete;

    // `path` as the dialog can show it: unchanged when Qt can hold it.
    QString shown() const { return shown_; }
    // A path the dialog chose, with the stand-in replaced by the real folder.
    QString restore(const QString& chosen) const;

private:
    QString path_, shown_, folder_, link_;
    QByteArray privateFolder_;
};
