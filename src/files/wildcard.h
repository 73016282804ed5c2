#pragma once

#include <QStringView>

// Matches a file name against a pattern with "*" (any run of characters) and
// "?" (any one character), ignoring letter case. Works on any text, including
// names that hold the lone surrogates of undecodable bytes, which regular
// expressions refuse.
bool matchesWildcard(QStringView name, QStringView pattern);
