#include "ui/app/startup.h"

#include "core/platform/processes.h"
#include "core/project/recentfiles.h"
#include "core/record/screenrecord.h"
#include "ui/base/basewindow.h"
#include "ui/record/recordmessages.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/editor/vlccommon.h"
#include "ui/editor/vlcinstance.h"
#include "ui/home/firstwindow.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QMessageBox>

bool refuseSecondInstance()
{
    if (processCount(QString::fromLatin1(kProgramName)) <= 1)
        return false;
    const QString text = QApplication::translate("Startup", "程序正在运行中,请勿重复打开");
    qWarning().noquote() << text;
    QMessageBox::warning(nullptr, QApplication::translate("Startup", "警告"), text, QMessageBox::Ok);
    return true;
}

bool applyApplicationStyleSheet(QApplication &app, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    app.setStyleSheet(QString::fromUtf8(file.readAll()));
    file.close();
    return true;
}

bool installQtChineseTranslations(QApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}

int showCrashReport(const QString &reportFile)
{
    qWarning().noquote() << "crash report:" << reportFile;
    QMessageBox box;
    box.setText(QApplication::translate("Startup", "亲， 出错了，重新启动下吧！"));
    box.exec();
    return 0;
}

QWidget *openEditorWindow(const QString &projectFile)
{
    auto *window = new BaseWindow;
    window->setTitle(QApplication::translate("Startup", "Lumora录课"));
    auto *editor = new MainContentWidget;
    window->setContentWidget(editor);
    // The file is unpacked on a worker while the window comes up; its outcome arrives through
    // the event loop, so a file that cannot be opened is reported over the shown window.
    if (!projectFile.isEmpty())
        editor->openProFile(projectFile);
    window->show();
    return window;
}

QWidget *openFirstWindow(const QString &projectFile)
{
    RecentFiles::instance()->load();
    installRecordMessagePresenter();
    // The preview's libvlc starts while the home page is up: the editor then opens sooner.
    VlcInstance::startEarly(VlcCommon::args());
    if (!projectFile.isEmpty()) {
        qDebug().noquote() << "project file:" << projectFile;
        return openEditorWindow(projectFile);
    }
    auto *home = new FirstWindow;
    home->show();
    return home;
}
