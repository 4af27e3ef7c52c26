#pragma once
// The slide-show agent: connects to the recording window's local server, has the
// presentation converted (reporting progress meanwhile), reports the slide size and the number
// of slides, and renders the pages the window asks for ("render <page> <width> <height>"),
// sending each picture back on the socket. It shows no window. It ends on "close", when the
// connection drops, or when no "heartbeat" came for 10 seconds once the slides are ready.
// Main thread only.
#include "core/slides/slideprotocol.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QObject>
#include <QTimer>

class SlideConverter;
class SlidePages;

class SlideAgent : public QObject
{
    Q_OBJECT
public:
    SlideAgent(const QString &presentationPath, qint64 containerPid, quint64 containerKey,
               QObject *parent = nullptr);
    ~SlideAgent() override;

    // Starts connecting; the program's event loop ends with the code exitCode() when done.
    void start();
    int exitCode() const { return m_exitCode; }

    // How long the agent waits for the window's server, and for a heartbeat.
    static constexpr int kConnectTimeoutMs = 5000;
    static constexpr int kHeartbeatTimeoutMs = 10000;

private:
    void tryConnect();
    void onConnected();
    void onConverted(const QString &pdfPath);
    void onReadyRead();
    void handleWord(const QByteArray &word);
    // Renders page `page` at `size` and sends it (or that it failed).
    void sendPage(int page, const QSize &size);
    void send(const char *type, const QJsonValue &value);
    void finish(int code, const QString &reason);

    QString m_path;
    QString m_serverName;
    QLocalSocket m_socket;
    // Tries again every 100 ms until connected or kConnectTimeoutMs have passed.
    QTimer m_connectRetry;
    QElapsedTimer m_connectClock;
    QTimer m_heartbeat;
    SlideConverter *m_converter = nullptr;
    SlidePages *m_pages = nullptr;
    SlideProtocol::LineReader m_reader;
    bool m_finished = false;
    int m_exitCode = 0;
};
