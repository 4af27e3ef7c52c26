#include "ui/record/recordscreenselectwidget.h"

#include "ui/record/screengraphicsitem.h"

#include <QAction>
#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

RecordScreenSelectWidget::RecordScreenSelectWidget(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // The screen under the mouse: where the teacher asked for the recording.
    m_screen = QGuiApplication::screenAt(QCursor::pos());
    if (!m_screen)
        m_screen = QGuiApplication::primaryScreen();
    setScreen(m_screen);
    setGeometry(m_screen->geometry());
    setWindowState(Qt::WindowFullScreen | Qt::WindowActive);

    auto *escape = new QAction(this);
    escape->setShortcut(Qt::Key_Escape);
    escape->setShortcutContext(Qt::WindowShortcut);
    addAction(escape);
    connect(escape, &QAction::triggered, this, [this]() {
        emit sig_Cancel();
        close();
    });

    m_view = new QGraphicsView(this);
    m_view->setGeometry(0, 0, width(), height());
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_screenPixmap = m_screen->grabWindow(0);

    m_scene = new QGraphicsScene(this);
    m_item = new ScreenGraphicsItem(m_screenPixmap);
    m_scene->addItem(m_item);
    m_scene->setSceneRect(m_item->boundingRect());
    m_view->setScene(m_scene);
    connect(m_item, &ScreenGraphicsItem::sig_Cancel, this, [this]() {
        emit sig_Cancel();
        close();
    });
    connect(m_item, &ScreenGraphicsItem::sig_StartRecord, this, [this](const QRectF &area) {
        emit sig_StartRecord(area);
        QTimer::singleShot(100, this, &QWidget::close);
    });
}

void RecordScreenSelectWidget::resizeEvent(QResizeEvent *event)
{
    m_view->setGeometry(0, 0, width(), height());
    QWidget::resizeEvent(event);
}
