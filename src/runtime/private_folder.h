#pragma once

#include <QString>

// Folders and files only this user can reach: the instance door lives in one,
// and a place someone else made or opened up is never used for it.
namespace private_folder {

enum class Kind { Folder, File, Socket };

// Why `path` is not a `kind` of this user's alone (a link, another kind, owned by
// someone else, open to the group or others); empty when it is one.
QString problem(const QString& path, Kind kind = Kind::Folder);
// The same for what an open descriptor refers to.
QString problem(int descriptor, Kind kind);

// This folder, made with mode 700 when missing; empty, with the reason in the
// log, when what is there is not this user's alone.
QString made(const QString& path);

} // namespace private_folder
