// The frame window (title bar, dragging, close rule, maximise/restore) and the small popups.
#include "support/datatable.h"
#include "support/x11windows.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/base/basewindowinterface.h"
#include "ui/base/commonpromptwindow.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/base/loaddingview.h"
#include "ui/base/loadingview.h"
#include "ui/base/maskform.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <limits>

namespace {

class Content : public QWidget, public BaseWindowInterface
{
public:
    explicit Content(bool allow) : m_allow(allow) {}
    bool preCloseWindow() override
    {
        ++asked;
        return m_allow;
    }
    int asked = 0;

private:
    bool m_allow;
};

// Keeps the interface's own answer.
class DefaultContent : public QWidget, public BaseWindowInterface
{
};

enum class ContentKind { None, Plain, Allows, Vetoes, Default };

QWidget *makeContent(ContentKind kind)
{
    switch (kind) {
    case ContentKind::None: return nullptr;
    case ContentKind::Plain: return new QWidget;
    case ContentKind::Allows: return new Content(true);
    case ContentKind::Vetoes: return new Content(false);
    case ContentKind::Default: return new DefaultContent;
    }
    return nullptr;
}

void sendMouse(QWidget *bar, QEvent::Type type, const QPoint &global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    // Where a real pointer event would be inside the bar: the window has moved already.
    const QPointF local =
        QPointF(global - bar->window()->pos() - bar->mapTo(bar->window(), QPoint(0, 0)));
    QMouseEvent event(type, local, local, QPointF(global), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &event);
}

}  // namespace

Q_DECLARE_METATYPE(ContentKind)

class TestBaseWindow : public QObject
{
    Q_OBJECT

private slots:
    void frame()
    {
        BaseWindow window;
        window.setTitle(QStringLiteral("Lumora录课"));
        BaseMainWidget *body = window.mainWidget();
        QCOMPARE(window.objectName(), QStringLiteral("base_window"));
        QCOMPARE(int(window.windowFlags() & 0xFFF), 0x803);
        QVERIFY(window.testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(!window.windowIcon().isNull());
        QCOMPARE(window.size(), QSize(1024, 800));
        QCOMPARE(window.windowTitle(), QStringLiteral("Lumora录课"));
        QCOMPARE(body->objectName(), QStringLiteral("base_main_widget"));
        QCOMPARE(body->titleLabel()->objectName(), QStringLiteral("window_title"));
        QCOMPARE(body->titleLabel()->text(), QStringLiteral("Lumora录课"));
        QVERIFY(body->findChild<QLabel *>(QStringLiteral("user_name")));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(body->geometry(), window.rect());
        QCOMPARE(body->titleBar()->geometry(), QRect(0, 0, 1024, 62));
        QCOMPARE(body->titleLabel()->geometry(), QRect(100, 0, 1024 - 200, 62));
        const QList<QPair<QToolButton *, QString>> buttons = {{body->minimizeButton(), "最小化"},
                                                              {body->maximizeButton(), "最大化"},
                                                              {body->restoreButton(), "还原"},
                                                              {body->closeButton(), "关闭"}};
        for (const auto &[button, text] : buttons) {
            QCOMPARE(button->size(), QSize(24, 24));
            QCOMPARE(button->text(), text);
            QVERIFY(!button->icon().isNull());
        }
        QVERIFY(body->maximizeButton()->isVisible());
        QVERIFY(!body->restoreButton()->isVisible());
        // The close button is 19 pixels from the right edge, the buttons 19 from the top.
        QCOMPARE(body->closeButton()->geometry().right(), 1024 - 19 - 1);
        QCOMPARE(body->closeButton()->y(), 19);

        window.resize(800, 600);
        QCOMPARE(body->geometry(), QRect(0, 0, 800, 600));
        QCOMPARE(body->titleLabel()->width(), 600);

        auto *content = new QWidget;
        window.setContentWidget(content);
        QCOMPARE(body->contentWidget(), content);
        QTRY_COMPARE(content->geometry(), QRect(0, 62, 800, 600 - 62));
    }

    void drag_data()
    {
        // press: inside the title bar
        // path: pointer positions on the screen
        // expected: window position at the end
        DataTable::columns<QPoint, QList<QPoint>, QPoint>("press", "path", "expected");

        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const int right = area.x() + area.width();
        const int bottom = area.y() + area.height();
        // The window starts at (200, 150) and is 1024 x 800; the press is at (100, 20).
        QTest::newRow("within the screen")
            << QPoint(100, 20) << QList<QPoint>{{500, 250}} << QPoint(400, 230);
        QTest::newRow("past the left edge")
            << QPoint(100, 20) << QList<QPoint>{{40, 250}} << QPoint(area.left(), 230);
        QTest::newRow("past the top edge")
            << QPoint(100, 20) << QList<QPoint>{{500, 5}} << QPoint(400, area.top());
        QTest::newRow("past the right edge")
            << QPoint(100, 20) << QList<QPoint>{{right + 200, 250}} << QPoint(right - 1024, 230);
        QTest::newRow("past the bottom edge")
            << QPoint(100, 20) << QList<QPoint>{{500, bottom + 100}} << QPoint(400, bottom - 800);
        QTest::newRow("into the top-left corner")
            << QPoint(100, 20) << QList<QPoint>{{-300, -300}} << QPoint(area.left(), area.top());
        // Along the top edge with the pointer on the screen's first row the window keeps
        // following sideways.
        QTest::newRow("along the top edge")
            << QPoint(100, 20) << QList<QPoint>{{300, 0}, {700, 0}} << QPoint(600, area.top());
        // After a stop at the edge the window follows the pointer from where it now is.
        QTest::newRow("back from the left edge")
            << QPoint(100, 20) << QList<QPoint>{{40, 170}, {340, 170}} << QPoint(300, 150);
        QTest::newRow("press on the first column")
            << QPoint(0, 20) << QList<QPoint>{{500, 400}} << QPoint(200, 150);
        QTest::newRow("press on the first row")
            << QPoint(100, 0) << QList<QPoint>{{500, 400}} << QPoint(200, 150);
    }

    void drag()
    {
        const auto [press, path, expected] =
            DataTable::fetch<QPoint, QList<QPoint>, QPoint>("press", "path", "expected");

        BaseWindow window;
        window.move(200, 150);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.pos(), QPoint(200, 150));
        QWidget *bar = window.mainWidget()->titleBar();

        QPoint pointer = bar->mapToGlobal(press);
        sendMouse(bar, QEvent::MouseButtonPress, pointer, Qt::LeftButton, Qt::LeftButton);
        // The pointer moves in small steps, as a hand does.
        for (const QPoint &target : path) {
            while (pointer != target) {
                const QPoint step = target - pointer;
                pointer += QPoint(qBound(-10, step.x(), 10), qBound(-10, step.y(), 10));
                sendMouse(bar, QEvent::MouseMove, pointer, Qt::NoButton, Qt::LeftButton);
            }
        }
        sendMouse(bar, QEvent::MouseButtonRelease, pointer, Qt::LeftButton, Qt::NoButton);
        QTRY_COMPARE(window.pos(), expected);

        // After the release, moving the pointer does not move the window.
        sendMouse(bar, QEvent::MouseMove, pointer + QPoint(30, 30), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(window.pos(), expected);
    }

    // The close button and a close asked for by the window system both go through the content.
    void closeRule_data()
    {
        DataTable::columns<bool, ContentKind, bool>("byWindowSystem", "kind", "closes");

        QTest::newRow("no content") << false << ContentKind::None << true;
        QTest::newRow("content without the interface") << false << ContentKind::Plain << true;
        QTest::newRow("content allows") << false << ContentKind::Allows << true;
        QTest::newRow("content vetoes") << false << ContentKind::Vetoes << false;
        QTest::newRow("interface's own answer") << false << ContentKind::Default << false;
        QTest::newRow("window system, content vetoes") << true << ContentKind::Vetoes << false;
        QTest::newRow("window system, content allows") << true << ContentKind::Allows << true;
        QTest::newRow("window system, no content") << true << ContentKind::None << true;
    }

    void closeRule()
    {
        const auto [byWindowSystem, kind, closes] =
            DataTable::fetch<bool, ContentKind, bool>("byWindowSystem", "kind", "closes");

        QPointer<BaseWindow> window = new BaseWindow;
        window->setContentWidget(makeContent(kind));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        if (byWindowSystem)
            QVERIFY(X11Windows::requestClose(quint32(window->winId())));
        else
            QTest::mouseClick(window->mainWidget()->closeButton(), Qt::LeftButton);
        if (closes) {
            QTRY_VERIFY(window.isNull());
        } else {
            if (auto *content = dynamic_cast<Content *>(window->mainWidget()->contentWidget()))
                QTRY_COMPARE(content->asked, 1);
            QTest::qWait(50);
            QVERIFY(!window.isNull());
            QVERIFY(window->isVisible());
            delete window;
        }
    }

    void maximizeAndRestore()
    {
        BaseWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        BaseMainWidget *body = window.mainWidget();

        QTest::mouseClick(body->maximizeButton(), Qt::LeftButton);
        QTRY_VERIFY(window.isMaximized());
        QTRY_VERIFY(body->restoreButton()->isVisible());
        QVERIFY(!body->maximizeButton()->isVisible());

        QTest::mouseClick(body->restoreButton(), Qt::LeftButton);
        QTRY_VERIFY(!window.isMaximized());
        QTRY_VERIFY(body->maximizeButton()->isVisible());
        QVERIFY(!body->restoreButton()->isVisible());
    }

    void promptPercent_data()
    {
        DataTable::columns<bool, qint64, qint64, QString>("setMaximum", "maximum", "value",
                                                          "shown");

        const qint64 huge = std::numeric_limits<qint64>::max();
        QTest::newRow("value before any maximum") << false << qint64(0) << qint64(5) << "";
        QTest::newRow("maximum of zero") << true << qint64(0) << qint64(5) << "";
        QTest::newRow("start") << true << qint64(200) << qint64(0) << "0%";
        QTest::newRow("rounds down") << true << qint64(3) << qint64(2) << "66%";
        QTest::newRow("done") << true << qint64(200) << qint64(200) << "100%";
        QTest::newRow("beyond 32 bits")
            << true << qint64(8'000'000'000'000) << qint64(4'000'000'000'000) << "50%";
        QTest::newRow("beyond 64 bits times 100") << true << huge << huge / 4 << "24%";
    }

    void promptPercent()
    {
        const auto [setMaximum, maximum, value, shown] =
            DataTable::fetch<bool, qint64, qint64, QString>("setMaximum", "maximum", "value",
                                                            "shown");

        QWidget parent;
        CommonPromptWindow prompt(&parent);
        QCOMPARE(prompt.objectName(), QStringLiteral("SavePromptWindow"));
        QCOMPARE(prompt.size(), QSize(177, 48));
        QVERIFY(prompt.isHidden());
        prompt.setText(QStringLiteral("正在保存"));
        if (setMaximum)
            prompt.setMaximum(maximum);
        prompt.setValue(value);
        QCOMPARE(prompt.percentText(), shown);
        QCOMPARE(prompt.text(), QStringLiteral("正在保存"));
    }

    void successNote()
    {
        QWidget parent;
        parent.resize(1000, 700);
        parent.show();
        CommonSuccessWindow note(&parent);
        QCOMPARE(note.size(), QSize(120, 48));
        QCOMPARE(note.objectName(), QStringLiteral("SavePromptWindow"));

        note.showMessage(QStringLiteral("保存成功"), 300);
        QCOMPARE(note.text(), QStringLiteral("保存成功"));
        QCOMPARE(note.pos(), QPoint((1000 - 120) / 2, 180));
        QVERIFY(note.isVisible());
        QTest::qWait(200);
        // A second message starts the wait again.
        note.showMessage(QStringLiteral("导出成功"), 300);
        QTest::qWait(200);
        QVERIFY(note.isVisible());
        QTRY_VERIFY(!note.isVisible());
    }

    void mask()
    {
        QWidget main;
        main.setGeometry(300, 200, 640, 480);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QWidget inner(&main);
        inner.setGeometry(40, 30, 200, 100);
        inner.show();

        MaskForm mask(&main);
        QVERIFY(mask.windowFlags() & Qt::Tool);
        QVERIFY(mask.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(mask.windowOpacity(), 0.6);
        mask.setMaskColor(QColor(), 0.2);
        QCOMPARE(mask.windowOpacity(), 0.6);
        QCOMPARE(mask.palette().color(QPalette::Window), QColor(Qt::black));

        auto *popup = new QWidget;
        mask.setWatchedWidget(popup);
        popup->show();
        QVERIFY(mask.isVisible());
        QCOMPARE(mask.geometry(), main.geometry());
        popup->hide();
        QVERIFY(!mask.isVisible());
        delete popup;
        QVERIFY(mask.watchedWidget() == nullptr);

        // Over a child widget the mask covers that child's place on the screen.
        mask.setMainWidget(&inner);
        mask.setMainWidget(nullptr);
        mask.show();
        QCOMPARE(mask.geometry(), QRect(inner.mapToGlobal(QPoint(0, 0)), QSize(200, 100)));
    }

    void loaddingView()
    {
        LoaddingView view;
        QCOMPARE(view.objectName(), QStringLiteral("LoaddingView"));
        QCOMPARE(view.size(), QSize(1000, 300));
        QCOMPARE(view.label_icon->height(), 102);
        QVERIFY(!view.label_icon->pixmap().isNull());
        QVERIFY(!view.label_ppt_icon->pixmap().isNull());
        QCOMPARE(view.label_opening->text(), QStringLiteral("正在打开文件..."));
        view.show();
        QVERIFY(!view.label_ppt_icon->isVisible());
        view.setPptIconVisible(true);
        QVERIFY(view.label_ppt_icon->isVisible());
        view.setFileName(QStringLiteral("第一课.pptx"));
        QCOMPARE(view.label_file_name->text(), QStringLiteral("第一课.pptx"));
        QCOMPARE(view.label_file_name->parentWidget()->height(), 22);
    }

    void loadingSpins()
    {
        LoadingView view(nullptr, QStringLiteral(":/images/icon_loading.png"));
        QCOMPARE(view.size(), QPixmap(QStringLiteral(":/images/icon_loading.png")).size());
        QVERIFY(!view.size().isEmpty());
        view.show();
        QTRY_VERIFY(view.angle() >= 20);
    }
};

QTEST_MAIN(TestBaseWindow)
#include "tst_basewindow.moc"
