// PptContainer: the agent process and the messages to and from it.
#include "core/slides/slideprotocol.h"
#include "ui/base/loaddingview.h"
#include "ui/slides/pptcontainer.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QTimer>

#include <cstring>

namespace {
// How long an agent told to close may take before it is ended.
constexpr int kAgentCloseGraceMs = 3000;
// Tells the local servers of the containers of this process apart.
quint64 g_nextServerKey = 1;
}  // namespace

int PptContainer::openPptFile(const QString &path)
{
    m_path = path;
    m_LoaddingView->setFileName(QFileInfo(path).fileName());
    m_LoaddingView->setPptIconVisible(true);
    m_openTimer->start();
    startAgent();
    return 1;
}

void PptContainer::startAgent()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        // Only the user's own processes may connect.
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &PptContainer::onNewConnection);
        m_serverKey = g_nextServerKey++;
        const QString name =
            SlideProtocol::serverName(QCoreApplication::applicationPid(), m_serverKey);
        QLocalServer::removeServer(name);
        if (!m_server->listen(name))
            qWarning() << "cmd error:" << m_server->errorString();
    }

    auto *process = new QProcess(qApp);
    connect(process, &QProcess::readyReadStandardOutput, process, [process]() {
        QByteArray bytes = process->readAllStandardOutput();
        const int zero = bytes.indexOf('\0');
        if (zero >= 0)
            bytes.truncate(zero);
        qInfo().noquote() << "cmd输出：" << QString::fromUtf8(bytes).trimmed();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        qWarning() << "cmd error:" << error;
        if (error != QProcess::FailedToStart)
            return;
        // No finished signal follows: opening would wait in vain. Told from the event loop,
        // not from inside start().
        QMetaObject::invokeMethod(
            this,
            [this, process]() {
                if (process == m_agentProcess && m_openTimer->isActive())
                    openFailed(
                        tr("找不到幻灯片放映程序 lumora_slide_agent，请重新安装 Lumora录课"));
                process->deleteLater();
            },
            Qt::QueuedConnection);
    });
    connect(process, &QProcess::finished, this, &PptContainer::onAgentFinished);
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    const QStringList arguments = {m_path, QString::number(m_serverKey)};
    process->setProcessChannelMode(QProcess::MergedChannels);
    qInfo() << "openPptFile:" << arguments;
    m_agentProcess = process;
    process->start(agentProgram(), arguments, QIODevice::ReadWrite);
}

void PptContainer::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_agentSocket && m_agentSocket->state() == QLocalSocket::ConnectedState) {
            // One agent per container.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_agentSocket = socket;
        // A picture is a few megabytes: read as it comes, not all kept in the socket first.
        connect(socket, &QLocalSocket::readyRead, this, &PptContainer::onReadyRead);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // An agent started again during the lesson: the pages it has to render are asked
        // for anew.
        if (m_inPlace) {
            const QList<int> pages = std::exchange(m_requested, {});
            for (int page : pages)
                request(page);
            keepPagesAround(m_board->pageNo());
        }
    }
}

void PptContainer::onReadyRead()
{
    if (!m_agentSocket)
        return;
    m_reader.append(m_agentSocket->readAll());
    for (;;) {
        if (m_payloadPage > 0) {
            QByteArray bytes;
            if (!m_reader.nextBytes(m_payloadBytes, &bytes))
                return;
            const int page = std::exchange(m_payloadPage, 0);
            QImage picture(m_payloadSize, QImage::Format_RGB32);
            if (picture.isNull()) {
                qWarning() << "no memory for the picture of slide" << page;
                m_requested.removeAll(page);
                continue;
            }
            const qsizetype rowBytes = qsizetype(m_payloadSize.width()) * 4;
            for (int y = 0; y < m_payloadSize.height(); ++y)
                std::memcpy(picture.scanLine(y), bytes.constData() + y * rowBytes,
                            size_t(rowBytes));
            takePicture(page, picture);
            continue;
        }
        QByteArray line;
        if (!m_reader.next(&line))
            return;
        handleMsg(QString::fromUtf8(line));
        if (!m_agentSocket)
            return;
    }
}

void PptContainer::handleMsg(const QString &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return;
    const QJsonObject message = document.object();
    const QString type = message.value(QStringLiteral("cmd_type")).toString();
    const QJsonValue value = message.value(QStringLiteral("value"));
    if (type != QLatin1String(SlideProtocol::kPagePicture))
        qInfo().noquote() << QStringLiteral("收到幻灯片程序消息:%1").arg(text);
    if (type == QLatin1String(SlideProtocol::kPagePicture) ||
        type == QLatin1String(SlideProtocol::kPageFailed)) {
        const QJsonObject picture = value.toObject();
        const int page = picture.value(QStringLiteral("page")).toInt();
        const QSize size(picture.value(QStringLiteral("width")).toInt(),
                         picture.value(QStringLiteral("height")).toInt());
        // Only a picture asked for, of the size asked for: anything else may not be followed
        // by what its line says, so the connection cannot go on.
        if (!m_requested.contains(page) || size != m_board->pictureSize()) {
            qWarning() << "slide agent sent a picture not asked for:" << page << size;
            if (m_agentSocket)
                m_agentSocket->abort();
            openFailed(tr("幻灯片放映程序发来的内容有误"));
            return;
        }
        if (type == QLatin1String(SlideProtocol::kPageFailed)) {
            qWarning() << "slide" << page << "could not be rendered";
            takePicture(page, failedPicture(page));
            emit sig_PageFailed(page);
            return;
        }
        const qint64 bytes = picture.value(QStringLiteral("bytes")).toInteger(-1);
        if (bytes != SlideProtocol::pictureBytes(size.width(), size.height())) {
            if (m_agentSocket)
                m_agentSocket->abort();
            openFailed(tr("幻灯片放映程序发来的内容有误"));
            return;
        }
        m_payloadPage = page;
        m_payloadSize = size;
        m_payloadBytes = bytes;
    } else if (type == QLatin1String(SlideProtocol::kPptSize)) {
        const QStringList parts = value.toString().split(QLatin1Char('_'));
        if (parts.size() < 2 || m_pageCount > 0)
            return;
        const int width = parts.at(0).toInt();
        const int height = parts.at(1).toInt();
        // A size that cannot be fitted is ignored.
        if (width <= 0 || height <= 0 || width > 100000 || height > 100000)
            return;
        m_PptWidth = width;
        m_PptHeight = height;
        m_board->setBoardShape(QSize(width, height));
    } else if (type == QLatin1String(SlideProtocol::kPptPages)) {
        const int count = value.toInt();
        if (count < 1 || m_pageCount > 0 || m_PptWidth <= 0)
            return;
        m_pageCount = count;
        m_board->ensurePageCount(count);
        m_board->showPage(1);
        request(1);
    } else if (type == QLatin1String(SlideProtocol::kPptConverting)) {
        // LibreOffice is still at work: opening waits as long as it is.
        if (!m_openTimer->isActive())
            return;
        m_openTimer->start();
        m_LoaddingView->label_opening->setText(
            tr("正在准备幻灯片... %1秒").arg(value.toInteger() / 1000));
    }
}

void PptContainer::sendMsg(const QString &text)
{
    if (!m_agentSocket || m_agentSocket->state() != QLocalSocket::ConnectedState)
        return;
    QByteArray line = text.toUtf8();
    line.replace('\n', ' ');
    m_agentSocket->write(line + '\n');
    m_agentSocket->flush();
}

void PptContainer::onAgentFinished(int exitCode, QProcess::ExitStatus status)
{
    qInfo() << "slide agent ended:" << exitCode << status;
    // An agent that ends before the slides are in place has failed; its status says why.
    if (m_openTimer->isActive()) {
        openFailed(failureReason(exitCode, status));
        return;
    }
    if (!m_inPlace)
        return;
    // Ended during the lesson. It renders the pages in the order they were asked for: the
    // first one not answered is the one it was at, and may be what ended it.
    m_agentSocket = nullptr;
    m_reader = SlideProtocol::LineReader();
    m_payloadPage = 0;
    if (!m_requested.isEmpty()) {
        const int page = m_requested.takeFirst();
        takePicture(page, failedPicture(page));
        emit sig_PageFailed(page);
    }
    const bool restart = ++m_restarts <= kMaxRestarts;
    qWarning() << "slide agent ended during the lesson;"
               << (restart ? "started again" : "given up");
    if (restart)
        startAgent();
    else
        m_requested.clear();
    emit sig_AgentEnded(restart);
}

QString PptContainer::failureReason(int exitCode, QProcess::ExitStatus status)
{
    if (status == QProcess::NormalExit) {
        switch (exitCode) {
        case SlideProtocol::kExitUnreadable:
            return tr("文件无法打开：可能已损坏、设有密码或不是演示文稿");
        case SlideProtocol::kExitNoLibreOffice:
            return tr("未安装 LibreOffice，请先安装软件包 libreoffice-impress");
        case SlideProtocol::kExitConvertTimedOut: return tr("转换演示文稿的时间过长");
        default: break;
        }
    }
    return tr("幻灯片放映程序意外结束");
}

void PptContainer::openFailed(const QString &reason)
{
    if (m_inPlace)
        return;
    m_openTimer->stop();
    endAgent();
    qWarning().noquote() << "slide show failed:" << reason;
    QMessageBox::warning(this, tr("警告"), tr("打开ppt文件失败！") + QLatin1Char('\n') + reason,
                         QMessageBox::Ok);
}

void PptContainer::endAgent()
{
    if (m_agentSocket && m_agentSocket->state() == QLocalSocket::ConnectedState) {
        m_agentSocket->write(QByteArray(SlideProtocol::kClose) + '\n');
        m_agentSocket->flush();
        m_agentSocket->disconnectFromServer();
    }
    if (QProcess *process = m_agentProcess) {
        disconnect(process, &QProcess::finished, this, &PptContainer::onAgentFinished);
        if (process->state() != QProcess::NotRunning) {
            // The process object belongs to the application; it ends the agent if the word
            // was not enough.
            QTimer::singleShot(kAgentCloseGraceMs, process, [process]() {
                if (process->state() != QProcess::NotRunning)
                    process->kill();
            });
        }
        m_agentProcess = nullptr;
    }
}
