// The teaching tools in a whiteboard recording, drawn with the real pointer and keyboard: a
// black pen stroke with the yellow highlighter across it, a line, an arrow, a square (Shift), an
// ellipse, text typed with the keyboard and an input method, the laser pointer; undo and the
// eraser. Then the keys that work from any window: with another program holding the keyboard
// they turn the laser pointer on, pause, continue and stop the recording, while a key another
// program holds is left to it and named in 设置. What the file shows is checked at the times
// each step was done.
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "support/screenpixels.h"
#include "support/whiteboardjourney.h"
#include "support/xpointer.h"
#include "ui/app/startup.h"
#include "ui/base/basewindow.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/pathrecord.h"
#include "ui/record/globalkeys.h"
#include "ui/settings/keyssettingswidget.h"
#include "ui/settings/settingwidget.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"
#include "ui/whiteboard/whiteboardrenderer.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUndoGroup>
#include <QtTest>

#include <xcb/xcb.h>

using namespace WhiteboardJourney;

namespace {
const QColor kBlack("#000000");
const QColor kYellow("#ffc300");
const QColor kBlue("#0daeff");
const QColor kLaser(0xff, 0x1e, 0x1e);

// Another program's connection to the X server, which can hold keys.
struct OtherClient
{
    xcb_connection_t *conn = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    ~OtherClient() { xcb_disconnect(conn); }
};

QKeySequence keyOf(GlobalKeys::Action action)
{
    return GlobalKeys::sequence(action);
}

// The key for xdotool: "ctrl+alt+p".
QString xdotoolKey(GlobalKeys::Action action)
{
    return keyOf(action).toString(QKeySequence::PortableText).toLower();
}

// Whether `picture` has a pixel of `colour` (within `tolerance`) within `radius` of `at`.
bool colourNear(const QImage &picture, QPoint at, const QColor &colour, int radius,
                int tolerance = 50)
{
    if (picture.isNull())
        return false;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p = at + QPoint(dx, dy);
            if (picture.rect().contains(p) &&
                ScreenPixels::near(picture.pixelColor(p), colour, tolerance))
                return true;
        }
    return false;
}
}  // namespace

class TestWhiteboardTools : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(applyApplicationStyleSheet(*qApp)); }
    void drawsTeachesAndObeysKeysFromAnyWindow();

private:
    // Board fractions to the canvas, the desktop and the recorded picture.
    QPoint onCanvas(double x, double y) const
    {
        return QPoint(int(m_canvas->width() * x), int(m_canvas->height() * y));
    }
    QPoint onScreen(double x, double y) const { return m_canvas->mapToGlobal(onCanvas(x, y)); }
    QPoint inPicture(double x, double y) const
    {
        return QPoint(int(m_picture.width() * x), int(m_picture.height() * y));
    }
    bool click(const char *name) { return clickButton(m_window, name); }
    // Drags with the real pointer from one board point to another.
    bool dragOnBoard(double x0, double y0, double x1, double y1)
    {
        const int before = m_canvas->curRecord()->undoStack()->index();
        return XPointer::drag({onScreen(x0, y0), onScreen(x1, y1)}, 80) &&
               QTest::qWaitFor(
                   [&] { return m_canvas->curRecord()->undoStack()->index() == before + 1; }, 3000);
    }
    // Picks a shape in the shapes button's menu (opened by its arrow). The menu runs its own
    // event loop from the press: the pick is made from a timer inside that loop.
    bool chooseShape(const char *action, int tool)
    {
        BoardToolsWidget *tools = m_window->form().view_draw_tools;
        QToolButton *button = tools->toolButton(ToolLine);
        QMenu *menu = button->menu();
        bool picked = false;
        QTimer picker;
        picker.start(200);
        connect(&picker, &QTimer::timeout, this, [&] {
            QAction *choice = menu->findChild<QAction *>(QString::fromLatin1(action));
            if (!menu->isVisible() || !choice)
                return;
            picker.stop();
            picked = XPointer::click(menu->mapToGlobal(menu->actionGeometry(choice).center()));
        });
        if (!XPointer::click(button->mapToGlobal(QPoint(button->width() - 4, 20))))
            return false;
        return QTest::qWaitFor([&] { return picked && !menu->isVisible(); }, 3000) &&
               tools->boardSettings()->tool == tool;
    }
    qint64 now() const { return m_clock.elapsed(); }

    QTemporaryDir m_dir;
    QPointer<RecordWhiteboardWidget> m_window;
    QSize m_picture;  // of the recording
    BoardCanvas *m_canvas = nullptr;
    QElapsedTimer m_clock;  // started with the recording
};

void TestWhiteboardTools::drawsTeachesAndObeysKeysFromAnyWindow()
{
    QCOMPARE(GlobalKeys::route(), GlobalKeys::X11Grab);
    QVERIFY(makeProject(m_dir.path()));
    // Another program holds the key of 清空画板 before the recording window opens.
    OtherClient other;
    QVERIFY(x11keys::grab(other.conn, other.root, keyOf(GlobalKeys::Clear)));

    auto *frame = new BaseWindow;
    m_window = new RecordWhiteboardWidget;
    m_picture = m_window->board()->pictureSize();
    frame->setContentWidget(m_window);
    frame->showMaximized();
    const ClipAtResult at = ProjectData::instance()->clipAt(6000);
    m_window->setInsertPoint(at.clip, at.offset);
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QTest::qWait(500);  // placed and maximised by the window manager
    m_canvas = m_window->board()->canvas();
    auto *keys = m_window->findChild<GlobalKeys *>();
    QVERIFY(keys);
    QCOMPARE(keys->heldElsewhere(), QList<GlobalKeys::Action>{GlobalKeys::Clear});
    // The keys are this program's while the window is open: nobody else can take them.
    QVERIFY(!x11keys::grab(other.conn, other.root, keyOf(GlobalKeys::PauseResume)));

    QVERIFY(click("btn_play"));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->recorder()->state(), ScreenRecord::Recording, 20000);
    m_clock.start();

    // A black pen stroke and the yellow highlighter across it.
    QVERIFY(click("btn_pen"));
    QVERIFY(choosePenColour(m_window, kBlack));
    QVERIFY(dragOnBoard(0.10, 0.25, 0.40, 0.25));
    QVERIFY(click("btn_highlighter"));
    QVERIFY(choosePenColour(m_window, kYellow));
    QVERIFY(dragOnBoard(0.25, 0.12, 0.25, 0.38));

    // Shapes in blue: a line, an arrow, a square (Shift held), an ellipse.
    QVERIFY(choosePenColour(m_window, kBlue));
    QVERIFY(chooseShape("action_shape_line", ToolLine));
    QVERIFY(dragOnBoard(0.50, 0.15, 0.80, 0.15));
    QVERIFY(chooseShape("action_shape_arrow", ToolArrow));
    QVERIFY(dragOnBoard(0.50, 0.30, 0.80, 0.30));
    QVERIFY(chooseShape("action_shape_rect", ToolRect));
    QVERIFY(XPointer::keyDown("shift"));
    const bool squared = dragOnBoard(0.10, 0.50, 0.30, 0.58);
    QVERIFY(XPointer::keyUp("shift"));
    QVERIFY(squared);
    const QRectF square = m_canvas->curRecord()->paths().last().path.controlPointRect();
    QVERIFY2(qAbs(square.width() - square.height()) < 1.5 && square.width() > 100,
             qPrintable(QStringLiteral("%1 x %2").arg(square.width()).arg(square.height())));
    QVERIFY(chooseShape("action_shape_ellipse", ToolEllipse));
    QVERIFY(dragOnBoard(0.40, 0.50, 0.60, 0.70));

    // Text: a click, keys, Chinese from the input method, Enter.
    QVERIFY(click("btn_text"));
    QVERIFY(XPointer::click(onScreen(0.70, 0.50)));
    QLineEdit *edit = m_canvas->textEdit();
    QVERIFY(edit);
    QTRY_VERIFY(edit->hasFocus());
    QVERIFY(XPointer::type("Hi "));
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("板书"));
    QCoreApplication::sendEvent(edit, &committed);
    QTRY_COMPARE(edit->text(), QStringLiteral("Hi 板书"));
    QVERIFY(XPointer::key("Return"));
    QTRY_VERIFY(!m_canvas->textEdit());
    const QRectF textBox = m_canvas->curRecord()->paths().last().path.boundingRect();
    QCOMPARE(m_canvas->curRecord()->paths().size(), 7);
    QTest::qWait(500);
    const qint64 allDrawnMs = now();
    QTest::qWait(300);

    // The laser pointer along the bottom of the board; it keeps nothing.
    QVERIFY(click("btn_laser"));
    for (int i = 0; i <= 10; ++i)
        QVERIFY(XPointer::moveTo(onScreen(0.20 + 0.04 * i, 0.85)));
    const qint64 laserMs = now();
    const QString shots = qEnvironmentVariable("LUMORA_SCREENSHOTS");
    if (!shots.isEmpty())
        frame->grab().save(shots + "/whiteboard-tools.png");
    QTest::qWait(1200);
    const qint64 laserGoneMs = now();
    QCOMPARE(m_canvas->curRecord()->paths().size(), 7);

    // Undo takes the text away; the eraser cuts the line in its middle.
    QVERIFY(click("btn_undo"));
    QCOMPARE(m_canvas->curRecord()->paths().size(), 6);
    QVERIFY(click("btn_eraser"));
    QVERIFY(dragOnBoard(0.65, 0.08, 0.65, 0.22));
    QTest::qWait(500);
    const qint64 erasedMs = now();
    QTest::qWait(200);

    // The keys, with another program holding the keyboard: laser pointer on, pause, continue,
    // stop.
    QProcess otherWindow;
    otherWindow.start("xmessage", {"-buttons", "", "-geometry", "300x80+40+40", "another program"});
    QVERIFY(otherWindow.waitForStarted());
    QTest::qWait(600);
    QVERIFY(XPointer::click(QPoint(80, 60)));
    QTest::qWait(200);
    QVERIFY(!QGuiApplication::focusWindow());
    QVERIFY(XPointer::key(xdotoolKey(GlobalKeys::ToggleLaser)));
    QTRY_COMPARE(m_window->form().view_draw_tools->boardSettings()->tool, int(ToolLaser));
    QVERIFY(XPointer::key(xdotoolKey(GlobalKeys::PauseResume)));
    QTRY_COMPARE(m_window->recorder()->state(), ScreenRecord::Paused);
    const qint64 pausedAt = now();
    QTest::qWait(1200);
    QVERIFY(XPointer::key(xdotoolKey(GlobalKeys::PauseResume)));
    QTRY_COMPARE(m_window->recorder()->state(), ScreenRecord::Recording);
    const qint64 pausedMs = now() - pausedAt;
    QTest::qWait(500);
    // The held key stays with the program that holds it: nothing is cleared.
    QVERIFY(XPointer::key(xdotoolKey(GlobalKeys::Clear)));
    QTest::qWait(200);
    QCOMPARE(m_canvas->curRecord()->paths().size(), 7);  // the line in two pieces
    const QSizeF board = m_canvas->size();               // the canvas goes with the window
    const qint64 stoppedAt = now();
    QVERIFY(XPointer::key(xdotoolKey(GlobalKeys::Stop)));
    QTRY_VERIFY_WITH_TIMEOUT(m_window.isNull(), 60000);
    const qint64 recordedMs = stoppedAt - pausedMs;
    otherWindow.kill();
    otherWindow.waitForFinished();

    // The window is gone: its keys are free for another program again.
    for (int a = 0; a < GlobalKeys::ActionCount; ++a) {
        if (a == GlobalKeys::Clear)
            continue;
        QVERIFY2(x11keys::grab(other.conn, other.root, keyOf(GlobalKeys::Action(a))),
                 qPrintable(xdotoolKey(GlobalKeys::Action(a))));
        x11keys::ungrab(other.conn, other.root, keyOf(GlobalKeys::Action(a)));
    }

    // 设置 → 快捷键 names the key the other program holds, and only that one.
    auto *settings = new SettingWidget;
    settings->show();
    QVERIFY(QTest::qWaitForWindowExposed(settings));
    settings->findChild<QListWidget *>("listview_menu")->setCurrentRow(3);
    QTRY_VERIFY(settings->keysWidget()->isVisible());
    for (int a = 0; a < GlobalKeys::ActionCount; ++a) {
        auto *state = settings->findChild<QLabel *>(QStringLiteral("label_key_state_%1").arg(a));
        QVERIFY(state);
        QCOMPARE(state->isVisible(), a == GlobalKeys::Clear);
    }
    const QString line =
        settings->findChild<QLabel *>(QStringLiteral("label_key_state_%1").arg(GlobalKeys::Clear))
            ->text();
    QVERIFY2(line.contains("已被其他程序占用"), qPrintable(line));
    QCOMPARE(settings->findChild<QLabel *>("label_keys_route")->text(),
             QStringLiteral("录课窗口打开时，这些快捷键在任何窗口中都起作用。"));
    if (!shots.isEmpty())
        settings->grab().save(shots + "/settings-keys.png");
    settings->close();
    x11keys::ungrab(other.conn, other.root, keyOf(GlobalKeys::Clear));

    // The file: as long as the recording without the pause.
    const QList<AVData> clips = ProjectData::instance()->avDatas();
    QCOMPARE(clips.size(), 4);
    const AVData clip = clips.at(2);
    QVERIFY2(qAbs(clip.length() - recordedMs) <= 400,
             qPrintable(QStringLiteral("%1 ms in the clip, %2 ms recorded")
                            .arg(clip.length())
                            .arg(recordedMs)));
    const QList<QPair<double, QImage>> frames = pictures(clip.filePath);
    QVERIFY(!frames.isEmpty());

    // Everything drawn, where it was drawn.
    const QImage drawn = shownAt(frames, allDrawnMs / 1000.0);
    const QColor blendedYellow(255, 232, 159);  // the yellow over the white board
    QVERIFY2(ScreenPixels::near(drawn.pixelColor(inPicture(0.25, 0.15)), blendedYellow, 30),
             qPrintable(drawn.pixelColor(inPicture(0.25, 0.15)).name()));
    // The black stroke shows through the highlighter.
    const QColor under = drawn.pixelColor(inPicture(0.25, 0.25));
    QVERIFY2(under.red() < 130 && under.blue() < 60, qPrintable(under.name()));
    QVERIFY(colourNear(drawn, inPicture(0.65, 0.15), kBlue, 3));  // line
    QVERIFY(colourNear(drawn, inPicture(0.65, 0.30), kBlue, 3));  // arrow's shaft
    // the arrow's barbs behind its tip, above and below the shaft
    QVERIFY(colourNear(drawn, inPicture(0.80, 0.30) + QPoint(-17, -9), kBlue, 4));
    QVERIFY(colourNear(drawn, inPicture(0.80, 0.30) + QPoint(-17, 9), kBlue, 4));
    QVERIFY(!colourNear(drawn, inPicture(0.50, 0.25), kBlue, 3));
    const double squareBottom = 0.50 + square.height() / board.height();
    QVERIFY(colourNear(drawn, inPicture(0.20, squareBottom), kBlue, 3));  // square
    QVERIFY(!colourNear(drawn, inPicture(0.20, 0.58), kBlue, 3));         // not the drag
    QVERIFY(colourNear(drawn, inPicture(0.40, 0.60), kBlue, 3));          // ellipse
    QVERIFY(!colourNear(drawn, inPicture(0.50, 0.60), kBlue, 3));
    const QRect textInPicture(
        inPicture(textBox.left() / board.width(), textBox.top() / board.height()),
        inPicture(textBox.right() / board.width(), textBox.bottom() / board.height()));
    QVERIFY(ScreenPixels::countNear(drawn.copy(textInPicture), kBlue, 50) > 100);
    QVERIFY(ScreenPixels::countNear(
                drawn.copy(textInPicture.translated(0, textInPicture.height() + 20)), kBlue, 50) ==
            0);

    // The laser pointer while it moves, and a second after it stopped.
    const QRect laserBand(inPicture(0.15, 0.80), inPicture(0.65, 0.90));
    const int dotPixels =
        ScreenPixels::countNear(shownAt(frames, laserMs / 1000.0).copy(laserBand), kLaser, 60);
    QVERIFY2(dotPixels > 100, qPrintable(QString::number(dotPixels)));
    QCOMPARE(
        ScreenPixels::countNear(shownAt(frames, laserGoneMs / 1000.0).copy(laserBand), kLaser, 60),
        0);

    // Undone text and the erased middle of the line.
    const QImage erased = shownAt(frames, erasedMs / 1000.0);
    QCOMPARE(ScreenPixels::countNear(erased.copy(textInPicture), kBlue, 50), 0);
    QVERIFY(!colourNear(erased, inPicture(0.65, 0.15), kBlue, 3));
    QVERIFY(colourNear(erased, inPicture(0.55, 0.15), kBlue, 3));
}

QTEST_MAIN(TestWhiteboardTools)
#include "tst_whiteboardtools.moc"
