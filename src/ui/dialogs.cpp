#include "ui/dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QScreen>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/handler_guard.h"
#include "ui/questions.h"
#include "runtime/run_time_error.h"
#include "runtime/services.h"

namespace {

QWidget* dialogParent()
{
    QWidget* active = QApplication::activeWindow();
    return active && active->isEnabled() ? active : nullptr;
}

// A prompt as an input box can show it: a lone CR (the classic line break)
// starts a new line, which Qt would otherwise draw as nothing, and a line too
// long for the screen (a deep folder path) is shortened in its middle, so the
// box and its buttons stay on the screen.
QString promptForScreen(const QString& prompt, const QFont& font, int screenWidth)
{
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QFontMetrics metrics(font);
    const int widest = screenWidth * 3 / 4;
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, widest);
    return lines.join(QLatin1Char('\n'));
}

// Qt's file list writes sizes and dates in the system's locale, C for C.UTF-8;
// the program's own texts follow the default locale (Japanese in place of C).
class ListInDefaultLocale : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole || (index.column() != 1 && index.column() != 3))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == 3)
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        return files->isDir(source) ? QString() : QLocale().formattedDataSize(files->size(source));
    }
};

} // namespace

std::function<void()> reportLater(const QString& prompt, const QString& title)
{
    return [prompt, title] {
        questions::whenNoneOpen(guarded([prompt, title] { dialogs().msgBox(prompt, MsgBoxStyle::OkOnly, title); }));
    };
}

namespace {

// Whoever answers them, the boxes are the program's questions while they are open.
class QuestionDialogs final : public DialogService {
public:
    MsgBoxResult msgBox(const QString& prompt, MsgBoxStyle style, const QString& title) override
    {
        const questions::Open open;
        return answering().msgBox(prompt, style, title);
    }
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        const questions::Open open;
        return answering().inputBox(prompt, title, defaultText);
    }
    std::optional<QString> showSave(const SaveFileRequest& request) override
    {
        const questions::Open open;
        return answering().showSave(request);
    }

private:
    static DialogService& answering()
    {
        static QtDialogService real;
        return services().dialogs ? *services().dialogs : real;
    }
};

} // namespace

DialogService& dialogs()
{
    static QuestionDialogs questionDialogs;
    return questionDialogs;
}


MsgBoxResult QtDialogService::msgBox(const QString& prompt, MsgBoxStyle style, const QString& title)
{
    QMessageBox box(dialogParent());
    box.setWindowTitle(title);
    box.setText(prompt);
    box.setIcon(style == MsgBoxStyle::Critical      ? QMessageBox::Critical
                : style == MsgBoxStyle::Exclamation ? QMessageBox::Warning
                                                    : QMessageBox::NoIcon);

    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (style == MsgBoxStyle::OkCancel)
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? static_cast<QAbstractButton*>(cancel) : ok);
    box.exec();
    return cancel && box.clickedButton() == cancel ? MsgBoxResult::Cancel : MsgBoxResult::Ok;
}

std::optional<QString> QtDialogService::inputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(title);
    const QScreen* screen = dialogParent() ? dialogParent()->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
    dialog.setLabelText(promptForScreen(prompt, dialog.font(), screenWidth));
    dialog.setMaximumWidth(screenWidth);
    dialog.setTextValue(defaultText);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtDialogService::showSave(const SaveFileRequest& request)
{
    QFileDialog dialog(dialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks before overwriting, so the dialog must not.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setProxyModel(new ListInDefaultLocale(&dialog));
    dialog.setNameFilters(request.nameFilters);
    if (!request.selectedFilter.isEmpty())
        dialog.selectNameFilter(request.selectedFilter);
    if (!request.folder.isEmpty()) {
        const QFileInfo info(request.folder);
        dialog.setDirectory(info.isDir() ? info.absoluteFilePath() : info.absolutePath());
    }
    // A folder given as the name would open its parent with the folder's name
    // proposed; the dialog opens in it instead.
    if (!request.fileName.isEmpty() && !QFileInfo(request.fileName).isDir())
        dialog.selectFile(request.fileName);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存(&S)"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
