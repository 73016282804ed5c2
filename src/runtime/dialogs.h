#pragma once

#include <optional>

#include <QString>

class QWidget;

// Message box styles and results, as the handlers pass and test them.
namespace MsgBoxStyle {
inline constexpr int OkOnly = 0;
inline constexpr int OkCancel = 1;
inline constexpr int Critical = 16;
inline constexpr int Exclamation = 48;
} // namespace MsgBoxStyle

namespace MsgBoxResult {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
} // namespace MsgBoxResult

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
    // Returns MsgBoxResult::Ok or MsgBoxResult::Cancel.
    virtual int msgBox(const QString& prompt, int style, const QString& title) = 0;
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
    int msgBox(const QString& prompt, int style, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString showSave(const SaveFileRequest& request) override;
};
