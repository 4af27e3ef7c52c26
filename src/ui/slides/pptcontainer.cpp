#include "ui/slides/pptcontainer.h"

#include "ui/base/loaddingview.h"
#include "ui/board/boardcanvas.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>
#include <QTimer>

namespace {

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
    m_board = new WhiteboardView(this);
    m_board->resize(size());
    // Nothing to draw on before the slides are there.
    m_board->hide();
    m_LoaddingView = new LoaddingView(this);
    m_LoaddingView->resize(size());
    m_LoaddingView->show();

    m_openTimer = new QTimer(this);
    m_openTimer->setSingleShot(true);
    m_openTimer->setInterval(kOpenTimeoutMs);
    connect(m_openTimer, &QTimer::timeout, this,
            [this]() { openFailed(tr("幻灯片放映程序没有响应")); });
    m_heartbeatTimer = new QTimer(this);
    connect(m_heartbeatTimer, &QTimer::timeout, this,
            [this]() { sendMsg(QString::fromLatin1(SlideProtocol::kHeartbeat)); });
    m_heartbeatTimer->start(1000);
}

PptContainer::~PptContainer()
{
    endAgent();
}

BoardCanvas *PptContainer::canvas() const
{
    return m_board->canvas();
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

int PptContainer::curPage() const
{
    return m_pageCount > 0 ? m_board->pageNo() : 0;
}

bool PptContainer::slidesInPlace() const
{
    return m_inPlace;
}

bool PptContainer::hasPage(int pageNo) const
{
    return !m_board->pagePicture(pageNo).isNull();
}

void PptContainer::keepPagesAround(int pageNo)
{
    if (m_pageCount <= 0)
        return;
    // The page itself first, then the next ones (a lesson mostly goes forward), then back.
    request(pageNo);
    for (int i = 1; i <= kPagesAround; ++i)
        request(pageNo + i);
    for (int i = 1; i <= kPagesAround; ++i)
        request(pageNo - i);
    for (int page = 1; page <= m_pageCount; ++page) {
        if (std::abs(page - pageNo) > kPagesAround && page != m_board->pageNo())
            m_board->setPagePicture(page, QImage());
    }
}

void PptContainer::request(int pageNo)
{
    if (pageNo < 1 || pageNo > m_pageCount || hasPage(pageNo) || m_requested.contains(pageNo))
        return;
    const QSize size = m_board->pictureSize();
    m_requested.append(pageNo);
    sendMsg(QStringLiteral("%1 %2 %3 %4")
                .arg(QLatin1String(SlideProtocol::kRender))
                .arg(pageNo)
                .arg(size.width())
                .arg(size.height()));
}

void PptContainer::takePicture(int pageNo, const QImage &picture)
{
    m_requested.removeAll(pageNo);
    m_board->setPagePicture(pageNo, picture);
    checkInPlace();
    emit sig_PageArrived(pageNo);
}

QImage PptContainer::failedPicture(int pageNo) const
{
    QImage picture(m_board->pictureSize(), QImage::Format_RGB32);
    picture.fill(QColor(0x30, 0x30, 0x33));
    QPainter painter(&picture);
    QFont font = QApplication::font();
    font.setPixelSize(std::max(12, picture.height() / 16));
    painter.setFont(font);
    painter.setPen(QColor(0xf3, 0xf3, 0xf3));
    painter.drawText(picture.rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     tr("第%1页无法显示").arg(pageNo));
    return picture;
}

void PptContainer::checkInPlace()
{
    if (m_inPlace || m_pageCount <= 0 || !hasPage(m_board->pageNo()))
        return;
    m_inPlace = true;
    m_openTimer->stop();
    m_LoaddingView->hide();
    m_board->show();
    keepPagesAround(m_board->pageNo());
    emit sig_SlidesInPlace();
}

void PptContainer::resizeEvent(QResizeEvent *event)
{
    m_board->resize(size());
    m_LoaddingView->resize(size());
    QWidget::resizeEvent(event);
}
