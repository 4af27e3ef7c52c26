// lumora_slide_agent <presentation file> <window key>
// Renders a presentation's pages for the presentation recording window of lumora_record, which
// starts it; the window's local server is named by its process and `window key`. Exit status
// (SlideProtocol::AgentExit): 0 when it ended as asked (or its window went away), 1 when the file
// could not be opened or converted, 2 for a wrong command line, 3 when the window could not be
// reached, 4 when LibreOffice is not installed, 5 when the conversion took too long.
#include "slideagent.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // No window of its own, and no display needed: the pages are rendered into memory.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumora_slide_agent"));
    const QStringList args = QCoreApplication::arguments();
    bool keyOk = false;
    const quint64 key = args.size() == 3 ? args.at(2).toULongLong(&keyOk) : 0;
    if (!keyOk || key == 0) {
        QTextStream(stdout) << "usage: lumora_slide_agent <presentation file> <window key>"
                            << Qt::endl;
        return SlideProtocol::kExitUsage;
    }
    // The window that started the agent is its parent process.
    SlideAgent agent(args.at(1), static_cast<qint64>(::getppid()), key);
    // Started from the event loop, so that an answer known at once can end it.
    QTimer::singleShot(0, &agent, &SlideAgent::start);
    const int code = app.exec();
    return code;
}
