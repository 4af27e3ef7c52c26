#pragma once
// The top-level boxes of an MP4 file, in file order ("ftyp", "moov", "moof", "mdat", ...),
// as a player walking the file would find them. A box whose size runs past the end ends the
// list (a file cut short by a killed writer).
#include <QStringList>

namespace Mp4Boxes {

QStringList topLevel(const QString &path);

}  // namespace Mp4Boxes
