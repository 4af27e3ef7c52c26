#include "slideagent.h"

#include "core/slides/slideprotocol.h"
#include "slideconverter.h"
#include "slidepages.h"

#include <QCoreApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

void report(const QString &text)
{
    // The recording window reads the agent's standard output into its log.
    QTextStream out(stdout);
    out << text << Qt::endl;
}

}  // namespace

SlideAgent::SlideAgent(const QString &presentationPath, qint64 containerPid, quint64 containerKey,
                       QObject *parent)
    : QObject(parent), m_path(presentationPath),
      m_serverName(SlideProtocol::serverName(containerPid, containerKey))
{
    m_connectRetry.setInterval(100);
    connect(&m_connectRetry, &QTimer::timeout, this, &SlideAgent::tryConnect);
    m_heartbeat.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the agent waits the full 10 seconds.
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    m_heartbeat.setInterval(kHeartbeatTimeoutMs);
    connect(&m_heartbeat, &QTimer::timeout, this,
            [this]() { finish(0, QStringLiteral("no heartbeat for 10 s, ending")); });
    connect(&m_socket, &QLocalSocket::connected, this, &SlideAgent::onConnected);
    connect(&m_socket, &QLocalSocket::readyRead, this, &SlideAgent::onReadyRead);
    connect(&m_socket, &QLocalSocket::disconnected, this,
            [this]() { finish(0, QStringLiteral("connection closed, ending")); });
}

SlideAgent::~SlideAgent()
{
    delete m_pages;
}

void SlideAgent::start()
{
    m_connectClock.start();
    m_connectRetry.start();
    tryConnect();
}

// The retry does not wait for the socket's error signal: a failed connect may leave the socket
// in a state that signals nothing more, and the agent must end within its limit whatever the
// socket does.
void SlideAgent::tryConnect()
{
    if (m_finished || m_converter) {
        m_connectRetry.stop();
        return;
    }
    if (m_connectClock.elapsed() >= kConnectTimeoutMs) {
        finish(SlideProtocol::kExitNoWindow, tr("无法连接到录课窗口：%1").arg(m_serverName));
        return;
    }
    if (m_socket.state() == QLocalSocket::UnconnectedState)
        m_socket.connectToServer(m_serverName);
}

void SlideAgent::onConnected()
{
    m_connectRetry.stop();
    m_converter = new SlideConverter(this);
    connect(m_converter, &SlideConverter::progress, this,
            [this](qint64 ms) { send(SlideProtocol::kPptConverting, ms); });
    connect(m_converter, &SlideConverter::finished, this, &SlideAgent::onConverted);
    connect(m_converter, &SlideConverter::failed, this,
            [this](int exitCode, const QString &message) { finish(exitCode, message); });
    m_converter->start(m_path);
}

void SlideAgent::onConverted(const QString &pdfPath)
{
    report(m_converter->usedCache() ? QStringLiteral("slides from the cache: %1").arg(pdfPath)
                                    : QStringLiteral("slides converted: %1").arg(pdfPath));
    m_pages = new SlidePages;
    if (!m_pages->load(pdfPath)) {
        finish(SlideProtocol::kExitUnreadable, tr("无法打开演示文稿：%1").arg(m_path));
        return;
    }
    const QSize size = m_pages->slideSize();
    send(SlideProtocol::kPptSize, QStringLiteral("%1_%2").arg(size.width()).arg(size.height()));
    send(SlideProtocol::kPptPages, m_pages->pageCount());
    m_heartbeat.start();
}

void SlideAgent::onReadyRead()
{
    m_reader.append(m_socket.readAll());
    QByteArray line;
    while (m_reader.next(&line)) {
        handleWord(line.trimmed());
        if (m_finished)
            return;
    }
}

void SlideAgent::handleWord(const QByteArray &word)
{
    if (word == SlideProtocol::kHeartbeat) {
        if (m_heartbeat.isActive())
            m_heartbeat.start();
    } else if (word.startsWith(SlideProtocol::kRender) && m_pages) {
        // "render <page> <width> <height>"; anything malformed is ignored.
        const QList<QByteArray> parts = word.split(' ');
        bool pageOk = false, widthOk = false, heightOk = false;
        const int page = parts.value(1).toInt(&pageOk);
        const int width = parts.value(2).toInt(&widthOk);
        const int height = parts.value(3).toInt(&heightOk);
        if (parts.size() == 4 && parts.at(0) == SlideProtocol::kRender && pageOk && widthOk &&
            heightOk && SlideProtocol::pictureBytes(width, height) > 0)
            sendPage(page, QSize(width, height));
    } else if (word == SlideProtocol::kClose) {
        finish(0, QStringLiteral("asked to close"));
    }
    // Anything else is ignored.
}

void SlideAgent::sendPage(int page, const QSize &size)
{
    QJsonObject value;
    value.insert(QStringLiteral("page"), page);
    value.insert(QStringLiteral("width"), size.width());
    value.insert(QStringLiteral("height"), size.height());
    const QImage picture = m_pages->render(page, size);
    if (picture.isNull() || picture.size() != size) {
        report(QStringLiteral("page %1 could not be rendered").arg(page));
        send(SlideProtocol::kPageFailed, value);
        return;
    }
    const qint64 rowBytes = qint64(size.width()) * 4;
    value.insert(QStringLiteral("bytes"), rowBytes * size.height());
    send(SlideProtocol::kPagePicture, value);
    if (m_socket.state() != QLocalSocket::ConnectedState)
        return;
    for (int y = 0; y < size.height(); ++y)
        m_socket.write(reinterpret_cast<const char *>(picture.constScanLine(y)), rowBytes);
    m_socket.flush();
}

void SlideAgent::send(const char *type, const QJsonValue &value)
{
    if (m_socket.state() != QLocalSocket::ConnectedState)
        return;
    QJsonObject message;
    message.insert(QStringLiteral("cmd_type"), QString::fromLatin1(type));
    message.insert(QStringLiteral("value"), value);
    m_socket.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    m_socket.flush();
}

void SlideAgent::finish(int code, const QString &reason)
{
    if (m_finished)
        return;
    m_finished = true;
    m_exitCode = code;
    report(reason);
    m_heartbeat.stop();
    m_connectRetry.stop();
    if (m_converter)
        m_converter->cancel();
    QCoreApplication::exit(code);
}
