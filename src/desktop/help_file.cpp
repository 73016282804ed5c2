#include "desktop/help_file.h"

#include <QFileInfo>

#include "runtime/app.h"
#include "runtime/services.h"

QString helpFile()
{
    // Built as it always was: a program in the root gets a doubled separator, harmless here.
    QStringList candidates{App::path() + QStringLiteral("/View.hlp")};
    if (!services().helpPages.isEmpty())
        candidates += services().helpPages;
    else
        // Not under share/doc: systems may leave that folder out, and the program must work without it.
        candidates += {App::path() + QStringLiteral("/../share/kiriview/help/index.html"),
                       QStringLiteral(KIRIVIEW_SOURCE_HELP)};
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).absoluteFilePath();
    return {};
}

