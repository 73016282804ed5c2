#pragma once

#include <optional>

#include <QString>

class QWidget;

// The message boxes the program shows: OK alone or OK and Cancel without an
// icon, and OK alone with the critical or the exclamation icon.
enum class MsgBoxStyle { OkOnly, OkCancel, Critical, Exclamation };

enum class MsgBoxResult { Ok, Cancel };

// The properties of the save-file dialog that the save command sets.
struct SaveFileRequest {
    int flags = 0;
    QString filter;      // "name|pattern|name|pattern|"
    int filterIndex = 1; // 1-based
    QString initDir;
    QString fileName;
};

// Every box a user sees goes through here, so tests can script the answers.
class DialogService {
public:
    virtual ~DialogService() = default;
    virtual MsgBoxResult msgBox(const QString& prompt, MsgBoxStyle style, const QString& title) = 0;
    // Returns the typed text, or nothing on Cancel.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // Returns the chosen path; throws RunTimeError(DialogCancelled) on Cancel.
    virtual QString showSave(const SaveFileRequest& request) = 0;
};

// The installed service (see services.h), else the real one.
DialogService& dialogs();

// The real service on Qt's standard dialogs, with Japanese button texts.
class QtDialogService : public DialogService {
public:
    MsgBoxResult msgBox(const QString& prompt, MsgBoxStyle style, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString showSave(const SaveFileRequest& request) override;
};
