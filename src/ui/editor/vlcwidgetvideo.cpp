#include "ui/editor/vlcwidgetvideo.h"

#include "ui/base/nativewindow.h"
#include "ui/editor/vlcmediaplayer.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <QTimer>

namespace {
void paintBlack(QWidget *widget)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, Qt::black);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

// Draws one picture, as large as fits and centred, on black.
class PosterView : public QWidget
{
public:
    explicit PosterView(QWidget *parent) : QWidget(parent)
    {
        giveOwnNativeWindow(this);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void setPicture(const QImage &picture)
    {
        m_picture = picture;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (m_picture.isNull())
            return;
        const QSize size = m_picture.size().scaled(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2),
                           size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_picture);
    }

private:
    QImage m_picture;
};
}  // namespace

VlcWidgetVideo::VlcWidgetVideo(QWidget *parent) : QFrame(parent)
{
    // Only the picture area is native; the editor around it is drawn into the top-level.
    giveOwnNativeWindow(this);
    paintBlack(this);
    setMouseTracking(true);
    m_posterTimer = new QTimer(this);
    m_posterTimer->setSingleShot(true);
    m_posterTimer->setInterval(kPosterOverlapMs);
    connect(m_posterTimer, &QTimer::timeout, this, &VlcWidgetVideo::hidePoster);
    for (int i = 0; i < kSurfaces; ++i)
        addSurface();
    m_surfaces[0]->raise();
}

void VlcWidgetVideo::addSurface()
{
    auto *s = new QWidget(this);
    giveOwnNativeWindow(s);
    // Mouse events go to this widget, as if the picture were drawn into it.
    s->setAttribute(Qt::WA_TransparentForMouseEvents);
    paintBlack(s);
    s->installEventFilter(this);
    s->setGeometry(contentsRect());
    // Beneath the others: the front one keeps showing its picture.
    s->lower();
    if (isVisible())
        s->show();
    m_surfaces << s;
}

VlcWidgetVideo::VlcWidgetVideo(VlcMediaPlayer *player, QWidget *parent) : VlcWidgetVideo(parent)
{
    setMediaPlayer(player);
}

VlcWidgetVideo::~VlcWidgetVideo()
{
    if (m_player && m_player->videoWidget() == this) {
        m_player->stop();
        m_player->setVideoWidget(nullptr);
    }
}

void VlcWidgetVideo::setMediaPlayer(VlcMediaPlayer *player)
{
    if (m_player == player)
        return;
    if (m_player && m_player->videoWidget() == this) {
        m_player->stop();
        m_player->setVideoWidget(nullptr);
    }
    if (m_player)
        m_player->disconnect(this);
    m_player = player;
    if (!m_player)
        return;
    m_player->setVideoWidget(this);
    connect(m_player, &VlcMediaPlayer::opening, this, [this] { m_posterWaitsForOpen = false; });
    connect(m_player, &VlcMediaPlayer::vout, this, [this](int count) {
        if (count > 0 && posterShown() && !m_posterWaitsForOpen)
            m_posterTimer->start();
    });
}

void VlcWidgetVideo::showPoster(const QImage &picture)
{
    if (!m_poster) {
        m_poster = new PosterView(this);
        m_poster->setGeometry(contentsRect());
    }
    static_cast<PosterView *>(m_poster)->setPicture(picture);
    m_poster->show();
    m_poster->raise();
    m_posterTimer->stop();
    m_posterWaitsForOpen = true;
}

void VlcWidgetVideo::hidePoster()
{
    m_posterTimer->stop();
    if (m_poster && !m_poster->isHidden()) {
        m_poster->hide();
        static_cast<PosterView *>(m_poster)->setPicture(QImage());
    }
}

bool VlcWidgetVideo::posterShown() const
{
    return m_poster && !m_poster->isHidden();
}

WId VlcWidgetVideo::surface(int index)
{
    index = qBound(0, index, kMaxSurfaces - 1);
    while (m_surfaces.size() <= index)
        addSurface();
    // The top-level window first. Asked first, a surface's window makes Qt create the
    // top-level's on the way, which creates this widget's window, which Qt's first call then
    // creates a second time; the first one stays registered, and an event for it after the
    // editor is gone ends the program.
    window()->winId();
    return m_surfaces.at(index)->winId();
}

void VlcWidgetVideo::raiseSurface(int index)
{
    m_front = qBound(0, index, kMaxSurfaces - 1);
    surface(m_front);
    m_surfaces.at(m_front)->raise();
    if (posterShown())
        m_poster->raise();
}

bool VlcWidgetVideo::eventFilter(QObject *watched, QEvent *event)
{
    // The window ids the player holds are gone with the old native windows. The new ones are
    // handed over once the move has finished: asking for them in the middle of it is unsafe.
    if (event->type() == QEvent::WinIdChange && !m_surfacesChanging) {
        m_surfacesChanging = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_surfacesChanging = false;
                if (m_player && m_player->videoWidget() == this)
                    m_player->setVideoWidget(this);
            },
            Qt::QueuedConnection);
    }
    return QFrame::eventFilter(watched, event);
}

void VlcWidgetVideo::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    for (QWidget *s : m_surfaces)
        s->setGeometry(contentsRect());
    if (m_poster)
        m_poster->setGeometry(contentsRect());
}

int VlcWidgetVideo::surfaceCount() const
{
    return m_surfaces.size();
}

VlcMediaPlayer *VlcWidgetVideo::mediaPlayer() const
{
    return m_player;
}
