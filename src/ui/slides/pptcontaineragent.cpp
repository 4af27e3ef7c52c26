// PptContainer: the agent process and the messages to and from it.
#include "core/slides/slideprotocol.h"
#include "ui/base/loaddingview.h"
#include "ui/board/boardcanvas.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/pptmainwidget.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {
// How long an agent told to close may take before it is ended.
constexpr int kAgentCloseGraceMs = 3000;
}  // namespace

int PptContainer::openPptFile(const QString &path)
{
    m_LoaddingView->setFileName(QFileInfo(path).fileName());
    m_LoaddingView->setPptIconVisible(true);

    const QString containerId = QString::number(winId());
    const QString mainId = QString::number(m_PptMainWidget->winId());
    if (!m_server) {
        m_server = new QLocalServer(this);
        // Only the user's own processes may connect.
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &PptContainer::onNewConnection);
        const QString name = SlideProtocol::serverName(QCoreApplication::applicationPid(), winId());
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
        // No finished signal follows: the search would wait in vain. Told from the event loop,
        // not from inside start().
        QMetaObject::invokeMethod(
            this,
            [this, process]() {
                if (process == m_agentProcess && m_FindWindowTimer->isActive())
                    searchFailed(
                        tr("找不到幻灯片放映程序 lumora_slide_agent，请重新安装 Lumora录课"));
                process->deleteLater();
            },
            Qt::QueuedConnection);
    });
    connect(process, &QProcess::finished, this, &PptContainer::onAgentFinished);
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    const QStringList arguments = {path, containerId, mainId};
    process->setProcessChannelMode(QProcess::MergedChannels);
    qInfo() << "openPptFile:" << arguments;
    m_agentProcess = process;
    m_FindCount = 0;
    m_FindWindowTimer->start(20);
    process->start(agentProgram(), arguments, QIODevice::ReadWrite);
    return 1;
}

void PptContainer::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_agentSocket) {
            // One agent per container.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_agentSocket = socket;
        connect(socket, &QLocalSocket::readyRead, this, &PptContainer::onReadyRead);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void PptContainer::onReadyRead()
{
    if (!m_agentSocket)
        return;
    m_reader.append(m_agentSocket->readAll());
    QByteArray line;
    while (m_reader.next(&line))
        handleMsg(QString::fromUtf8(line));
}

void PptContainer::handleMsg(const QString &text)
{
    qInfo().noquote() << QStringLiteral("收到WM_COPYDATA客户端消息:%1").arg(text);
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return;
    const QJsonObject message = document.object();
    const QString type = message.value(QStringLiteral("cmd_type")).toString();
    const QJsonValue value = message.value(QStringLiteral("value"));
    if (type == QLatin1String(SlideProtocol::kWindowHwnd)) {
        const double id = value.toDouble();
        if (id > 0 && id <= 0xffffffffu)
            m_AgentHwnd = static_cast<quint32>(id);
    } else if (type == QLatin1String(SlideProtocol::kPptPage)) {
        const int page = value.toInt();
        // Slides count from 1; the same slide again changes nothing.
        if (page < 1 || page == m_CurPage)
            return;
        m_CurPage = page;
        if (m_Canvas)
            m_Canvas->setPage(page);
        emit sig_PageChanged(page);
    } else if (type == QLatin1String(SlideProtocol::kPptSize)) {
        const QStringList parts = value.toString().split(QLatin1Char('_'));
        if (parts.size() < 2)
            return;
        const int width = parts.at(0).toInt();
        const int height = parts.at(1).toInt();
        // A size that cannot be fitted is ignored.
        if (width <= 0 || height <= 0 || width > 100000 || height > 100000)
            return;
        const bool wasInPlace = slidesInPlace();
        m_PptWidth = width;
        m_PptHeight = height;
        adjustPptWindow();
        if (!wasInPlace && slidesInPlace())
            emit sig_SlidesInPlace();
    } else if (type == QLatin1String(SlideProtocol::kPptConverting)) {
        // LibreOffice is still at work: the search waits as long as it is.
        if (!m_FindWindowTimer->isActive())
            return;
        m_FindCount = 0;
        m_LoaddingView->label_opening->setText(
            tr("正在准备幻灯片... %1秒").arg(value.toInteger() / 1000));
    }
}

void PptContainer::sendMsg(const QString &text)
{
    if (m_AgentHwnd == 0 || !m_agentSocket ||
        m_agentSocket->state() != QLocalSocket::ConnectedState)
        return;
    QByteArray line = text.toUtf8();
    line.replace('\n', ' ');
    m_agentSocket->write(line + '\n');
    m_agentSocket->flush();
}

void PptContainer::onAgentFinished(int exitCode, QProcess::ExitStatus status)
{
    qInfo() << "slide agent ended:" << exitCode << status;
    // An agent that ends before its window was found has failed; its status says why.
    if (m_FindWindowTimer->isActive())
        searchFailed(failureReason(exitCode, status));
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

void PptContainer::endAgent()
{
    if (m_agentSocket && m_agentSocket->state() == QLocalSocket::ConnectedState) {
        m_agentSocket->write(QByteArray(SlideProtocol::kClose) + '\n');
        m_agentSocket->flush();
        m_agentSocket->disconnectFromServer();
    }
    m_AgentHwnd = 0;
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
