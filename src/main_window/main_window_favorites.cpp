// Favorites: six folders kept in the settings file and shown in the menu.
#include "main_window/main_window.h"

#include <QAction>

#include "ui/dialogs.h"
#include "controls/dir_list_box.h"
#include "runtime/run_time_error.h"
#include "desktop/user_files.h"
#include "runtime/val.h"

namespace {

const QString okini = QStringLiteral("okini");

QString keyOf(int slot) { return QStringLiteral("key0") + QString::number(slot); }

// A slot item's caption is the folder's path exactly. The menu would read "&"
// as an access-key mark, so the shown text doubles it while the caption itself
// is kept apart, unchanged.
QString caption(const QAction* item) { return item->data().toString(); }

void setCaption(QAction* item, const QString& text)
{
    item->setData(text);
    item->setText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

} // namespace

void MainWindow::openSettings()
{
    settings.setFileName(userfiles::current().settingsFile());
    settings.setSection(okini);
}

void MainWindow::loadFavorites()
{
    openSettings();
    for (int n = 1; n <= 6; ++n) {
        setCaption(favoriteActions[n], settings.getString(keyOf(n), QString()));
        if (!caption(favoriteActions[n]).isEmpty()) {
            clearFavoritesAction->setEnabled(true);
            favoriteActions[n]->setVisible(true);
        }
    }
}

void MainWindow::addFavorite()
{
    openSettings();
    // The folder current when the question opens is the one stored.
    const QString folder = folderList->path();
    const QChar cr(13);
    QString prompt = QStringLiteral("お気に入りセットする番号を入力してください(1～6)");
    for (int n = 1; n <= 6; ++n)
        prompt += cr + QString::number(n) + QLatin1Char('.') + caption(favoriteActions[n]);
    // Cancel answers an empty text, which names no slot.
    const QString answer = dialogs().inputBox(prompt, QStringLiteral("お気に入りナンバー"), QStringLiteral("1")).value_or(QString());

    const double v = Val(answer);
    for (int n = 1; n <= 6; ++n) {
        if (v != n)
            continue;
        // A favorite lives only in the file: one that cannot be written there (a
        // folder name that is not valid UTF-8, a file that cannot be replaced) is
        // refused with a message instead of showing until the next start.
        if (!settings.writeString(keyOf(n), folder)) {
            dialogs().msgBox(QStringLiteral("お気に入りに保存できませんでした"), MsgBoxStyle::OkOnly, QStringLiteral("警告"));
            return;
        }
        setCaption(favoriteActions[n], folder);
        favoriteActions[n]->setVisible(true);
        clearFavoritesAction->setEnabled(true);
        return;
    }
}

void MainWindow::clearFavorites()
{
    openSettings();
    settings.deleteSection();
    clearFavoritesAction->setEnabled(false);
    for (int n = 1; n <= 6; ++n) {
        favoriteActions[n]->setVisible(false);
        setCaption(favoriteActions[n], QString());
    }
}

void MainWindow::openFavorite(int index)
{
    try {
        folderList->setPath(caption(favoriteActions[index]));
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("パスが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("警告"));
    }
}
