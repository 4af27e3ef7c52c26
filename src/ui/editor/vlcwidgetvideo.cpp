#include "ui/editor/vlcwidgetvideo.h"

#include "ui/editor/vlcmediaplayer.h"

#include <QPalette>

VlcWidgetVideo::VlcWidgetVideo(QWidget *parent) : QFrame(parent)
{
    setAttribute(Qt::WA_NativeWindow);
    // Siblings and parents stay alien windows; only the picture area is native.
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setMouseTracking(true);
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
    m_player = player;
    if (m_player)
        m_player->setVideoWidget(this);
}

WId VlcWidgetVideo::request()
{
    return winId();
}

VlcMediaPlayer *VlcWidgetVideo::mediaPlayer() const
{
    return m_player;
}
