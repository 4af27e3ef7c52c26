#include "ui/slides/pptcontainer.h"

#include "core/slides/slideprotocol.h"
#include "ui/base/loaddingview.h"
#include "ui/board/boardcanvas.h"
#include "ui/slides/pptmainwidget.h"
#include "ui/slides/pptshowwidget.h"
#include "ui/slides/x11windowsearch.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <QUndoGroup>
#include <QWindow>

namespace {

// The slide-show window found by the last search (0 when none).
quint32 g_SlideShowHwnd = 0;

QString &agentProgramOverride()
{
    static QString path;
    return path;
}

}  // namespace

PptContainer::PptContainer(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("view_ppt_container"));
    // Black around the slides, from the style sheet.
    setAttribute(Qt::WA_StyledBackground);
    m_PptMainWidget = new PptMainWidget(this);
    m_PptMainWidget->resize(size());
    m_PptShowWidget = new PptShowWidget(this);
    m_PptShowWidget->resize(size());
    m_LoaddingView = new LoaddingView(this);
    m_LoaddingView->resize(size());
    m_LoaddingView->show();
    if (window() != this)
        window()->installEventFilter(this);

    m_FindWindowTimer = new QTimer(this);
    connect(m_FindWindowTimer, &QTimer::timeout, this, &PptContainer::findWindowTick);
    m_heartbeatTimer = new QTimer(this);
    connect(m_heartbeatTimer, &QTimer::timeout, this,
            [this]() { sendMsg(QString::fromLatin1(SlideProtocol::kHeartbeat)); });
    m_heartbeatTimer->start(1000);

    // Presenter remotes send Page Down / Page Up (some the arrow keys).
    auto *next = new QAction(this);
    next->setShortcuts(
        {QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Down)});
    connect(next, &QAction::triggered, this,
            [this]() { sendMsg(QString::fromLatin1(SlideProtocol::kNextPage)); });
    auto *previous = new QAction(this);
    previous->setShortcuts(
        {QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Up)});
    connect(previous, &QAction::triggered, this,
            [this]() { sendMsg(QString::fromLatin1(SlideProtocol::kPreviousPage)); });
    m_pageActions = {next, previous};
    addPageActions(this);
}

PptContainer::~PptContainer()
{
    endAgent();
    if (m_Canvas) {
        m_Canvas->close();
        m_Canvas->deleteLater();
        m_Canvas = nullptr;
    }
    if (m_slideWindow) {
        // Given back to the desktop hidden rather than destroyed with the container's window;
        // the agent closes it.
        m_slideWindow->hide();
        m_slideWindow->setParent(nullptr);
        m_slideWindow->close();
    }
    g_SlideShowHwnd = 0;
}

QString PptContainer::agentProgram()
{
    if (!agentProgramOverride().isEmpty())
        return agentProgramOverride();
    const QString local =
        QCoreApplication::applicationDirPath() + QStringLiteral("/lumora_slide_agent");
    if (QFileInfo(local).isExecutable())
        return local;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("lumora_slide_agent"));
    return onPath.isEmpty() ? local : onPath;
}

void PptContainer::setAgentProgram(const QString &path)
{
    agentProgramOverride() = path;
}

void PptContainer::addPageActions(QWidget *target)
{
    for (QAction *action : std::as_const(m_pageActions)) {
        action->setShortcutContext(Qt::WindowShortcut);
        target->addAction(action);
    }
}

void PptContainer::findWindowTick()
{
    ++m_FindCount;
    if (m_FindCount > kMaxFindCount) {
        searchFailed(tr("幻灯片放映窗口没有出现"));
        return;
    }
    const qint64 agentPid = m_agentProcess ? m_agentProcess->processId() : 0;
    const QString mark = SlideProtocol::windowTitleMark();
    for (const X11WindowSearch::TopLevel &window : X11WindowSearch::topLevels()) {
        if (window.title.isEmpty() || !window.viewable || !window.title.contains(mark))
            continue;
        // Only the window of the agent this container started.
        if (window.id != m_AgentHwnd && (agentPid <= 0 || window.pid != agentPid))
            continue;
        qInfo().noquote() << "找到ppt放映窗口:" << window.title << ",str_class:";
        g_SlideShowHwnd = window.id;
        embedWindow(window.id);
        return;
    }
}

void PptContainer::embedWindow(quint32 id)
{
    m_FindWindowTimer->stop();
    m_slideWindow = QWindow::fromWinId(id);
    m_slideWindowContainer = QWidget::createWindowContainer(m_slideWindow, m_PptShowWidget);
    m_slideWindowContainer->setObjectName(QStringLiteral("ppt_slide_window"));
    adjustPptWindow();
    m_slideWindowContainer->show();
    m_PptShowWidget->show();
    m_keepShownTimer = new QTimer(this);
    connect(m_keepShownTimer, &QTimer::timeout, this, [this, id]() {
        QWindow *parent = m_slideWindow->parent();
        if (!isVisible() || !parent)
            return;
        const qreal ratio = m_slideWindow->devicePixelRatio();
        const QRect place = m_slideWindow->geometry();
        const QRect pixels(QPoint(qRound(place.x() * ratio), qRound(place.y() * ratio)),
                           (QSizeF(place.size()) * ratio).toSize());
        if (X11WindowSearch::keepEmbedded(id, quint32(parent->winId()), pixels))
            qInfo() << "slide-show window shown again:" << id;
    });
    m_keepShownTimer->start(100);
    window()->show();
    addPptCanvas();
    m_LoaddingView->hide();
    if (slidesInPlace())
        emit sig_SlidesInPlace();
}

void PptContainer::searchFailed(const QString &reason)
{
    m_FindWindowTimer->stop();
    endAgent();
    qWarning().noquote() << "slide show failed:" << reason;
    QMessageBox::warning(this, tr("警告"), tr("打开ppt文件失败！") + QLatin1Char('\n') + reason,
                         QMessageBox::Ok);
}

QRect PptContainer::canvasGeometry() const
{
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}

void PptContainer::addPptCanvas()
{
    if (m_Canvas)
        return;
    m_Canvas = new BoardCanvas;
    // The canvas never takes the keyboard: keys (a presenter remote's Page Down, Ctrl+Z) stay
    // with the recording window, which holds the page and undo actions too.
    m_Canvas->setParent(window(),
                        Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    m_Canvas->setGeometry(canvasGeometry());
    m_Canvas->setAttribute(Qt::WA_TranslucentBackground);
    m_Canvas->setAttribute(Qt::WA_NoSystemBackground);
    qInfo() << "addPptCanvas()" << size();
    m_Canvas->initUndoShortcuts();
    m_Canvas->setPage(m_CurPage > 0 ? m_CurPage : 1);
    addActions(m_Canvas->actions());
    addPageActions(m_Canvas);
    connect(m_Canvas->undoGroup(), &QUndoGroup::canUndoChanged, this, &PptContainer::sig_CanUndo);
    connect(m_Canvas->undoGroup(), &QUndoGroup::canRedoChanged, this, &PptContainer::sig_CanRedo);
}

void PptContainer::setAllowDraw(bool allow)
{
    if (!m_Canvas)
        return;
    qInfo() << "允许白板绘画：" << (allow ? "true" : "false");
    m_Canvas->setDrawEnabled(allow);
}

void PptContainer::setCanvasVisible(bool visible)
{
    if (!m_Canvas)
        return;
    if (!visible) {
        m_Canvas->hide();
        return;
    }
    m_Canvas->setGeometry(canvasGeometry());
    m_Canvas->show();
}

QRect PptContainer::slideRect() const
{
    return QRect(mapToGlobal(m_PptShowWidget->geometry().topLeft()), m_PptShowWidget->size());
}

void PptContainer::setBoardSettings(BoardSettings *settings)
{
    if (m_Canvas)
        m_Canvas->setBoardSettings(settings);
}

void PptContainer::clearCanvas()
{
    if (m_Canvas)
        m_Canvas->clearBoard();
}

void PptContainer::undo()
{
    if (m_Canvas)
        m_Canvas->undoGroup()->undo();
}

void PptContainer::redo()
{
    if (m_Canvas)
        m_Canvas->undoGroup()->redo();
}

void PptContainer::adjustPptWindow()
{
    const int w = width();
    const int h = height();
    QSize fitted(w, h);
    if (m_PptWidth > 0 && m_PptHeight > 0) {
        if (qint64(m_PptWidth) * h < qint64(w) * m_PptHeight)
            fitted = QSize(int(qint64(m_PptWidth) * h / m_PptHeight), h);
        else
            fitted = QSize(w, int(qint64(w) * m_PptHeight / m_PptWidth));
    }
    m_PptShowWidget->resize(fitted);
    m_PptShowWidget->move((w - fitted.width()) / 2, (h - fitted.height()) / 2);
    if (m_slideWindowContainer)
        m_slideWindowContainer->setGeometry(0, 0, fitted.width(), fitted.height());
}

bool PptContainer::event(QEvent *event)
{
    return QWidget::event(event);
}

bool PptContainer::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}

void PptContainer::resizeEvent(QResizeEvent *event)
{
    adjustPptWindow();
    m_PptMainWidget->resize(size());
    m_LoaddingView->resize(size());
    if (m_Canvas)
        m_Canvas->setGeometry(canvasGeometry());
    QWidget::resizeEvent(event);
}
