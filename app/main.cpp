#include "core/export/exportcommand.h"
#include "core/storage/infocommand.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>

int main(int argc, char *argv[])
{
    // Commands that need no display run before any window system is touched.
    if (argc >= 2 && qstrcmp(argv[1], "--info") == 0) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout), err(stderr);
        return runInfoCommandLine(app.arguments(), out, err);
    }
    if (argc >= 2 && qstrcmp(argv[1], "--export") == 0) {
        QCoreApplication app(argc, argv);
        return runExportCommandLine(app.arguments());
    }
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("lumora_record");
    QCoreApplication::setApplicationVersion(LUMORA_VERSION);
    return 0;
}
