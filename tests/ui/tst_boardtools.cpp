#include "support/datatable.h"
#include "support/mousedrag.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardsettingpopup.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/colorradiobtn.h"
#include "ui/board/countdownwidget.h"
#include "ui/board/pathrecord.h"
#include "ui/board/widthradiobtn.h"

#include <QElapsedTimer>
#include <QLayout>
#include <QScreen>
#include <QToolButton>
#include <QUndoGroup>
#include <QtTest>

#include <algorithm>

#include <memory>

namespace {
QToolButton *button(BoardToolsWidget *tools, const char *name)
{
    return tools->findChild<QToolButton *>(name);
}

// Remembers when the watched widget was hidden.
class HideWatch : public QObject
{
public:
    QElapsedTimer clock;
    qint64 hiddenAtMs = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && !event->spontaneous() && hiddenAtMs < 0)
            hiddenAtMs = clock.elapsed();
        return QObject::eventFilter(watched, event);
    }
};
// The tools row and a canvas below it on one window, the canvas taking the tools' settings.
struct Board
{
    Board() : tools(new BoardToolsWidget(&host)), canvas(new BoardCanvas(&host))
    {
        canvas->setGeometry(0, 80, 300, 200);
        QObject::connect(tools, &BoardToolsWidget::sig_BoardSettingsChanged, canvas,
                         &BoardCanvas::setBoardSettings);
        host.resize(400, 300);
    }
    QWidget host;
    BoardToolsWidget *tools;
    BoardCanvas *canvas;
};
}  // namespace

class TestBoardTools : public QObject
{
    Q_OBJECT
private slots:
    void initialSettingsAndLateAnnouncement()
    {
        QElapsedTimer clock;
        clock.start();
        BoardToolsWidget tools;
        QSignalSpy spy(&tools, &BoardToolsWidget::sig_BoardSettingsChanged);
        QCOMPARE(tools.boardSettings()->tool, int(ToolNone));
        QCOMPARE(tools.boardSettings()->pen.color(), QColor("#fa5151"));
        QCOMPARE(tools.boardSettings()->pen.width(), 5);
        QCOMPARE(tools.findChildren<QToolButton *>().size(), 10);
        QVERIFY(!button(&tools, "btn_undo")->isEnabled());

        // A canvas connected after construction still gets the settings.
        BoardCanvas canvas;
        connect(&tools, &BoardToolsWidget::sig_BoardSettingsChanged, &canvas,
                &BoardCanvas::setBoardSettings);
        QVERIFY(spy.wait(1000));
        QVERIFY(clock.elapsed() >= 190);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().value<BoardSettings *>(), tools.boardSettings());
        QCOMPARE(canvas.boardSettings(), tools.boardSettings());
        QCOMPARE(canvas.curRecord()->pen().color(), QColor("#fa5151"));
        QVERIFY(!spy.wait(400));  // only once
    }

    void oneToolAtATime_data()
    {
        DataTable::columns<QStringList, int>("clicks", "tool");
        QTest::newRow("pen") << QStringList{"btn_pen"} << int(ToolPen);
        QTest::newRow("eraser") << QStringList{"btn_eraser"} << int(ToolEraser);
        QTest::newRow("pen then eraser") << QStringList{"btn_pen", "btn_eraser"} << int(ToolEraser);
        QTest::newRow("eraser then pen") << QStringList{"btn_eraser", "btn_pen"} << int(ToolPen);
        QTest::newRow("pen off") << QStringList{"btn_pen", "btn_pen"} << int(ToolNone);
        QTest::newRow("pen, eraser, eraser off")
            << QStringList{"btn_pen", "btn_eraser", "btn_eraser"} << int(ToolNone);
        QTest::newRow("highlighter") << QStringList{"btn_highlighter"} << int(ToolHighlighter);
        QTest::newRow("shapes: a line first") << QStringList{"btn_shape"} << int(ToolLine);
        QTest::newRow("pen then laser then text")
            << QStringList{"btn_pen", "btn_laser", "btn_text"} << int(ToolText);
        QTest::newRow("laser off") << QStringList{"btn_laser", "btn_laser"} << int(ToolNone);
    }
    void oneToolAtATime()
    {
        const auto [clicks, tool] = DataTable::fetch<QStringList, int>("clicks", "tool");
        Board board;
        BoardToolsWidget *tools = board.tools;
        BoardCanvas *canvas = board.canvas;
        board.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&board.host));
        for (const QString &name : clicks)
            QTest::mouseClick(button(tools, qPrintable(name)), Qt::LeftButton);

        QCOMPARE(tools->boardSettings()->tool, tool);
        for (int each : {ToolPen, ToolHighlighter, ToolLine, ToolText, ToolLaser, ToolEraser})
            QCOMPARE(tools->toolButton(each)->isChecked(), tool == each);
        QCOMPARE(canvas->drawEnabled(), tool != ToolNone);
        MouseDrag::drag(canvas, MouseDrag::line({20, 100}, {200, 100}, 10));
        const bool draws = tool == ToolPen || tool == ToolHighlighter || tool == ToolLine;
        QCOMPARE(canvas->curRecord()->paths().size(), draws ? 1 : 0);
    }

    // Each new choice in the pop-up emits twice; choosing what is chosen emits nothing.
    void choosingColourAndWidth_data()
    {
        DataTable::columns<QList<int>, QList<int>, int, QColor, int>("colourClicks", "widthClicks",
                                                                     "emissions", "color", "width");
        const QColor red("#fa5151");
        QTest::newRow("yellow") << QList<int>{1} << QList<int>{} << 2 << QColor("#ffc300") << 5;
        QTest::newRow("black") << QList<int>{6} << QList<int>{} << 2 << QColor("#000000") << 5;
        QTest::newRow("the chosen colour again") << QList<int>{0} << QList<int>{} << 0 << red << 5;
        QTest::newRow("thinnest") << QList<int>{} << QList<int>{0} << 2 << red << 1;
        QTest::newRow("thickest") << QList<int>{} << QList<int>{4} << 2 << red << 9;
        QTest::newRow("the chosen width stays chosen")
            << QList<int>{} << QList<int>{2} << 0 << red << 5;
        QTest::newRow("twice the same width") << QList<int>{} << QList<int>{3, 3} << 2 << red << 7;
    }
    void choosingColourAndWidth()
    {
        const auto [colourClicks, widthClicks, emissions, color, width] =
            DataTable::fetch<QList<int>, QList<int>, int, QColor, int>(
                "colourClicks", "widthClicks", "emissions", "color", "width");
        BoardToolsWidget tools;
        QSignalSpy spy(&tools, &BoardToolsWidget::sig_BoardSettingsChanged);
        const auto colours = tools.popup()->findChildren<ColorRadioBtn *>();
        const auto widths = tools.popup()->findChildren<WidthRadioBtn *>();
        QCOMPARE(colours.size(), 7);
        QCOMPARE(widths.size(), 5);
        tools.popup()->show();
        for (int i : colourClicks)
            QTest::mouseClick(colours.at(i), Qt::LeftButton);
        for (int i : widthClicks)
            QTest::mouseClick(widths.at(i), Qt::LeftButton);
        QCOMPARE(spy.size(), emissions);
        QCOMPARE(tools.boardSettings()->pen.color(), color);
        QCOMPARE(tools.boardSettings()->pen.width(), width);
        const auto checkedCount = [](const auto &buttons) {
            return std::count_if(buttons.begin(), buttons.end(),
                                 [](QAbstractButton *b) { return b->isChecked(); });
        };
        QCOMPARE(checkedCount(colours), 1);
        QCOMPARE(checkedCount(widths), 1);
    }

    void popupPlacement_data()
    {
        DataTable::columns<QPoint, QPoint>("button", "expected");
        QTest::newRow("room on the left") << QPoint(800, 500) << QPoint(800 - 318 - 4, 485);
        QTest::newRow("near the left edge: below") << QPoint(10, 500) << QPoint(10, 500 + 63 + 4);
        QTest::newRow("near the left edge and the bottom: right")
            << QPoint(10, 1000) << QPoint(10 + 59 + 4, 985);
        QTest::newRow("exactly fits on the left") << QPoint(322, 500) << QPoint(0, 485);
        QTest::newRow("one pixel short on the left") << QPoint(321, 500) << QPoint(321, 567);
        QTest::newRow("on the left, at the screen's foot: ends at its edge")
            << QPoint(1500, 1010) << QPoint(1500 - 318 - 4, 1079 - 93);
        QTest::newRow("on the right, at the screen's foot: ends at its edge")
            << QPoint(10, 1010) << QPoint(10 + 59 + 4, 1079 - 93);
    }
    void popupPlacement()
    {
        const auto [button, expected] = DataTable::fetch<QPoint, QPoint>("button", "expected");
        const QRect screen(0, 0, 1920, 1080);
        QCOMPARE(BoardSettingPopup::placement(button, {60, 64}, {319, 94}, screen), expected);
        // A screen too narrow for either side: above the button.
        QCOMPARE(BoardSettingPopup::placement({10, 1000}, {60, 64}, {319, 94}, {0, 0, 390, 1080}),
                 QPoint(10, 1000 - 93 - 4));
    }

    void popupNearTheLeftEdgeOpensBelowItsButton()
    {
        BoardToolsWidget tools;
        QToolButton *settings = button(&tools, "btn_pen_setting");
        tools.layout()->activate();
        // The row reaches past the screen's left edge, its settings button 20 pixels from it.
        tools.move(20 - settings->x(), 300);
        tools.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tools));
        QTest::mouseClick(settings, Qt::LeftButton);
        QTRY_VERIFY(tools.popup()->isVisible());
        const QPoint b = settings->mapToGlobal(QPoint(0, 0));
        QVERIFY(b.x() < 319);
        QCOMPARE(tools.popup()->pos(), QPoint(b.x(), b.y() + settings->height() - 1 + 4));
        QCOMPARE(tools.popup()->size(), QSize(319, 94));
        tools.popup()->hide();
    }

    void undoButtonsFollowTheCanvas()
    {
        Board board;
        BoardToolsWidget *tools = board.tools;
        BoardCanvas *canvas = board.canvas;
        connect(tools, &BoardToolsWidget::sig_undo, canvas->undoGroup(), &QUndoGroup::undo);
        connect(tools, &BoardToolsWidget::sig_redo, canvas->undoGroup(), &QUndoGroup::redo);
        connect(tools, &BoardToolsWidget::sig_ClearBoard, canvas, &BoardCanvas::clearBoard);
        connect(canvas->undoGroup(), &QUndoGroup::canUndoChanged, tools,
                &BoardToolsWidget::setUndoEnabled);
        connect(canvas->undoGroup(), &QUndoGroup::canRedoChanged, tools,
                &BoardToolsWidget::setRedoEnabled);
        board.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&board.host));
        QTest::mouseClick(button(tools, "btn_pen"), Qt::LeftButton);
        MouseDrag::drag(canvas, MouseDrag::line({20, 100}, {200, 100}, 10));
        QVERIFY(button(tools, "btn_undo")->isEnabled());
        QVERIFY(!button(tools, "btn_redo")->isEnabled());

        QTest::mouseClick(button(tools, "btn_clear"), Qt::LeftButton);
        QVERIFY(canvas->curRecord()->paths().isEmpty());
        QTest::mouseClick(button(tools, "btn_undo"), Qt::LeftButton);
        QCOMPARE(canvas->curRecord()->paths().size(), 1);
        QVERIFY(button(tools, "btn_redo")->isEnabled());
        QTest::mouseClick(button(tools, "btn_undo"), Qt::LeftButton);
        QVERIFY(canvas->curRecord()->paths().isEmpty());
        QVERIFY(!button(tools, "btn_undo")->isEnabled());
    }

    void countDown_data()
    {
        DataTable::columns<int, QStringList>("seconds", "shown");
        QTest::newRow("three") << 3 << QStringList{"3", "2", "1"};
        QTest::newRow("one") << 1 << QStringList{"1"};
        QTest::newRow("zero still ends") << 0 << QStringList{"0"};
    }
    void countDown()
    {
        const auto [seconds, shown] = DataTable::fetch<int, QStringList>("seconds", "shown");
        CountDownWidget countDown(nullptr, seconds);
        QCOMPARE(countDown.size(), QSize(200, 200));
        countDown.moveCenter(500, 400);
        QCOMPARE(countDown.pos(), QPoint(400, 300));
        QSignalSpy finished(&countDown, &CountDownWidget::sig_CountDownFinished);
        HideWatch watch;
        countDown.installEventFilter(&watch);
        countDown.show();
        watch.clock.start();
        countDown.start();

        QStringList seen{countDown.text()};
        while (countDown.isVisible() && watch.clock.elapsed() < 10000) {
            QTest::qWait(20);
            if (countDown.isVisible() && countDown.text() != seen.last())
                seen << countDown.text();
        }
        QCOMPARE(seen, shown);
        QVERIFY(!countDown.isVisible());
        QVERIFY2(watch.hiddenAtMs >= 1000 * qMax(1, seconds) - 50,
                 qPrintable(QString::number(watch.hiddenAtMs)));
        QCOMPARE(finished.size(), 0);
        QVERIFY(finished.wait(1000));
        const qint64 gap = watch.clock.elapsed() - watch.hiddenAtMs;
        QVERIFY2(gap >= 90 && gap < 400, qPrintable(QString::number(gap)));
    }
};

QTEST_MAIN(TestBoardTools)
#include "tst_boardtools.moc"
