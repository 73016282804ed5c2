#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

// The message boxes the program shows: OK alone or OK and Cancel without an
// icon, and OK alone with the critical or the exclamation icon.
enum class MsgBoxStyle { OkOnly, OkCancel, Critical, Exclamation };

enum class MsgBoxResult { Ok, Cancel };

// What the save-file dialog shows when it opens.
struct SaveFileRequest {
    QStringList nameFilters; // Qt's form: "JPEG (*.jpg)"
    QString selectedFilter;  // one of them
    QString folder;          // a folder, or a file whose folder is meant
    QString fileName;        // the name proposed; a folder proposes none
};

// Every box a user sees goes through here, so tests can script the answers.
class DialogService {
public:
    virtual ~DialogService() = default;
    virtual MsgBoxResult msgBox(const QString& prompt, MsgBoxStyle style, const QString& title) = 0;
    // Returns the typed text, or nothing on Cancel.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // Returns the chosen path, or nothing on Cancel.
    virtual std::optional<QString> showSave(const SaveFileRequest& request) = 0;
};

// The installed service (see services.h), else the real one.
DialogService& dialogs();

// A message (OK alone, no icon) for a failure learnt after its command
// returned, such as a program that ended in error: it comes from the event
// loop, so it runs guarded and waits until no question is open.
std::function<void()> reportLater(const QString& prompt, const QString& title);

// The real service on Qt's standard dialogs, with Japanese button texts.
class QtDialogService : public DialogService {
public:
    MsgBoxResult msgBox(const QString& prompt, MsgBoxStyle style, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    std::optional<QString> showSave(const SaveFileRequest& request) override;
};
