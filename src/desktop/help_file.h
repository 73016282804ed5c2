#pragma once

#include <QString>
#include <QStringList>

// The help the "ヘルプ(&H)" command opens: "View.hlp" beside the program wins,
// then the installed page (share/kiriview/help), then the page in the source tree (a build folder).
// Empty when none exists.
QString helpFile();
