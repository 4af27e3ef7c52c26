#pragma once
// `lumora_record --export FILE.lsn OUT.mp4 [--loudness LUFS | --no-loudness]`: unpacks the
// packed project into a temporary working folder, exports its clips to OUT with ExportManager
// and removes the folder. The sound is brought to loudness::kTargetLufs, to LUFS when given,
// or left at its level with --no-loudness.
//
// On a terminal the progress is one line refreshed in place (percent, elapsed and estimated
// remaining time); otherwise it is printed as plain lines. Exit status 0 on success; Ctrl-C
// (SIGINT) or SIGTERM cancels, removes OUT and exits with 130; any failure prints one line on
// standard error and exits with 2. Needs no display.
//
// Main thread, with a QCoreApplication (or QApplication) constructed and no event loop running.
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

int runExportCommand(const QString &file, const QString &out, QTextStream &progress,
                     QTextStream &err, bool progressIsTerminal, std::optional<double> loudnessLufs);
// The whole command line (program name, "--export", FILE, OUT, then "--loudness" LUFS or
// "--no-loudness" when given); a wrong argument count or level returns 2.
int runExportCommandLine(const QStringList &arguments);
