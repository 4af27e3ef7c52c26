// lumora_slide_agent <presentation file> <container window id> <main widget window id>
// Shows a presentation for the presentation recording window of lumora_record, which starts
// it. Exit status (SlideProtocol::AgentExit): 0 when it ended as asked (or its window went
// away), 1 when the file could not be opened or converted, 2 for a wrong command line, 3 when
// the window could not be reached, 4 when LibreOffice is not installed, 5 when the conversion
// took too long.
#include "slideagent.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lumora_slide_agent"));
    // Closing the slide window does not end the agent; the recording window decides.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();
    bool idOk = false;
    const quint64 containerWinId = args.size() == 4 ? args.at(2).toULongLong(&idOk) : 0;
    if (!idOk || containerWinId == 0) {
        QTextStream(stdout) << "usage: lumora_slide_agent <presentation file> "
                               "<container window id> <main widget window id>"
                            << Qt::endl;
        return SlideProtocol::kExitUsage;
    }
    // The window that started the agent is its parent process.
    SlideAgent agent(args.at(1), static_cast<qint64>(::getppid()), containerWinId);
    // Started from the event loop, so that an answer known at once can end it.
    QTimer::singleShot(0, &agent, &SlideAgent::start);
    const int code = app.exec();
    return code;
}
