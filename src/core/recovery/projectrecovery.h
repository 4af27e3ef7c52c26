#pragma once
// Finding and repairing the projects an earlier run of the program left behind unsaved.
//
// A working folder is interrupted when it carries an "in use" mark (WorkingFolderMark) whose
// process is no longer running and its index "pro.lsnc" names clips. A folder whose mark names
// a running process (another copy working on it) is never touched, nor one without an index
// (taken, and ended before its first clip); a folder whose index cannot
// be read is reported and left exactly as it is.
//
// Repair makes the recordings that were cut off usable, as the end of a normal recording
// would have: each clip file is probed; a fragmented MP4 is rewritten as a regular one (kept
// as it is when that fails: it still plays); the clips' lengths and spans are set from what
// the file holds; a clip whose file holds nothing playable is dropped with a line in the log.
//
// Static functions with no shared state; any thread, but loading into ProjectData is for the
// main thread.
#include "core/project/avdata.h"
#include "core/recovery/workingfoldermark.h"

#include <QList>
#include <QStringList>

class ProjectData;

struct InterruptedProject
{
    QString folder;  // the working folder, ending with "/"
    WorkingFolderMark mark;
    bool indexReadable = false;
    QString indexError;   // why the index could not be read
    QList<AVData> clips;  // as the index holds them, file paths in `folder`
    // True when the packed file the mark names holds all of it: the same clips, spans and
    // titles, and each clip's media at the same size (a project that was only opened, or
    // saved just before the end). There is nothing to recover; the folder may go quietly.
    bool heldByPackedFile = false;
};

class ProjectRecovery
{
public:
    // The working folders a project may live in: the new project's folder and every working
    // folder of a packed file.
    static QStringList candidateFolders();

    // The interrupted projects among `folders`, the most recently marked first. Readable ones
    // hold at least one clip; unreadable ones come with indexReadable false.
    static QList<InterruptedProject>
    findInterrupted(const QStringList &folders = candidateFolders());
    static bool inspect(const QString &folder, InterruptedProject *found);
    // True when the packed file `packedFile` holds every clip of `project` as it is.
    static bool packedFileHolds(const QString &packedFile, const InterruptedProject &project);

    struct Repair
    {
        QList<AVData> clips;    // what is kept, in timeline order
        QStringList dropped;    // titles or file names of the clips dropped
        QStringList rewritten;  // files turned from fragmented into regular MP4
    };
    // Probes and repairs the clip files of `project` (see above). Slow for long recordings:
    // every packet of each file is read once.
    static Repair repair(const InterruptedProject &project);

    // Makes `project` the open project: its folder, its packed file path and `clips`, not
    // marked saved.
    static void load(ProjectData *project, const InterruptedProject &found,
                     const QList<AVData> &clips);

    // The teacher's "discard": the folder and everything in it.
    static bool discard(const QString &folder);

    // What a media file holds: the end of its last picture (or, without pictures, of its
    // sound) in ms from the start, -1 when it holds nothing playable; the end of its longest
    // stream.
    struct Probe
    {
        qint64 durationMs = -1;
        qint64 endMs = -1;
        int width = -1;
        int height = -1;
    };
    static Probe probe(const QString &path);
    static bool isFragmentedMp4(const QString &path);
};
