#pragma once
// Where the program keeps its files. The one place that decides it; every caller asks here.
//
// A copy whose application folder (the folder of the executable) is writable and which is
// not installed — a build tree or a portable copy — keeps everything in that folder, as it
// always did: "conf.ini", "data/", "cache/", "testcrash.log" and "dump/" beside the program.
// An installed copy (its folder is read-only, or it sits in a prefix that holds its desktop
// entry, as /usr/bin/lumora_record does even for root) uses the user's folders instead:
//
//   kind     application folder   installed
//   Config   <app>/               $XDG_CONFIG_HOME/lumora/   (default ~/.config/lumora/)
//   Data     <app>/               $XDG_DATA_HOME/lumora/     (default ~/.local/share/lumora/)
//   Cache    <app>/               $XDG_CACHE_HOME/lumora/    (default ~/.cache/lumora/)
//
// Callers keep the names they always used and put them under the folder of their kind:
// "conf.ini" under Config; "data/<md5>/", "data/temp/", "testcrash.log" and "dump/" under
// Data; "cache/<md5>/" and other caches under Cache. The bundled "./ffmpeg" is looked up in
// the application folder itself (FfmpegTool), never here.
//
// The decision is made once per process, on first use, and needs the application object
// (QCoreApplication) to exist. After that every function may be called from any thread.
#include <QProcessEnvironment>
#include <QString>

class AppPaths
{
public:
    enum class Kind { Config, Data, Cache };

    // Absolute folder for files of that kind, without a trailing slash. It is created when
    // missing (a failure shows later, when a file in it cannot be written).
    static QString folder(Kind kind);
    // folder(kind) + "/" + relative, e.g. filePath(Kind::Config, "conf.ini").
    static QString filePath(Kind kind, const QString &relative);
    // True for a build tree or a portable copy, false for an installed program.
    static bool usesApplicationFolder();

    // The decision itself, from the facts it depends on; used by the functions above and by
    // tests. `installed`: the application folder is read-only or belongs to an installation.
    struct Folders
    {
        QString config;
        QString data;
        QString cache;
    };
    static Folders decide(const QString &applicationFolder, bool installed,
                          const QProcessEnvironment &environment, const QString &home);
    // True when the copy in applicationFolder is an installed one (see above).
    static bool isInstalled(const QString &applicationFolder);

    // Name of the program's folder inside each XDG base folder.
    static constexpr const char *kFolderName = "lumora";
    // File name of the installed desktop entry (share/applications/), by which an installed
    // copy is recognised.
    static constexpr const char *kDesktopEntryName = "org.lumora.Record.desktop";
};
