#include "app/translations.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Texts of Qt's file dialog that its Japanese catalogue lacks; without them the
// save-file dialog calls a folder "Folder" whatever else it says in Japanese.
class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        static const QHash<QByteArray, QString> iconProvider = {
            {"Drive", QStringLiteral("ドライブ")},         {"Folder", QStringLiteral("フォルダー")},
            {"File", QStringLiteral("ファイル")},          {"%1 File", QStringLiteral("%1 ファイル")},
            {"Alias", QStringLiteral("エイリアス")},       {"Shortcut", QStringLiteral("ショートカット")},
            {"Unknown", QStringLiteral("不明")},
        };
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0 && qstrcmp(context, "QFileSystemModel") != 0)
            return {};
        return iconProvider.value(QByteArray(sourceText));
    }
};

} // namespace

void installJapaneseTranslations()
{
    // The program speaks only Japanese; a C or POSIX locale (C.UTF-8 too) says nothing
    // about the user. Another locale keeps the user's own date and number formats.
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    QCoreApplication* app = QCoreApplication::instance();
    // Installed first, so Qt's own catalogue, installed after it, is asked first.
    QCoreApplication::installTranslator(new MissingQtTexts(app));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ja"}) {
        auto* translator = new QTranslator(app);
        if (translator->load(QString::fromLatin1(name), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
