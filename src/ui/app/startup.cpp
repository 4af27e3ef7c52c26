#include "ui/app/startup.h"

#include "core/platform/processes.h"
#include "core/project/projectdata.h"
#include "core/project/recentfiles.h"
#include "core/record/screenrecord.h"
#include "core/recovery/projectrecovery.h"
#include "core/storage/saveopenmanager.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/editor/vlccommon.h"
#include "ui/editor/vlcinstance.h"
#include "ui/home/firstwindow.h"
#include "ui/record/recordmessages.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <QtConcurrent>

bool refuseSecondInstance()
{
    if (processCount(QString::fromLatin1(kProgramName), ProcessScope::SameSession) <= 1)
        return false;
    const QString text = QApplication::translate("Startup", "程序正在运行中,请勿重复打开");
    qWarning().noquote() << text;
    QMessageBox::warning(nullptr, QApplication::translate("Startup", "警告"), text,
                         QMessageBox::Ok);
    return true;
}

namespace {

// Gives every message box a least width as it is first shown: a box for a short text
// ("导出成功") came out so narrow that the window manager cut its title to "...". A style
// sheet's min-width would not do: on the label it replaces the text's own width, and the box
// then cuts long texts.
//
// Qt's own file dialog opens too small for its list, and its columns keep widths measured for
// Latin text: the size, the type and the date were cut to "...". It opens larger, and the
// columns take the width of what they show each time a folder is listed.
class DialogWidener : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || watched->property(kWidened).toBool())
            return false;
        if (auto *box = qobject_cast<QMessageBox *>(watched)) {
            auto *grid = qobject_cast<QGridLayout *>(box->layout());
            if (!grid)
                return false;
            box->setProperty(kWidened, true);
            // Seen before the box sizes itself to its layout.
            grid->addItem(new QSpacerItem(kMessageBoxMinWidth, 0), grid->rowCount(), 0, 1,
                          grid->columnCount());
        } else if (auto *dialog = qobject_cast<QFileDialog *>(watched)) {
            dialog->setProperty(kWidened, true);
            widenFileDialog(dialog);
        }
        return false;
    }

private:
    static void widenFileDialog(QFileDialog *dialog)
    {
        // Before the dialog places itself over its parent, which it does with this size.
        const QSize room = dialog->screen()->availableGeometry().size();
        dialog->resize(qMin(qMax(dialog->width(), kFileDialogSize.width()), room.width()),
                       qMin(qMax(dialog->height(), kFileDialogSize.height()), room.height()));
        auto *list = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        auto *model = dialog->findChild<QFileSystemModel *>();
        if (!list || !model)
            return;
        const QPointer<QTreeView> guarded(list);
        const auto fit = [guarded] {
            if (!guarded)
                return;
            QHeaderView *header = guarded->header();
            int others = 0;
            for (int column = 1; column < header->count(); ++column) {
                guarded->resizeColumnToContents(column);
                if (column == kTypeColumn && header->sectionSize(column) > kTypeColumnMaxWidth)
                    header->resizeSection(column, kTypeColumnMaxWidth);
                others += header->sectionSize(column);
            }
            // The name takes the rest; the last column stretches when there is more.
            header->resizeSection(0,
                                  qMax(kNameColumnMinWidth, guarded->viewport()->width() - others));
        };
        QObject::connect(model, &QFileSystemModel::directoryLoaded, list,
                         [fit] { QTimer::singleShot(0, fit); });
        QTimer::singleShot(0, list, fit);
    }

    static constexpr const char *kWidened = "lumoraWidened";
    static constexpr QSize kFileDialogSize{880, 540};
    static constexpr int kTypeColumn = 2;
    static constexpr int kTypeColumnMaxWidth = 220;
    static constexpr int kNameColumnMinWidth = 220;
};

}  // namespace

bool applyApplicationStyleSheet(QApplication &app, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    app.setStyleSheet(QString::fromUtf8(file.readAll()));
    file.close();
    const QString widener = QStringLiteral("dialog_widener");
    if (!app.findChild<QObject *>(widener, Qt::FindDirectChildrenOnly)) {
        auto *filter = new DialogWidener(&app);
        filter->setObjectName(widener);
        app.installEventFilter(filter);
    }
    return true;
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
    // The file is unpacked on a worker while the editor is built and the window comes up; its
    // outcome arrives through the event loop, so a file that cannot be opened is reported
    // over the shown window.
    SaveOpenManager *unpacking = nullptr;
    if (!projectFile.isEmpty()) {
        unpacking = new SaveOpenManager(nullptr);
        unpacking->openProject(projectFile);
    }
    auto *window = new BaseWindow;
    window->setTitle(QApplication::translate("Startup", "Lumora录课"));
    // Made in its place: the preview's native windows are then made once, in the window that
    // keeps them, not in a window of its own first.
    auto *editor = new MainContentWidget(window->mainWidget());
    window->setContentWidget(editor);
    if (unpacking)
        editor->openProFile(projectFile, unpacking);
    window->show();
    return window;
}

namespace {

enum class RecoveryAnswer { Recover, Discard };

// "恢复" or "丢弃"; the box has no other way out, so nothing is decided by a stray key.
RecoveryAnswer askToRecover(const InterruptedProject &found)
{
    const QString name = found.mark.filePath.isEmpty()
                             ? QApplication::translate("Startup", "未命名")
                             : QFileInfo(found.mark.filePath).completeBaseName();
    QMessageBox box(
        QMessageBox::Question, QApplication::translate("Startup", "提示"),
        QApplication::translate("Startup", "上次未保存的项目“%1”（%2 个片段）可以恢复，是否恢复？")
            .arg(name)
            .arg(found.clips.size()),
        QMessageBox::NoButton);
    QPushButton *recover =
        box.addButton(QApplication::translate("Startup", "恢复"), QMessageBox::AcceptRole);
    box.addButton(QApplication::translate("Startup", "丢弃"), QMessageBox::DestructiveRole);
    box.setDefaultButton(recover);
    box.exec();
    return box.clickedButton() == recover ? RecoveryAnswer::Recover : RecoveryAnswer::Discard;
}

// Rewriting a long recording takes a while: it runs on a worker under a busy indicator.
ProjectRecovery::Repair repairShowingProgress(const InterruptedProject &found)
{
    QProgressDialog progress(QApplication::translate("Startup", "正在恢复项目..."), QString(), 0,
                             0);
    progress.setWindowTitle(QApplication::translate("Startup", "Lumora录课"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    QFutureWatcher<ProjectRecovery::Repair> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<ProjectRecovery::Repair>::finished, &loop,
                     &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([found] { return ProjectRecovery::repair(found); }));
    if (!watcher.isFinished())
        loop.exec();
    return watcher.result();
}

}  // namespace

QWidget *offerInterruptedProjects()
{
    for (const InterruptedProject &found : ProjectRecovery::findInterrupted()) {
        if (!found.indexReadable) {
            qWarning().noquote() << "interrupted project with an unreadable index:" << found.folder
                                 << found.indexError;
            QMessageBox::warning(
                nullptr, QApplication::translate("Startup", "警告"),
                QApplication::translate("Startup",
                                        "上次未保存的项目无法读取（%1），文件夹原样保留：%2")
                    .arg(found.indexError,
                         QDir::toNativeSeparators(QFileInfo(found.folder).absoluteFilePath())));
            continue;
        }
        if (found.heldByPackedFile) {
            // Opened and left as it was saved: the packed file holds all of it.
            qInfo().noquote() << "working folder of a saved project removed:" << found.folder
                              << found.mark.filePath;
            if (!ProjectRecovery::discard(found.folder))
                qWarning().noquote() << "cannot remove" << found.folder;
            continue;
        }
        if (askToRecover(found) == RecoveryAnswer::Discard) {
            qInfo().noquote() << "interrupted project discarded:" << found.folder;
            if (!ProjectRecovery::discard(found.folder))
                qWarning().noquote() << "cannot remove" << found.folder;
            continue;
        }
        const ProjectRecovery::Repair repair = repairShowingProgress(found);
        if (repair.clips.isEmpty()) {
            QMessageBox::warning(
                nullptr, QApplication::translate("Startup", "警告"),
                QApplication::translate("Startup", "项目中的录制文件都无法播放，无法恢复。"));
            continue;
        }
        qInfo().noquote() << "interrupted project recovered:" << found.folder << repair.clips.size()
                          << "clips," << repair.dropped.size() << "dropped";
        ProjectRecovery::load(ProjectData::instance(), found, repair.clips);
        QWidget *frame = openEditorWindow(QString());
        // The editor takes the project as it finds it and marks it saved; it is not.
        ProjectData::instance()->markUnsaved();
        return frame;
    }
    return nullptr;
}

QWidget *openFirstWindow(const QString &projectFile)
{
    RecentFiles::instance()->load();
    installRecordMessagePresenter();
    // The preview's libvlc starts while the home page is up: the editor then opens sooner.
    VlcInstance::startEarly(VlcCommon::args());
    if (QWidget *recovered = offerInterruptedProjects()) {
        if (!projectFile.isEmpty())
            qInfo().noquote() << "project file not opened, a recovered project is open:"
                              << projectFile;
        return recovered;
    }
    if (!projectFile.isEmpty()) {
        qDebug().noquote() << "project file:" << projectFile;
        return openEditorWindow(projectFile);
    }
    auto *home = new FirstWindow;
    home->show();
    return home;
}
