#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("lumora_record");
    QCoreApplication::setApplicationVersion(LUMORA_VERSION);
    return 0;
}
