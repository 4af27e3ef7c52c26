#include "ui/timeline/widgetcomposition.h"

#include "core/timeline/imfcommon.h"
#include "ui/timeline/graphicsobjectverticalindicator.h"
#include "ui/timeline/graphicsscenetimeline.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/graphicswidgettimeline.h"
#include "ui/timeline/pausemarksitem.h"

#include <QGraphicsLayout>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtDebug>

#include <cmath>

namespace {
constexpr int kRulerHeight = 57;
constexpr int kScrollStep = 10;
constexpr int kScrollMargin = 50;

QString viewStyle(const QString &objectName)
{
    return QStringLiteral("QFrame#%1 {background-color: %2;border-width: 0px;border-color: %3;}")
        .arg(objectName, QStringLiteral("#1b1b1c"), QStringLiteral("#1b1b1c"));
}
}  // namespace

WidgetComposition::WidgetComposition(QWidget *parent) : QFrame(parent)
{
    m_timelineScene = new GraphicsSceneTimeline(EditRate::byName(QStringLiteral("24")), this);
    m_compositionScene = new GraphicsSceneComposition(this);

    // Both views show their scene without a frame or a vertical scroll bar.
    const auto makeView = [this](const QString &name, QGraphicsScene *scene,
                                 Qt::ScrollBarPolicy horizontal) {
        auto *view = new GraphicsViewScalable(this);
        view->setObjectName(name);
        view->setScene(scene);
        view->setFrameShape(QFrame::NoFrame);
        view->setHorizontalScrollBarPolicy(horizontal);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return view;
    };
    m_timelineView =
        makeView(QStringLiteral("TimelineView"), m_timelineScene, Qt::ScrollBarAlwaysOff);
    m_timelineView->viewport()->installEventFilter(this);
    m_timelineView->setFixedHeight(kRulerHeight);
    m_compositionView =
        makeView(QStringLiteral("CompositionView"), m_compositionScene, Qt::ScrollBarAsNeeded);
    m_compositionView->viewport()->installEventFilter(this);

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(m_timelineView, 0);
    box->addWidget(m_compositionView, 1);

    connect(m_timelineScene->currentFrameIndicator(),
            &GraphicsObjectVerticalIndicator::sig_xPos_changed, this,
            &WidgetComposition::onTimeLineChanged);
    connect(m_timelineScene, &GraphicsSceneTimeline::sig_click_time_indicator, this,
            [this](int xPos) { emit curTimeChanged(long(framesToMs(xPos))); });

    QScrollBar *rulerBar = m_timelineView->horizontalScrollBar();
    QScrollBar *trackBar = m_compositionView->horizontalScrollBar();
    connect(trackBar, &QScrollBar::valueChanged, rulerBar, &QScrollBar::setValue);
    connect(rulerBar, &QScrollBar::valueChanged, this, [rulerBar, trackBar](int value) {
        if (value != trackBar->value())
            rulerBar->setValue(trackBar->value());
    });
    connect(m_compositionView, &GraphicsViewScalable::scaleViewChanged, this,
            &WidgetComposition::onCompositionScaleChanged);
    connect(segment(), &GraphicsWidgetSegment::sig_TrimHandleMove, this,
            &WidgetComposition::slot_TrimHandleMove);
    connect(m_timelineScene, &GraphicsSceneTimeline::sig_TimeHandleMove, this,
            &WidgetComposition::onTimeHandleMove);
    m_pauseMarks = new PauseMarksItem(segment());
    m_compositionScene->addItem(m_pauseMarks);
    GraphicsWidgetComposition *root = m_compositionScene->composition();
    connect(root, &QGraphicsWidget::geometryChanged, this, [this, root] {
        qDebug() << "QGraphicsWidget::geometryChanged:" << root->geometry();
        followCompositionWidth();
    });
    QTimer::singleShot(10, this, [trackBar] { trackBar->setValue(0); });

    slot_add_track_request(SequenceTypePicture);
    slot_add_track_request(SequenceTypeSound);

    m_timelineView->setStyleSheet(viewStyle(m_timelineView->objectName()));
    m_compositionView->setStyleSheet(viewStyle(m_compositionView->objectName()));

    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setInterval(50);
    connect(m_scrollTimer, &QTimer::timeout, this, &WidgetComposition::onTrimHandleMove);
}

GraphicsWidgetSegment *WidgetComposition::segment() const
{
    return m_compositionScene->composition()->segment();
}

void WidgetComposition::slot_add_track_request(eSequenceType type)
{
    auto *sequence = new GraphicsWidgetSequence(QUuid::createUuid(), QUuid::createUuid(), type);
    int index = 0;
    if (type == SequenceTypeSound) {
        sequence->setHeight(50);
        index = 1;
    } else if (type == SequenceTypePicture) {
        sequence->setHeight(90);
    }
    segment()->addSequence(sequence, index);
    GraphicsWidgetComposition *root = m_compositionScene->composition();
    root->layout()->activate();
    root->adjustSize();
}

void WidgetComposition::slot_track_menu_triggered(int actionType)
{
    // A menu would name the track kind of the header row it belongs to; no such row exists,
    // and a third track would shift the sound track away from the index the clips go to.
    Q_UNUSED(actionType);
}

void WidgetComposition::slot_delete_track_request(int track_index)
{
    // Both tracks live as long as the timeline: every refresh lays the clips into them.
    Q_UNUSED(track_index);
}

void WidgetComposition::slot_delete_track_request(QUuid id)
{
    Q_UNUSED(id);
}

void WidgetComposition::refresh()
{
    segment()->setAvDatas(avDatas);
    GraphicsWidgetComposition *root = m_compositionScene->composition();
    root->layout()->activate();
    root->adjustSize();
    m_timelineView->horizontalScrollBar()->setValue(
        m_compositionView->horizontalScrollBar()->value());
    buildVisibleBlocks();
    QTimer::singleShot(100, this, &WidgetComposition::fitMinScale);
}

void WidgetComposition::buildVisibleBlocks()
{
    const QRectF visible =
        m_compositionView->mapToScene(m_compositionView->viewport()->rect()).boundingRect();
    // Half a view's width either side as well: a short scroll finds its blocks built.
    const qreal margin = visible.width() / 2;
    GraphicsWidgetSegment *tracks = segment();
    for (int i = 0; i < tracks->sequenceCount(); ++i) {
        GraphicsWidgetSequence *track = tracks->sequenceAt(i);
        const qreal left = track->mapFromScene(visible.topLeft()).x();
        track->buildResourcesIn(left - margin, left + visible.width() + margin);
    }
}

void WidgetComposition::fitMinScale()
{
    const double minScale = m_compositionView->updateMinScaleValue();
    emit sig_MinScaleValueChanged(minScale);
    emit scaleViewChanged(m_compositionView->horizontalScale());
}

void WidgetComposition::followCompositionWidth()
{
    GraphicsWidgetTimeline *ruler = m_timelineScene->timeline();
    const qreal width = m_compositionScene->composition()->size().width();
    ruler->setGeometry(QRectF(0, 0, width, ruler->height()));
}

qint64 WidgetComposition::curTimeMs() const
{
    return framesToMs(qint64(m_timelineScene->currentFrameIndicator()->x()));
}

bool WidgetComposition::findSelectedClip(AVData &clip, qint64 &cutStartMs, qint64 &cutEndMs) const
{
    return segment()->findSelectedClip(clip, cutStartMs, cutEndMs);
}

void WidgetComposition::slot_change_cur_time(long msec)
{
    m_timelineScene->currentFrameIndicator()->slot_set_xPos(double(msToFrames(msec)));
}

void WidgetComposition::onCompositionScaleChanged(const QTransform &transform, eScaleStatus status)
{
    m_timelineView->setTransformValue(transform);
    QScrollBar *trackBar = m_compositionView->horizontalScrollBar();
    m_timelineView->horizontalScrollBar()->setValue(trackBar->value());
    if (status == ScaleClampedAtMinimum)
        trackBar->setValue(0);
    emit scaleViewChanged(transform.mapRect(QRectF(0, 0, 1, 1)).width());
}

void WidgetComposition::onTimeHandleMove(double sceneX)
{
    if (sceneX <= 0) {
        slot_TrimHandleMove(sceneX);
        return;
    }
    // Keep the dragged indicator inside the visible band of the tracks. The band ends at the
    // last visible pixel: one further would scroll the view, which replays the mouse move,
    // which moves the indicator one further again, without end. Scrolling on is left to the
    // timer of slot_TrimHandleMove.
    const double scale = m_compositionView->horizontalScale();
    const int scroll = m_compositionView->horizontalScrollBar()->value();
    const int width = m_compositionView->viewport()->width();
    const double px = qBound<double>(scroll + 5, sceneX * scale, scroll + width - 1);
    const int x = int(px / scale);
    m_timelineScene->moveIndicatorTo(x);
    slot_TrimHandleMove(x);
}

void WidgetComposition::slot_TrimHandleMove(double sceneX)
{
    trimSceneX = int(sceneX);
    if (trimSceneX < 0)
        m_scrollTimer->stop();
    else if (trimSceneX > 0 && !m_scrollTimer->isActive())
        m_scrollTimer->start();
}

void WidgetComposition::onTrimHandleMove()
{
    if (trimSceneX < 0)
        return;
    QScrollBar *bar = m_compositionView->horizontalScrollBar();
    const double mapped = trimSceneX * m_compositionView->horizontalScale();
    const int width = m_compositionView->viewport()->width();
    if (bar->value() + kScrollMargin > mapped)
        bar->setValue(bar->value() - kScrollStep);
    else if (mapped > bar->value() + width - (kScrollMargin - 1))
        bar->setValue(bar->value() + kScrollStep);
}

void WidgetComposition::onTimeLineChanged(double sceneX)
{
    GraphicsObjectVerticalIndicator *line = m_compositionScene->currentTimeLine();
    line->setPos(sceneX, line->y());
    m_compositionScene->update();
    QScrollBar *bar = m_compositionView->horizontalScrollBar();
    const int mapped = int(sceneX * m_compositionView->horizontalScale());
    const int width = m_compositionView->viewport()->width();
    if (mapped >= bar->value() + width)
        bar->setValue(mapped - width + 1);
    else if (mapped < bar->value())
        bar->setValue(mapped);
}

void WidgetComposition::zoomIn()
{
    m_compositionView->zoomIn();
}
void WidgetComposition::zoomOut()
{
    m_compositionView->zoomOut();
}
void WidgetComposition::setScaleValue(double scaleFactor)
{
    m_compositionView->setScaleView(scaleFactor);
}

bool WidgetComposition::eventFilter(QObject *watched, QEvent *event)
{
    // Whatever brought the tracks into view (a scroll, a zoom, a larger window), their blocks
    // are there before they are painted.
    if (watched == m_compositionView->viewport() && event->type() == QEvent::Paint)
        buildVisibleBlocks();
    if (watched == m_timelineView->viewport() && event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        m_compositionView->scaleView(std::pow(1.2, wheel->angleDelta().y() / 240.0));
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
