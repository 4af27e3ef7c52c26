#pragma once
// The slide show inside the presentation recording window: a board (WhiteboardView) whose pages
// are the slides. Starts the slide-show agent (lumora_slide_agent) for a presentation and talks
// to it over a local server of its own, one line per message: JSON objects from the agent
// ("ppt_converting", "ppt_size", "ppt_pages", "page_picture" with the picture's bytes after
// it, "page_failed"), words to it ("heartbeat" every second, "render <page> <w> <h>", "close"
// when the container goes). The agent renders every page at the recording's picture size; the
// board shows the page's picture under its drawing canvas and the recording draws it pixel for
// pixel, so nothing of the screen is grabbed and no window of the agent is shown.
//
// Pictures are kept for the page shown and the pages around it (asked for ahead, so that a
// page turn finds its picture waiting); others are let go. A page the agent cannot render is
// shown (and recorded) as a dark page saying so, never as a blank one.
//
// The agent never outlives the container: it is told to close (and ended if it does not) when
// the container is destroyed or opening failed, and it ends by itself when the connection
// drops. A broken or hostile agent can only fail the opening: a picture that is not one the
// container asked for ends the connection. An agent that ends during the lesson (a page that
// makes Poppler crash ends it) is started again, from the cache: the page it was rendering is
// shown as failed, the others are asked for again. Main thread only.
#include "core/slides/slideprotocol.h"

#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QWidget>

class BoardCanvas;
class LoaddingView;
class QLocalServer;
class QLocalSocket;
class QTimer;
class WhiteboardView;

class PptContainer : public QWidget
{
    Q_OBJECT
public:
    explicit PptContainer(QWidget *parent = nullptr);
    ~PptContainer() override;

    // Starts the agent for the presentation; always 1 (a failure is told later).
    int openPptFile(const QString &path);
    // One line from the agent.
    void handleMsg(const QString &text);
    // One word to the agent; dropped while it is not connected.
    void sendMsg(const QString &text);

    WhiteboardView *board() const { return m_board; }
    BoardCanvas *canvas() const;
    LoaddingView *loaddingView() const { return m_LoaddingView; }
    // The page shown, from 1 (0 before the slides are known), and how many there are.
    int curPage() const;
    int pageCount() const { return m_pageCount; }
    // The first slide's size in points (empty before the agent said it).
    QSize pptSize() const { return QSize(m_PptWidth, m_PptHeight); }
    // True once the slides' shape is known and the page shown has its picture: the board then
    // shows the slide and can be recorded.
    bool slidesInPlace() const;
    // True when page `pageNo` has its picture (or the picture saying it failed).
    bool hasPage(int pageNo) const;
    // Asks for page `pageNo` and the pages around it, and lets go of the pictures of pages
    // further away. sig_PageArrived follows for each picture that comes.
    void keepPagesAround(int pageNo);
    // The running agent (null before openPptFile and after it ended).
    QProcess *agentProcess() const { return m_agentProcess; }

    // The agent program: "lumora_slide_agent" in the program's folder, else on the PATH.
    static QString agentProgram();
    static void setAgentProgram(const QString &path);

    // How long opening waits for the agent after its last sign of life (its start, or
    // conversion progress) before it gives up.
    static constexpr int kOpenTimeoutMs = 20000;
    // Pages kept on each side of the page shown.
    static constexpr int kPagesAround = 2;
    // How often an agent that ended during the lesson is started again.
    static constexpr int kMaxRestarts = 5;

signals:
    // slidesInPlace() has become true.
    void sig_SlidesInPlace();
    // The picture of page `pageNo` has come (it may be the one saying the page failed).
    void sig_PageArrived(int pageNo);
    // The agent could not render page `pageNo`.
    void sig_PageFailed(int pageNo);
    // The agent ended during the lesson; `restarted`: a new one was started.
    void sig_AgentEnded(bool restarted);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Ends opening and the agent and tells the teacher, with `reason` on a second line.
    void openFailed(const QString &reason);
    // Why an agent that ended with `exitCode` before the slides were in place failed.
    static QString failureReason(int exitCode, QProcess::ExitStatus status);
    void onNewConnection();
    void onReadyRead();
    void onAgentFinished(int exitCode, QProcess::ExitStatus status);
    // Starts the agent for m_path.
    void startAgent();
    // Tells the agent to close and ends it if it is still running a little later.
    void endAgent();
    // Asks the agent for page `pageNo` unless it is kept or on its way.
    void request(int pageNo);
    // A page's picture (or its failure) has come.
    void takePicture(int pageNo, const QImage &picture);
    // The dark page shown for a page that could not be rendered.
    QImage failedPicture(int pageNo) const;
    void checkInPlace();

    WhiteboardView *m_board = nullptr;
    LoaddingView *m_LoaddingView = nullptr;
    QTimer *m_openTimer = nullptr;  // runs while opening waits for the agent
    int m_PptWidth = 0;
    int m_PptHeight = 0;
    int m_pageCount = 0;
    bool m_inPlace = false;

    QTimer *m_heartbeatTimer = nullptr;
    QLocalServer *m_server = nullptr;
    quint64 m_serverKey = 0;
    QPointer<QLocalSocket> m_agentSocket;
    SlideProtocol::LineReader m_reader;
    QPointer<QProcess> m_agentProcess;

    QString m_path;
    int m_restarts = 0;
    QList<int> m_requested;  // pages asked for whose picture has not come yet, in order
    // The picture whose bytes are coming next on the socket (0: none).
    int m_payloadPage = 0;
    QSize m_payloadSize;
    qint64 m_payloadBytes = 0;
};
