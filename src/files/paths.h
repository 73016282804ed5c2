#pragma once

#include <QString>

// A folder joined to a name with one separator; a folder that already ends
// with one (the root) gets none added.
inline QString fullPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The folder an absolute path lies in: "/" for a name in the root.
inline QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// The last component of a path.
inline QString nameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }
