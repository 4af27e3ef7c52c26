#pragma once
// Makes what was written durable. Any thread.
#include <QString>

// fsync of a file (its contents) or of a folder (its entries, after a rename into it). False
// when the path cannot be opened or synced.
bool syncToDisk(const QString &path);

// How a replacement reaches the disk. ToDisk: the bytes, then the rename, are on the disk when
// the call returns. Lazily: the system writes them when it will; after a crash the target may
// still be the old file (or, on some file systems, empty), so only for what can be lost.
enum class Durability { ToDisk, Lazily };

// Puts `temporary` in the place of `target` with one rename (with ToDisk, once its bytes are
// on disk, and the folder is synced after it so that the rename lasts too). On failure
// `target` is as it was and `temporary` is removed.
bool replaceDurably(const QString &temporary, const QString &target,
                    Durability durability = Durability::ToDisk);
