#pragma once
// Makes what was written durable. Any thread.
#include <QString>

// fsync of a file (its contents) or of a folder (its entries, after a rename into it). False
// when the path cannot be opened or synced.
bool syncToDisk(const QString &path);

// Puts `temporary` in the place of `target` with one rename, once its bytes are on disk, then
// syncs the folder so that the rename lasts too. On failure `target` is as it was and
// `temporary` is removed.
bool replaceDurably(const QString &temporary, const QString &target);
