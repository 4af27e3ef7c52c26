#include "ui/camera/camerapreview.h"

#include "core/camera/camerafeed.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>

namespace {
QPainterPath shapePath(CameraShape shape, const QRectF &rect)
{
    QPainterPath path;
    if (shape == CameraShape::Circle) {
        path.addEllipse(rect);
    } else {
        const qreal radius = std::min(rect.width(), rect.height()) * 0.12;
        path.addRoundedRect(rect, radius, radius);
    }
    return path;
}
}  // namespace

CameraPreview::CameraPreview(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("view_camera"));
    setAttribute(Qt::WA_NoSystemBackground);
}

CameraPreview::~CameraPreview()
{
    setFeed(nullptr);
}

void CameraPreview::setFeed(std::shared_ptr<CameraFeed> feed)
{
    if (feed == m_feed)
        return;
    if (m_feed && m_listener >= 0)
        m_feed->removeListener(m_listener);
    m_listener = -1;
    m_feed = std::move(feed);
    m_picture = QImage();
    m_shownNumber = 0;
    m_endTold = false;
    if (m_feed) {
        QPointer<CameraPreview> self(this);
        std::shared_ptr<std::atomic<bool>> pending = m_pending;
        m_listener = m_feed->addListener([self, pending]() {
            // Many pictures may come while the window is busy: one update takes the newest.
            if (pending->exchange(true))
                return;
            QMetaObject::invokeMethod(
                self.data(),
                [self]() {
                    if (self)
                        self->takeNewest();
                },
                Qt::QueuedConnection);
        });
        takeNewest();
    }
    update();
}

void CameraPreview::takeNewest()
{
    m_pending->store(false);
    if (!m_feed)
        return;
    QString reason;
    if (m_feed->hasEnded(&reason)) {
        if (!m_endTold) {
            m_endTold = true;
            m_picture = QImage();
            update();
            emit sig_Ended(reason);
        }
        return;
    }
    if (!isVisible() || m_feed->newestNumber() == m_shownNumber)
        return;
    AVFrame *frame = av_frame_alloc();
    qint64 takenUs = 0, number = 0;
    if (frame && m_feed->newest(frame, &takenUs, &number)) {
        const QSize size = (QSizeF(this->size()) * devicePixelRatioF()).toSize();
        QImage picture = m_converter.image(frame, number, size);
        if (!picture.isNull()) {
            m_picture = m_mirrored ? picture.mirrored(true, false) : picture;
            m_picture.setDevicePixelRatio(devicePixelRatioF());
            m_shownNumber = number;
            update();
        }
    }
    av_frame_free(&frame);
}

void CameraPreview::setShape(CameraShape shape)
{
    m_shape = shape;
    placeInArea();
    updateMask();
    update();
}

void CameraPreview::setMirrored(bool mirrored)
{
    if (mirrored == m_mirrored)
        return;
    m_mirrored = mirrored;
    m_shownNumber = 0;
    takeNewest();
}

void CameraPreview::setText(const QString &text)
{
    m_text = text;
    update();
}

void CameraPreview::setArea(const QRect &area, const QSize &pictureSize)
{
    m_area = area;
    m_pictureSize = pictureSize;
    placeInArea();
}

void CameraPreview::setPlace(const CameraPlace &place)
{
    m_place = place;
    placeInArea();
}

void CameraPreview::placeInArea()
{
    if (m_area.isEmpty() || m_pictureSize.isEmpty())
        return;
    const QRect inPicture = m_place.rectIn(m_pictureSize, m_shape);
    const double sx = double(m_area.width()) / m_pictureSize.width();
    const double sy = double(m_area.height()) / m_pictureSize.height();
    setGeometry(QRect(m_area.x() + qRound(inPicture.x() * sx),
                      m_area.y() + qRound(inPicture.y() * sy), qRound(inPicture.width() * sx),
                      qRound(inPicture.height() * sy)));
}

void CameraPreview::updateMask()
{
    // A window without a compositing manager shows what the preview leaves unpainted as
    // black: the preview is cut to its shape there too.
    if (parentWidget() && parentWidget()->testAttribute(Qt::WA_TranslucentBackground))
        setMask(QRegion(shapePath(m_shape, rect()).toFillPolygon().toPolygon()));
    else
        clearMask();
}

void CameraPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateMask();
    m_shownNumber = 0;
    takeNewest();
}

void CameraPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = shapePath(m_shape, QRectF(rect()));
    if (m_picture.isNull()) {
        painter.fillPath(path, QColor(QStringLiteral("#2b2f38")));
        painter.setPen(QColor(QStringLiteral("#e6e8ec")));
        QFont font = painter.font();
        font.setPixelSize(std::clamp(height() / 10, 11, 14));
        painter.setFont(font);
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_text);
        return;
    }
    painter.setClipPath(path);
    painter.drawImage(rect(), m_picture);
}

void CameraPreview::mousePressEvent(QMouseEvent *event)
{
    if (!isMovable() || event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragOffset = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void CameraPreview::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragOffset.x() < 0 || !parentWidget())
        return QWidget::mouseMoveEvent(event);
    const QPoint topLeft =
        mapToParent(event->position().toPoint()) - m_dragOffset - m_area.topLeft();
    const double sx = double(m_pictureSize.width()) / m_area.width();
    const double sy = double(m_pictureSize.height()) / m_area.height();
    const QRect inPicture = m_place.rectIn(m_pictureSize, m_shape);
    m_place.share =
        CameraPlace::shareFor(m_pictureSize, inPicture.size(),
                              QPoint(qRound(topLeft.x() * sx), qRound(topLeft.y() * sy)));
    placeInArea();
    emit sig_PlaceChanged(m_place);
}

void CameraPreview::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragOffset.x() < 0)
        return QWidget::mouseReleaseEvent(event);
    m_dragOffset = QPoint(-1, -1);
    setCursor(Qt::OpenHandCursor);
}

void CameraPreview::wheelEvent(QWheelEvent *event)
{
    if (!isMovable() || event->angleDelta().y() == 0)
        return QWidget::wheelEvent(event);
    const int size = std::clamp(int(m_place.size) + (event->angleDelta().y() > 0 ? 1 : -1), 0, 2);
    if (size == int(m_place.size))
        return;
    m_place.size = CameraSize(size);
    placeInArea();
    emit sig_PlaceChanged(m_place);
}
