#include "ui/timeline/graphicswidgetresources.h"

#include "core/media/avshowmanager.h"
#include "ui/timeline/durationindicator.h"
#include "ui/timeline/trimhandle.h"

#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsSceneResizeEvent>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace {
constexpr qreal kRadius = 6;
constexpr int kBandTop = 24;
constexpr int kBandHeight = 50;
}  // namespace

AbstractGraphicsWidgetResources::AbstractGraphicsWidgetResources(const QColor &color,
                                                                 QGraphicsItem *parent)
    : QGraphicsWidget(parent), m_color(color)
{
    // The handles and the end mark are made when first needed: most blocks are never
    // selected, and every item of a block costs again when a long lecture is rebuilt.
    // A panel is left out of its parents' keyboard focus chain. Without that, moving a block
    // into or out of a track walks the chain of every other block, and a rebuild of n clips
    // costs n squared.
    setFlags(ItemIsSelectable | ItemIsPanel);
    setAcceptHoverEvents(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

const AVData &AbstractGraphicsWidgetResources::noClip()
{
    static const AVData none;
    return none;
}

TrimHandle *AbstractGraphicsWidgetResources::leftHandle()
{
    makeHandles();
    return m_leftHandle;
}

TrimHandle *AbstractGraphicsWidgetResources::rightHandle()
{
    makeHandles();
    return m_rightHandle;
}

void AbstractGraphicsWidgetResources::makeHandles()
{
    if (m_leftHandle)
        return;
    m_leftHandle = new TrimHandle(TrimHandle::Left, this);
    m_rightHandle = new TrimHandle(TrimHandle::Right, this);
    m_leftHandle->hide();
    m_rightHandle->hide();
    // Made inside a block already on the scene: they take the view's scale here, as items
    // entering the scene do.
    if (scene() && !scene()->views().isEmpty()) {
        const QTransform view = scene()->views().constFirst()->transform();
        m_leftHandle->viewTransformChanged(view);
        m_rightHandle->viewTransformChanged(view);
    }
    placeHandles();
}

DurationIndicator *AbstractGraphicsWidgetResources::durationIndicator()
{
    if (!m_durationIndicator) {
        m_durationIndicator = new DurationIndicator(this);
        m_durationIndicator->hide();
        placeDurationIndicator();
    }
    return m_durationIndicator;
}

void AbstractGraphicsWidgetResources::setAvData(const AVData &avData)
{
    if (m_showManager) {
        m_showManager->disconnect(this);
        m_showManager->deleteLater();
        m_showManager = nullptr;
    }
    m_avData = avData;
    m_label.clear();
    const qint64 frames = msToFrames(avData.endTime - avData.beginTime);
    setSourceDuration(Duration(frames));
    m_cutStart = 0;
    m_cutEnd = int(frames);
    placeHandles();
    preparePictures();
}

bool AbstractGraphicsWidgetResources::showsSpanOf(const AVData &clip) const
{
    const AVData &d = m_avData;
    return m_showManager && clip.uuid == d.uuid && clip.filePath == d.filePath &&
           clip.fileName == d.fileName && clip.duration == d.duration &&
           clip.beginTime == d.beginTime && clip.endTime == d.endTime &&
           clip.videoWidth == d.videoWidth && clip.videoHeight == d.videoHeight;
}

void AbstractGraphicsWidgetResources::moveTo(const AVData &clip)
{
    if (clip.title != m_avData.title)
        m_label.clear();
    m_avData = clip;
    setSelected(false);
    m_cutStart = 0;
    m_cutEnd = int(msToFrames(clip.endTime - clip.beginTime));
    placeHandles();
    update();
}

void AbstractGraphicsWidgetResources::makeShowManager()
{
    // The manager is a child of the block: a block dropped on a rebuild takes it along.
    m_showManager = new AvShowManager(m_avData, this);
    // The jobs report from their own threads; the repaint is queued to this one.
    connect(
        m_showManager, &AvShowManager::onLoadPixmapFinish, this, [this] { update(); },
        Qt::QueuedConnection);
    connect(
        m_showManager, &AvShowManager::onLoadSpectrumFinish, this, [this] { update(); },
        Qt::QueuedConnection);
}

void AbstractGraphicsWidgetResources::setSourceDuration(const Duration &duration)
{
    // Whole frames of the block's own rate (every frame count at the timeline's rate).
    const qint64 fps = qMax<qint64>(1, qRound64(rateRatio()));
    const Duration wanted((duration.frames() / fps) * fps);
    const Duration old = m_asset.sourceDuration();
    if (wanted != old) {
        m_asset.setSourceDuration(wanted);
        emit sourceDurationChanged(old, wanted);
    }
    updateGeometry();
    if (QGraphicsLayoutItem *layout = parentLayoutItem())
        if (layout->isLayout())
            static_cast<QGraphicsLayout *>(layout)->activate();
    placeDurationIndicator();
}

qreal AbstractGraphicsWidgetResources::widthFrames() const
{
    const double ratio = rateRatio() > 0 ? rateRatio() : 1.0;
    return qMax<qreal>(0, m_asset.sourceDuration().frames() / ratio);
}

QSizeF AbstractGraphicsWidgetResources::sizeHint(Qt::SizeHint which, const QSizeF &) const
{
    const qreal w = widthFrames();
    switch (which) {
    case Qt::MinimumSize: return QSizeF(w, 0);
    case Qt::PreferredSize: return QSizeF(w, 0);
    case Qt::MaximumSize: return QSizeF(w, QWIDGETSIZE_MAX);
    default: return QSizeF(-1, -1);
    }
}

void AbstractGraphicsWidgetResources::resizeEvent(QGraphicsSceneResizeEvent *event)
{
    QGraphicsWidget::resizeEvent(event);
    placeHandles();
    placeDurationIndicator();
}

void AbstractGraphicsWidgetResources::placeDurationIndicator()
{
    if (!m_durationIndicator)
        return;
    m_durationIndicator->setDuration(m_asset.sourceDuration(), widthFrames());
    m_durationIndicator->setHeight(size().height());
}

void AbstractGraphicsWidgetResources::placeHandles()
{
    if (!m_leftHandle || !m_rightHandle)
        return;
    m_leftHandle->setPos(m_cutStart, 0);
    m_rightHandle->setPos(m_cutEnd >= 1 ? m_cutEnd : size().width(), 0);
    m_leftHandle->setHeight(size().height());
    m_rightHandle->setHeight(size().height());
}

void AbstractGraphicsWidgetResources::dragTrimHandle(TrimHandle *handle, double sceneX)
{
    const double x = sceneX - scenePos().x();
    const double minGap = 2.0 * TrimHandle::kWidth;
    if (handle->side() == TrimHandle::Right) {
        if (x > m_cutStart + minGap && x <= size().width()) {
            m_cutEnd = int(x);
            handle->setPos(m_cutEnd, 0);
            emit sig_TrimHandleMove(sceneX);
        }
    } else {
        if (x >= 0 && m_cutEnd > x + minGap) {
            m_cutStart = int(x);
            handle->setPos(m_cutStart, 0);
            emit sig_TrimHandleMove(sceneX);
        }
    }
    if (scene())
        scene()->update();
}

void AbstractGraphicsWidgetResources::endTrimHandleDrag()
{
    emit sig_TrimHandleMove(-1.0);
}

namespace {
// A disc of the body's colour and twice the corner radius, drawn once per colour and pixel
// ratio: its quarters are the body's four rounded corners.
QPixmap cornerDisc(const QColor &color, qreal pixelRatio)
{
    static QHash<QPair<QRgb, qreal>, QPixmap> discs;
    const auto key = qMakePair(color.rgba(), pixelRatio);
    auto found = discs.constFind(key);
    if (found != discs.constEnd())
        return *found;
    const int side = int(std::ceil(2 * kRadius * pixelRatio));
    QPixmap disc(side, side);
    disc.fill(Qt::transparent);
    {
        QPainter painter(&disc);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(0, 0, side, side));
    }
    disc.setDevicePixelRatio(pixelRatio);
    discs.insert(key, disc);
    return disc;
}
}  // namespace

void AbstractGraphicsWidgetResources::drawBody(QPainter *painter, const QRectF &rect,
                                               const QColor &color)
{
    // A block a few pixels wide shows no rounding; filling it plainly is many times cheaper
    // than an antialiased path, which matters when a long lecture is zoomed out.
    if (rect.width() < 2 * kRadius + 2 || rect.height() < 2 * kRadius + 2) {
        painter->fillRect(rect, color);
        return;
    }
    // Filled plainly, with the corners from a disc drawn once: an antialiased rounded path
    // per block made most of the cost of painting the timeline. On whole device pixels, so
    // that the fills and the corners meet at any pixel ratio.
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QRectF placed = painter->transform().mapRect(rect);
    const QRect device = QRectF(placed.topLeft() * ratio, placed.size() * ratio).toRect();
    const QRectF r(QPointF(device.topLeft()) / ratio, QSizeF(device.size()) / ratio);
    painter->save();
    painter->resetTransform();
    const qreal d = 2 * kRadius;
    painter->fillRect(QRectF(r.left() + kRadius, r.top(), r.width() - d, r.height()), color);
    painter->fillRect(QRectF(r.left(), r.top() + kRadius, kRadius, r.height() - d), color);
    painter->fillRect(QRectF(r.right() - kRadius, r.top() + kRadius, kRadius, r.height() - d),
                      color);
    const QPixmap disc = cornerDisc(color, ratio);
    const qreal q = kRadius * disc.devicePixelRatio();  // a quarter of the disc, in its pixels
    painter->drawPixmap(QRectF(r.left(), r.top(), kRadius, kRadius), disc, QRectF(0, 0, q, q));
    painter->drawPixmap(QRectF(r.right() - kRadius, r.top(), kRadius, kRadius), disc,
                        QRectF(q, 0, q, q));
    painter->drawPixmap(QRectF(r.left(), r.bottom() - kRadius, kRadius, kRadius), disc,
                        QRectF(0, q, q, q));
    painter->drawPixmap(QRectF(r.right() - kRadius, r.bottom() - kRadius, kRadius, kRadius), disc,
                        QRectF(q, q, q, q));
    painter->restore();
}

void AbstractGraphicsWidgetResources::drawLabel(QPainter *painter, qreal w)
{
    if (w - 3 <= 9)
        return;
    const QString label = QStringLiteral("%1  %2").arg(
        m_avData.title, secondsToText((m_avData.endTime - m_avData.beginTime) / 1000));
    // The label box is 11 pixels high, less than a line of 10-point text: keep the glyphs
    // whole in height, and end the line with an ellipsis where the block ends.
    const QRectF box(QPointF(10, 7), QPointF(w - 3, 18));
    painter->save();
    painter->setClipRect(QRectF(box.left(), 0, box.width(), kBandTop), Qt::IntersectClip);
    if (m_labelWidth != int(box.width()) || m_label.isEmpty()) {
        m_labelWidth = int(box.width());
        m_label = painter->fontMetrics().elidedText(label, Qt::ElideRight, m_labelWidth);
    }
    painter->drawText(box, Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, m_label);
    painter->restore();
}

qreal AbstractGraphicsWidgetResources::horizontalScale(const QPainter *painter)
{
    const qreal sx = painter->worldTransform().m11();
    return sx > 0 ? sx : 1.0;
}

GraphicsWidgetVideoResource::GraphicsWidgetVideoResource(QGraphicsItem *parent)
    : AbstractGraphicsWidgetResources(QColor(116, 102, 171), parent)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_maxStripWidth = screen->availableGeometry().width() + 100;
}

int GraphicsWidgetVideoResource::thumbnailSecond() const
{
    // A clip shorter than two seconds may not reach its second 1: show its first picture.
    return m_avData.endTime - m_avData.beginTime >= 2000 ? 1 : 0;
}

QVariant GraphicsWidgetVideoResource::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedHasChanged) {
        const bool selected = value.toBool();
        if (selected)
            makeHandles();
        if (m_leftHandle) {
            m_leftHandle->setVisible(selected);
            m_rightHandle->setVisible(selected);
        }
    }
    return AbstractGraphicsWidgetResources::itemChange(change, value);
}

void GraphicsWidgetVideoResource::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                                        QWidget *)
{
    const bool selected = option->state & QStyle::State_Selected;
    const qreal sx = horizontalScale(painter);
    const qreal w = size().width() * sx;
    const qreal h = size().height();
    painter->save();
    painter->scale(1.0 / sx, 1.0);

    QFont font = painter->font();
    font.setPointSize(10);
    painter->setFont(font);
    painter->setOpacity(0.7);
    drawBody(painter, QRectF(0, 0, w, h), QColor(QStringLiteral("#024a51")));

    painter->setOpacity(1.0);
    const QColor band(QStringLiteral("#788788"));
    painter->fillRect(QRectF(QPointF(0, kBandTop), QPointF(w - 1, kBandTop + kBandHeight - 1)),
                      band);

    painter->setPen(QPen(QColor(QStringLiteral("#FFFFFF")), 1));
    painter->setBrush(Qt::NoBrush);
    const qreal cutStartPx = m_cutStart * sx;
    const qreal cutEndPx = m_cutEnd * sx;
    const int handle = TrimHandle::kWidth;
    if (selected && cutEndPx - cutStartPx > 2 * handle) {
        const qreal left = cutStartPx + handle - 1;
        const qreal width = cutEndPx - cutStartPx - 2 * handle + 2;
        painter->fillRect(QRectF(left, kBandTop, width, kBandHeight), band);
        painter->drawRect(QRectF(left, 0, width, h - 1));
    }

    drawLabel(painter, w);
    drawThumbnail(painter, w, sx, selected);
    painter->restore();
}

void GraphicsWidgetVideoResource::preparePictures()
{
    // Thumbnails are 50 pixels high and keep the picture's aspect ratio.
    if (m_avData.videoWidth > 0 && m_avData.videoHeight > 0)
        m_thumbSize = QSize(int(qint64(m_avData.videoWidth) * kBandHeight / m_avData.videoHeight),
                            kBandHeight);
    else
        m_thumbSize = QSize(-1, -1);
    makeShowManager();
    m_showManager->setImageSize(m_thumbSize.width(), m_thumbSize.height());
}

void GraphicsWidgetVideoResource::drawThumbnail(QPainter *painter, qreal w, qreal sx, bool selected)
{
    // Cropped, not scaled: at most the thumbnail's width and never past the block's end.
    const int room = qMin(m_thumbSize.width(), int(qMin<qreal>(m_maxStripWidth + 2, w)) - 4);
    QPixmap pixmap;
    if (room <= 0 || !m_showManager || !m_showManager->getImageOnTime(thumbnailSecond(), pixmap))
        return;
    const int width = qMin(room, pixmap.width());
    const int height = qMin(kBandHeight, pixmap.height());
    if (width <= 0 || height <= 0)
        return;
    const int x0 = 2;
    const int dimmedWidth = selected ? qBound(0, int(m_cutStart * sx) - x0, width) : 0;
    if (!selected) {
        painter->setOpacity(0.7);
        painter->drawPixmap(x0, kBandTop, pixmap, 0, 0, width, height);
    } else {
        if (m_cutStart * sx > 2 && dimmedWidth > 0) {
            painter->setOpacity(0.5);
            painter->drawPixmap(x0, kBandTop, pixmap, 0, 0, dimmedWidth, height);
        }
        painter->setOpacity(1.0);
        painter->drawPixmap(x0 + dimmedWidth, kBandTop, pixmap, dimmedWidth, 0, width - dimmedWidth,
                            height);
    }
    painter->setOpacity(1.0);
}

GraphicsWidgetAudioResource::GraphicsWidgetAudioResource(QGraphicsItem *parent)
    : AbstractGraphicsWidgetResources(QColor(110, 162, 110), parent)
{
}

void GraphicsWidgetAudioResource::preparePictures()
{
    makeShowManager();
}

void GraphicsWidgetAudioResource::paint(QPainter *painter, const QStyleOptionGraphicsItem *,
                                        QWidget *)
{
    const qreal sx = horizontalScale(painter);
    const qreal w = size().width() * sx;
    const qreal h = size().height();
    painter->save();
    painter->scale(1.0 / sx, 1.0);
    drawBody(painter, QRectF(0, 0, w, h), QColor(QStringLiteral("#052c38")));
    painter->restore();

    QPixmap strip;
    if (w >= 1 && m_showManager && m_showManager->getSpectrum(strip) && strip.width() > 0) {
        // One strip pixel per frame, stretched with the zoom: smooth it rather than show
        // blocks when it is enlarged.
        painter->setRenderHint(QPainter::SmoothPixmapTransform, sx > 1);
        painter->drawPixmap(QPointF(0, 0), strip);
        painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
}
