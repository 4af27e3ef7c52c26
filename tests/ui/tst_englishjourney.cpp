// The program on a desktop in English: a teacher walks through every window (home, editor,
// file menu, export, settings, screen recording, slide show, whiteboard) and meets no Chinese
// anywhere but in the names of their own files. Pictures of each window go to
// $LUMORA_SCREENSHOTS when it is set.
#include "core/media/avdatasmanager.h"
#include "core/platform/language.h"
#include "core/project/projectdata.h"
#include "core/project/recentfiles.h"
#include "core/record/screenrecord.h"
#include "support/modaldriver.h"
#include "support/slideshow.h"
#include "support/testmedia.h"
#include "support/xpointer.h"
#include "ui/app/startup.h"
#include "ui/base/basewindow.h"
#include "ui/base/commonpromptwindow.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/home/firstwidget.h"
#include "ui/home/firstwindow.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/recordpptwidget.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The texts a teacher sees in `top` and its visible children that hold Chinese, after taking
// out `ownNames` (names that came from the teacher's files).
QStringList chineseTexts(QWidget *top, const QStringList &ownNames)
{
    static const QRegularExpression han(u"\\p{Han}"_s);
    QStringList found;
    const auto check = [&](QWidget *w, const char *what, QString text) {
        for (const QString &name : ownNames)
            text.remove(name);
        if (han.match(text).hasMatch())
            found << u"%1 %2 %3: %4"_s.arg(QString::fromLatin1(w->metaObject()->className()),
                                           w->objectName(), QString::fromLatin1(what), text);
    };
    QList<QWidget *> widgets{top};
    widgets += top->findChildren<QWidget *>();
    for (QWidget *w : std::as_const(widgets)) {
        if (!w->isVisible())
            continue;
        if (w->isWindow())
            check(w, "title", w->windowTitle());
        check(w, "tool tip", w->toolTip());
        if (auto *label = qobject_cast<QLabel *>(w))
            check(w, "text", label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            check(w, "text", button->text());
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            check(w, "text", edit->text());
            check(w, "placeholder", edit->placeholderText());
        }
        if (auto *combo = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < combo->count(); ++i)
                check(w, "item", combo->itemText(i));
        if (auto *menu = qobject_cast<QMenu *>(w))
            for (QAction *action : menu->actions())
                check(w, "entry", action->text());
    }
    return found;
}

void saveScreenshot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("LUMORA_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    // From the screen, as the teacher sees it: the preview's video is a native window that a
    // widget's own grab leaves black.
    const QRect area(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    widget->screen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .save(dir + u"/en_"_s + name + u".png"_s);
}

template <typename T> T *topLevel()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<T *>(w); found && found->isVisible())
            return found;
    return nullptr;
}

// The content of a shown frame window, of type T.
template <typename T> T *frameContent()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (T *found = w->isVisible() ? w->findChild<T *>() : nullptr)
            return found;
    return nullptr;
}

MainContentWidget *editorOf(QWidget *frame)
{
    return frame ? frame->findChild<MainContentWidget *>() : nullptr;
}

}  // namespace

class TestEnglishJourney : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyWindowInEnglish();

private:
    // Fails the test with the Chinese texts of `top`, and saves its picture as `name`.
    bool allEnglish(QWidget *top, const QString &name);

    QTemporaryDir m_dir;
    QString m_clip;
    QString m_slides;
};

void TestEnglishJourney::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(language::english());
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    applyApplicationStyleSheet(*qApp);
    QVERIFY(QDir::setCurrent(m_dir.path()));
    RecentFiles::instance()->clear();
    // The teacher's own files have Chinese names, which the windows show as they are.
    m_clip = m_dir.filePath(u"物理第一课.mp4"_s);
    QVERIFY(TestMedia::makeClip(m_clip, 4, QSize(320, 240)));
    // A one-page PDF: the slide show shows it as it is.
    m_slides = m_dir.filePath(u"课件.pdf"_s);
    QPdfWriter pdf(m_slides);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Landscape);
    QPainter painter(&pdf);
    painter.fillRect(QRect(QPoint(0, 0), QSize(pdf.width(), pdf.height())), QColor(30, 90, 160));
    painter.end();
    QString error;
    QVERIFY2(SlideShow::prepareContainer(m_dir.path(), &error), qPrintable(error));
}

bool TestEnglishJourney::allEnglish(QWidget *top, const QString &name)
{
    saveScreenshot(top, name);
    // Besides the teacher's files, "中文" names the Chinese interface in the language page.
    const QStringList chinese = chineseTexts(top, {u"物理第一课"_s, u"课件"_s, u"中文"_s});
    if (!chinese.isEmpty())
        qWarning().noquote() << name << "shows Chinese:\n" << chinese.join(u'\n');
    return chinese.isEmpty();
}

void TestEnglishJourney::everyWindowInEnglish()
{
    ModalDriver driver;
    // Home.
    openFirstWindow(QString());
    QPointer<FirstWindow> home = topLevel<FirstWindow>();
    QVERIFY(home);
    QVERIFY(QTest::qWaitForWindowExposed(home));
    QVERIFY(allEnglish(home, u"home"_s));

    // "New": the editor, with a video imported through Qt's own file dialog.
    QTest::mouseClick(home->firstWidget()->newButton(), Qt::LeftButton);
    QTRY_VERIFY(topLevel<BaseWindow>() && editorOf(topLevel<BaseWindow>()));
    QPointer<BaseWindow> frame = topLevel<BaseWindow>();
    MainContentWidget *editor = editorOf(frame);
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QVERIFY(allEnglish(frame, u"editor_empty"_s));
    QStringList dialogTexts;
    driver.fillFileDialog(m_clip, [&](QFileDialog *dialog) {
        QVERIFY(allEnglish(dialog, u"import_dialog"_s));
        dialogTexts << dialog->windowTitle() << dialog->nameFilters();
    });
    QTest::mouseClick(editor->ui().btn_import, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(driver.idle(), 60000);
    QCOMPARE(dialogTexts.value(0), u"Choose a video file"_s);
    QTRY_COMPARE_WITH_TIMEOUT(ProjectData::instance()->count(), 1, 120000);
    QTRY_VERIFY_WITH_TIMEOUT(!editor->avDatasManager()->isBusy(), 60000);
    // Once its "Done" has gone, with the clip's pictures made.
    QTRY_VERIFY_WITH_TIMEOUT(
        !editor->promptWindow()->isVisible() && !editor->successWindow()->isVisible(), 10000);
    QTest::qWait(1000);
    QVERIFY(allEnglish(frame, u"editor"_s));

    // The file menu.
    QPointer<QMenu> menu;
    QTimer::singleShot(500, [&] {
        menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu) {
            QVERIFY(allEnglish(menu, u"file_menu"_s));
            menu->close();
        }
    });
    QTest::mouseClick(editor->ui().btn_file, Qt::LeftButton);
    QTRY_VERIFY(menu && !menu->isVisible());

    // Export: its dialog, then Cancel.
    driver.addStep(
        u"export dialog"_s, [](QWidget *w) { return w->objectName() == u"ExportDialog"_s; },
        [&](QWidget *w) {
            QVERIFY(allEnglish(w, u"export"_s));
            w->close();
        });
    editor->slotMenuExport();
    QTRY_VERIFY_WITH_TIMEOUT(driver.idle(), 60000);

    // Settings.
    editor->slotMenuSetting();
    QWidget *settings = nullptr;
    QTRY_VERIFY((settings = QApplication::activeWindow()) &&
                settings->objectName() == u"SettingWidget"_s);
    // Every page of it, picked from its menu.
    auto *pages = settings->findChild<QListWidget *>(u"listview_menu"_s);
    QVERIFY(pages && pages->count() >= 3);
    for (int row = 0; row < pages->count(); ++row) {
        QTest::mouseClick(pages->itemWidget(pages->item(row)), Qt::LeftButton);
        QTRY_COMPARE(pages->currentRow(), row);
        QTest::qWait(300);
        QVERIFY(allEnglish(settings, u"settings_%1"_s.arg(row)));
    }
    settings->close();

    // Screen recording: the frozen screen with a chosen area and its buttons.
    QTest::mouseClick(editor->ui().btn_record_screen, Qt::LeftButton);
    QPointer<RecordScreenSelectWidget> select;
    QTRY_VERIFY_WITH_TIMEOUT(select = topLevel<RecordScreenSelectWidget>(), 5000);
    QVERIFY(QTest::qWaitForWindowExposed(select));
    QVERIFY(XPointer::drag({{400, 300}, {900, 700}}));
    QTest::qWait(300);
    QVERIFY(allEnglish(select, u"screen_select"_s));
    // "Start recording": the bar while it records, then "End".
    // The buttons live in the selection's scene, not among its child widgets.
    QPushButton *start = nullptr;
    for (QWidget *w : QApplication::allWidgets())
        if (w->objectName() == u"screen_start_reocrd"_s)
            start = qobject_cast<QPushButton *>(w);
    QVERIFY(start && start->isVisible());
    QCOMPARE(start->text(), u"Start recording"_s);
    QVERIFY(XPointer::click(start->mapToGlobal(start->rect().center())));
    QPointer<RecordScreenWidget> recording;
    QTRY_VERIFY_WITH_TIMEOUT((recording = topLevel<RecordScreenWidget>()) &&
                                 recording->recorder() &&
                                 recording->recorder()->state() == ScreenRecord::Recording,
                             20000);
    QTest::qWait(1500);
    QVERIFY(allEnglish(recording, u"screen_recording"_s));
    RecordScreenCtrlWidget *bar = recording->ctrlWidget();
    saveScreenshot(bar, u"screen_recording_bar"_s);
    QVERIFY(XPointer::click(bar->stopButton()->mapToGlobal(bar->stopButton()->rect().center())));
    QTRY_VERIFY_WITH_TIMEOUT(!recording, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(editor->isEnabled(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(ProjectData::instance()->count() >= 2, 10000);

    // The whiteboard, from the editor's button.
    QTest::mouseClick(editor->ui().btn_record_white_board, Qt::LeftButton);
    QPointer<RecordWhiteboardWidget> board;
    QTRY_VERIFY_WITH_TIMEOUT(
        (board = frameContent<RecordWhiteboardWidget>()) && board->window()->isVisible(), 10000);
    QVERIFY(QTest::qWaitForWindowExposed(board->window()));
    QTest::qWait(500);
    QVERIFY(allEnglish(board->window(), u"whiteboard"_s));
    board->window()->close();
    QTRY_VERIFY(!board);
    QTRY_VERIFY(editor->isEnabled());

    // The slide show: its window with the slide in place.
    auto *slides = new BaseWindow;
    auto *content = new RecordPptWidget;
    slides->setContentWidget(content);
    slides->resize(1280, 800);
    slides->show();
    content->openPptFile(m_slides, ProjectData::instance()->at(0), 0);
    QTRY_VERIFY_WITH_TIMEOUT(content->container()->slidesInPlace(), 60000);
    QTest::qWait(500);
    QVERIFY(allEnglish(slides, u"slide_show"_s));
    slides->close();
    QTest::qWait(500);

    frame->close();
}

int main(int argc, char **argv)
{
    // A desktop in English.
    qputenv("LANGUAGE", "en_US");
    QApplication app(argc, argv);
    language::install(app);
    TestEnglishJourney test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_englishjourney.moc"
