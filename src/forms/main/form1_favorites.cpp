// Favorites: six folders kept in the settings file and shown in the menu.
#include "forms/main/form1.h"

#include <QAction>

#include "platform/app.h"
#include "platform/dialogs.h"
#include "platform/dir_list_box.h"
#include "platform/run_time_error.h"
#include "platform/val.h"

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

void Form1::openSettings()
{
    clsnew.setStrFileName(App::Path() + QStringLiteral("/kiriview.ini"));
    clsnew.setStrSection(okini);
}

void Form1::loadFavorites()
{
    openSettings();
    for (int n = 1; n <= 6; ++n) {
        setCaption(mnurec[n], clsnew.GetString(keyOf(n), QString()));
        if (!caption(mnurec[n]).isEmpty()) {
            mnuokiniclear->setEnabled(true);
            mnurec[n]->setVisible(true);
        }
    }
}

void Form1::mnuokiniplus_Click()
{
    openSettings();
    const QChar cr(13);
    QString prompt = QStringLiteral("お気に入りセットする番号を入力してください(1～6)");
    for (int n = 1; n <= 6; ++n)
        prompt += cr + QString::number(n) + QLatin1Char('.') + caption(mnurec[n]);
    const QString answer = dialogs().inputBox(prompt, QStringLiteral("お気に入りナンバー"), QStringLiteral("1"));

    const double v = Val(answer);
    for (int n = 1; n <= 6; ++n) {
        if (v != n)
            continue;
        setCaption(mnurec[n], Dir1->Path());
        mnurec[n]->setVisible(true);
        clsnew.WriteString(keyOf(n), Dir1->Path());
        mnuokiniclear->setEnabled(true);
        return;
    }
}

void Form1::mnuokiniclear_Click()
{
    openSettings();
    clsnew.DeleteSection();
    mnuokiniclear->setEnabled(false);
    for (int n = 1; n <= 6; ++n) {
        mnurec[n]->setVisible(false);
        setCaption(mnurec[n], QString());
    }
}

void Form1::mnurec_Click(int Index)
{
    try {
        Dir1->setPath(caption(mnurec[Index]));
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("パスが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("警告"));
    }
}
