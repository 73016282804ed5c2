#pragma once

#include <QString>

// A folder joined to a name with one separator; a folder that already ends
// with one (the root) gets none added.
inline QString fullPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}
