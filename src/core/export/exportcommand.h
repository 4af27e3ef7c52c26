#pragma once
// `lumora_record --export FILE.lsn OUT.mp4`: unpacks the packed project into a temporary
// working folder, exports its clips to OUT with ExportManager and removes the folder.
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

int runExportCommand(const QString &file, const QString &out, QTextStream &progress,
                     QTextStream &err, bool progressIsTerminal);
// The whole command line (program name, "--export", FILE, OUT); a wrong argument count
// returns 2.
int runExportCommandLine(const QStringList &arguments);
