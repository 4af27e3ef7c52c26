#pragma once
// What a folder holds, to show that an operation changed nothing there (or only what it
// should).
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace FolderSnapshot {

// Every file and folder below `root`, hidden ones included: path relative to `root` ->
// the file's bytes ("<dir>" for a folder).
QMap<QString, QByteArray> contents(const QString &root);

// The paths of every file and folder below `root`, relative to it, sorted; nothing is read.
QStringList paths(const QString &root);

// The names directly in `dir`, hidden ones included, sorted.
QStringList names(const QString &dir);

}  // namespace FolderSnapshot
