#include "ui/base/basewindow.h"

#include "ui/base/basemainwidget.h"
#include "ui/base/basewindowinterface.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

BaseWindow::BaseWindow(QWidget *parent) : QWidget(parent)
{
    m_mainWidget = new BaseMainWidget(this);

    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("base_window"));
    setWindowIcon(QIcon(QStringLiteral(":/images/logo.png")));

    if (QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        m_available = screen->availableGeometry();
    resize(1024, 800);

    m_mainWidget->titleBar()->installEventFilter(this);
}

void BaseWindow::setTitle(const QString &title)
{
    setWindowTitle(title);
    m_mainWidget->setTitle(title);
}

void BaseWindow::setContentWidget(QWidget *widget)
{
    m_mainWidget->setContentWidget(widget);
}

void BaseWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_mainWidget->setGeometry(rect());
}

void BaseWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_mainWidget->setMaximizedLook(isMaximized());
}

void BaseWindow::closeEvent(QCloseEvent *event)
{
    // The close button asks the content before it closes the window; a close that comes
    // from the window system (a key of the desktop, a task bar menu) must ask too, or an
    // unsaved project would be lost without a question.
    if (event->spontaneous()) {
        auto *content = dynamic_cast<BaseWindowInterface *>(m_mainWidget->contentWidget());
        if (content && !content->preCloseWindow()) {
            event->ignore();
            return;
        }
    }
    QWidget::closeEvent(event);
}

void BaseWindow::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void BaseWindow::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void BaseWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton) {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    event->accept();
}

bool BaseWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_mainWidget->titleBar() && m_movable && dragEvent(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool BaseWindow::dragEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint pos = mouse->position().toPoint();
        m_pressX = pos.x();
        m_pressY = pos.y();
        // A press on the bar's first column or row starts no drag.
        m_dragging = m_pressX > 0 && m_pressY > 0;
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!(mouse->buttons() & Qt::LeftButton))
            return false;
        // Whether a drag runs is kept apart from the anchor: the anchor follows the pointer
        // while the window rests against an edge and may then become 0, which must not end
        // the drag (the window would stop following along the other edge).
        if (!m_dragging)
            return true;
        const QPoint local = mouse->position().toPoint();
        const QPoint global = mouse->globalPosition().toPoint();
        // Along one axis: the window's start, kept between `low` and `high` minus its
        // length; at a limit the anchor becomes the pointer's place in the window.
        const auto follow = [](int pointer, int &anchor, int inWindow, int low, int high,
                               int length) {
            const int start = pointer - anchor;
            if (start >= low && start + length <= high)
                return start;
            anchor = inWindow;
            return start < low ? low : high - length;
        };
        const int left = follow(global.x(), m_pressX, local.x(), m_available.left(),
                                m_available.x() + m_available.width(), width());
        const int top = follow(global.y(), m_pressY, local.y(), m_available.top(),
                               m_available.y() + m_available.height(), height());
        move(left, top);
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        m_pressX = -1;
        m_pressY = -1;
        return true;
    default: return false;
    }
}
