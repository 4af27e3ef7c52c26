#pragma once
// The slide show inside the presentation recording window. Starts the slide-show agent
// (lumora_slide_agent) for a presentation, finds its window among the desktop's top-level
// windows, embeds it, keeps it fitted to the slides' aspect ratio and lays the drawing canvas
// over it. Talks to the agent over a local server of its own, one line per message: JSON
// objects from the agent ("window_hwnd", "ppt_page", "ppt_size", "ppt_converting"), words to
// it ("heartbeat" every second, "previous_page", "next_page", "close" when the container
// goes). The agent never outlives the container: it is told to close (and ended if it does not)
// when the search gives up or the container is destroyed, and it ends by itself when the
// connection drops. Page Down/Up and the arrow keys in the window turn the slides.
// Main thread only.
#include "core/slides/slideprotocol.h"

#include <QPointer>
#include <QProcess>
#include <QWidget>

class BoardCanvas;
class LoaddingView;
class PptMainWidget;
class PptShowWidget;
class QAction;
class QLocalServer;
class QLocalSocket;
class QTimer;
class QWindow;
struct BoardSettings;

class PptContainer : public QWidget
{
    Q_OBJECT
public:
    explicit PptContainer(QWidget *parent = nullptr);
    ~PptContainer() override;

    // Starts the agent for the presentation and the search for its window; always 1.
    int openPptFile(const QString &path);
    // One message from the agent.
    void handleMsg(const QString &text);
    // One word to the agent; dropped until the agent has reported its window.
    void sendMsg(const QString &text);

    void addPptCanvas();
    void setAllowDraw(bool allow);
    void setCanvasVisible(bool visible);
    // The slide area in global coordinates.
    QRect slideRect() const;
    void setBoardSettings(BoardSettings *settings);
    void clearCanvas();
    void undo();
    void redo();
    void adjustPptWindow();

    BoardCanvas *canvas() const { return m_Canvas; }
    PptShowWidget *pptShowWidget() const { return m_PptShowWidget; }
    LoaddingView *loaddingView() const { return m_LoaddingView; }
    int curPage() const { return m_CurPage; }
    QSize pptSize() const { return QSize(m_PptWidth, m_PptHeight); }
    quint32 agentWindow() const { return m_AgentHwnd; }
    // True once the slide-show window is embedded.
    bool isEmbedded() const { return m_slideWindowContainer != nullptr; }
    // True once the slides are embedded and fitted to their size (the agent's "ppt_size"):
    // slideRect() is then the slides' own area.
    bool slidesInPlace() const { return isEmbedded() && m_PptWidth > 0 && m_PptHeight > 0; }
    // The running agent (null before openPptFile and after it ended).
    QProcess *agentProcess() const { return m_agentProcess; }

    // The agent program: "lumora_slide_agent" in the program's folder, else on the PATH.
    static QString agentProgram();
    static void setAgentProgram(const QString &path);

    // Ticks of 20 ms the search waits for the slide-show window after the last sign of the
    // agent (its start, or conversion progress).
    static constexpr int kMaxFindCount = 1000;

signals:
    void sig_CanUndo(bool canUndo);
    void sig_CanRedo(bool canRedo);
    void sig_PageChanged(int pageNo);
    // slidesInPlace() has become true (the window and the size may come in either order).
    void sig_SlidesInPlace();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void findWindowTick();
    void embedWindow(quint32 id);
    // Ends the search and the agent and tells the teacher, with `reason` on a second line.
    void searchFailed(const QString &reason);
    // Why an agent that ended with `exitCode` before its window was found failed.
    static QString failureReason(int exitCode, QProcess::ExitStatus status);
    void onNewConnection();
    void onReadyRead();
    void onAgentFinished(int exitCode, QProcess::ExitStatus status);
    // Tells the agent to close and ends it if it is still running a little later.
    void endAgent();
    QRect canvasGeometry() const;
    void addPageActions(QWidget *target);

    BoardCanvas *m_Canvas = nullptr;
    PptMainWidget *m_PptMainWidget = nullptr;
    PptShowWidget *m_PptShowWidget = nullptr;
    LoaddingView *m_LoaddingView = nullptr;
    QTimer *m_FindWindowTimer = nullptr;
    quint32 m_AgentHwnd = 0;
    int m_FindCount = 0;
    int m_CurPage = 0;
    int m_PptWidth = 0;
    int m_PptHeight = 0;

    QTimer *m_heartbeatTimer = nullptr;
    QLocalServer *m_server = nullptr;
    QPointer<QLocalSocket> m_agentSocket;
    SlideProtocol::LineReader m_reader;
    QPointer<QProcess> m_agentProcess;
    QWindow *m_slideWindow = nullptr;
    QWidget *m_slideWindowContainer = nullptr;
    QList<QAction *> m_pageActions;
    // Keeps the embedded window shown in place: the window manager lets go of it
    // asynchronously and may unmap it, or take it back to the root window, after it was
    // embedded.
    QTimer *m_keepShownTimer = nullptr;
};
