#include "ui/record/soundlevelmeter.h"

#include <QPainter>

#include <algorithm>

SoundLevelMeter::SoundLevelMeter(QWidget *parent) : QWidget(parent)
{
    setObjectName("sound_level_meter");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedHeight(4);
}

void SoundLevelMeter::setLevel(double db)
{
    if (db == m_db)
        return;
    m_db = db;
    update();
}

void SoundLevelMeter::setTrackColour(const QColor &colour)
{
    m_track = colour;
    update();
}

double SoundLevelMeter::fill() const
{
    if (m_db <= kFloorDb)
        return 0.0;
    return std::clamp((m_db - kFloorDb) / -kFloorDb, 0.0, 1.0);
}

void SoundLevelMeter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track = rect();
    const qreal radius = track.height() / 2.0;
    painter.setBrush(m_track);
    painter.drawRoundedRect(track, radius, radius);
    const double f = fill();
    if (f <= 0)
        return;
    QColor colour("#3cc26a");
    if (m_db >= -3.0)
        colour = QColor("#e5484d");
    else if (m_db >= -12.0)
        colour = QColor("#f2a23d");
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(track.left(), track.top(), track.width() * f, track.height()),
                            radius, radius);
}
