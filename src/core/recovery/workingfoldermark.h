#pragma once
// The "in use" mark of a project working folder: a small JSON file the running editor keeps in
// the folder it works in, naming that process and the packed file the project came from. A
// normal close removes it with the folder; a mark that outlives its process says the project
// in the folder was never saved or discarded (a crash, a kill, a power cut).
//
// A process is named by its id, its start time (clock ticks after boot, /proc/<pid>/stat) and
// the boot id, so that a process id reused after a restart or by another program is not taken
// for the one that wrote the mark.
//
// Plain values and file functions; any thread.
#include "core/platform/filesync.h"

#include <QString>

struct WorkingFolderMark
{
    qint64 pid = -1;
    qint64 startTicks = -1;
    QString bootId;
    QString filePath;      // the packed project file, empty for a project never saved
    qint64 writtenMs = 0;  // when the mark was written, ms since the epoch

    static QString fileName() { return QStringLiteral("inuse.mark"); }
    static QString pathIn(const QString &folder);

    // A mark for the calling process.
    static WorkingFolderMark forThisProcess(const QString &filePath);

    // Writes the mark into `folder` (temporary file, then a rename; with ToDisk, an fsync
    // before and after it). False when it cannot.
    bool write(const QString &folder, Durability durability = Durability::ToDisk) const;
    // Reads the mark of `folder`; false when there is none or it cannot be read.
    static bool read(const QString &folder, WorkingFolderMark *mark);
    static bool exists(const QString &folder);
    // With ToDisk, the removal is on the disk when the call returns.
    static void remove(const QString &folder, Durability durability = Durability::ToDisk);

    // True while the process that wrote the mark is still running.
    bool processIsRunning() const;

    // Start time of a process in clock ticks after boot, -1 when it is not running.
    static qint64 processStartTicks(qint64 pid);
    static QString currentBootId();
};
