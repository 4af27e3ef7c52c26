// The timeline widget as the editor sees it: geometry, ruler clicks, zoom limits, the minimum
// scale, scroll and zoom coupling of the ruler and the tracks, and the ruler's tick labels.
#include "support/datatable.h"
#include "support/timelineinput.h"
#include "ui/timeline/graphicsobjectverticalindicator.h"
#include "ui/timeline/graphicsscenetimeline.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/graphicswidgetresources.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/graphicswidgettimeline.h"
#include "ui/timeline/widgetcomposition.h"

#include <QGraphicsSceneMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using namespace TimelineInput;

namespace {
// A clip list whose timeline ends at `frames` (one clip).
QList<AVData> endingAt(qint64 frames)
{
    return laidOut({clip(0, framesToMs(frames) + 1)});
}

bool hasWhite(const QImage &image, int x0, int x1, int y0, int y1)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = qMax(0, x0); x <= qMin(image.width() - 1, x1); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
                return true;
        }
    return false;
}
}  // namespace

class TestTimelineView : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<WidgetComposition> makeWidget(int width = 800, int height = 240)
    {
        auto w = std::make_unique<WidgetComposition>();
        w->resize(width, height);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        return w;
    }
    void refreshWith(WidgetComposition *w, const QList<AVData> &clips)
    {
        w->avDatas = clips;
        QSignalSpy fitted(w, &WidgetComposition::sig_MinScaleValueChanged);
        w->refresh();
        QVERIFY(fitted.wait(2000));
    }

private slots:
    void freshWidgetGeometry()
    {
        auto w = makeWidget();
        QVERIFY(w);
        GraphicsWidgetSegment *segment = w->segment();
        QCOMPARE(segment->sequenceCount(), 2);
        QCOMPARE(segment->sequenceAt(0)->sequenceType(), SequenceTypePicture);
        QCOMPARE(segment->sequenceAt(1)->sequenceType(), SequenceTypeSound);
        QCOMPARE(segment->sequenceAt(0)->geometry(), QRectF(0, 0, 1200, 90));
        QCOMPARE(segment->sequenceAt(1)->geometry(), QRectF(0, 100, 1200, 50));
        QCOMPARE(segment->sequenceAt(0)->resourceCount(), 0);
        QCOMPARE(w->compositionScene()->sceneRect(), QRectF(0, 0, 1200, 150));
        QCOMPARE(w->timelineScene()->sceneRect(), QRectF(0, 0, 1200, 57));
        QCOMPARE(w->timelineView()->height(), 57);
        QCOMPARE(w->timelineView()->geometry().bottom() + 1, w->compositionView()->y());
        QCOMPARE(w->timelineScene()->currentFrameIndicator()->x(), 0.0);
        QCOMPARE(w->curTimeMs(), qint64(0));
        QCOMPARE(w->timelineView()->objectName(), QString("TimelineView"));
        QCOMPARE(w->compositionView()->objectName(), QString("CompositionView"));
    }

    void rulerClickSeeks_data()
    {
        DataTable::columns<double, int, int, long>("scale", "pixel", "frame", "ms");
        QTest::newRow("scale 1, pixel 48") << 1.0 << 48 << 48 << 2000L;
        QTest::newRow("scale 2, half frame rounds up") << 2.0 << 95 << 48 << 2000L;
        QTest::newRow("scale 2, whole frame") << 2.0 << 94 << 47 << 1958L;
        QTest::newRow("scale 0.5") << 0.5 << 300 << 600 << 25000L;
    }
    void rulerClickSeeks()
    {
        const auto [scale, pixel, frame, ms] =
            DataTable::fetch<double, int, int, long>("scale", "pixel", "frame", "ms");
        auto w = makeWidget(1000);
        QVERIFY(w);
        refreshWith(w.get(), endingAt(3000));
        w->setScaleValue(scale);
        QSignalSpy seek(w.get(), &WidgetComposition::curTimeChanged);
        QWidget *ruler = w->timelineView()->viewport();
        press(ruler, QPoint(pixel, 40));
        release(ruler, QPoint(pixel, 40));
        QCOMPARE(seek.count(), 1);
        QCOMPARE(seek.at(0).at(0).value<long>(), ms);
        QCOMPARE(w->timelineScene()->currentFrameIndicator()->x(), double(frame));
        QCOMPARE(w->curTimeMs(), qint64(ms));
        // The tracks' time line follows the ruler's indicator.
        QCOMPARE(w->compositionScene()->currentTimeLine()->x(), double(frame));
    }

    void sceneClickAtFractionalFrame_data()
    {
        DataTable::columns<double, int, long>("sceneX", "frame", "ms");
        QTest::newRow("47.6") << 47.6 << 48 << 2000L;
        QTest::newRow("47.4") << 47.4 << 47 << 1958L;
        QTest::newRow("left of the start") << -3.0 << 0 << 0L;
    }
    void sceneClickAtFractionalFrame()
    {
        const auto [sceneX, frame, ms] =
            DataTable::fetch<double, int, long>("sceneX", "frame", "ms");
        auto w = makeWidget();
        QVERIFY(w);
        QSignalSpy seek(w.get(), &WidgetComposition::curTimeChanged);
        QGraphicsSceneMouseEvent press(QEvent::GraphicsSceneMousePress);
        press.setButton(Qt::LeftButton);
        press.setButtons(Qt::LeftButton);
        press.setScenePos(QPointF(sceneX, 30));
        QCoreApplication::sendEvent(w->timelineScene(), &press);
        QCOMPARE(seek.count(), 1);
        QCOMPARE(seek.at(0).at(0).value<long>(), ms);
        QCOMPARE(w->timelineScene()->currentFrameIndicator()->x(), double(frame));
    }

    void curTimeMovesBothIndicators_data()
    {
        DataTable::columns<long, double, int>("msec", "frame", "scrollAtLeast");
        QTest::newRow("inside the view") << 10000L << 240.0 << 0;
        QTest::newRow("past the right edge scrolls") << 100000L << 2400.0 << 2400 - 800 + 1;
    }
    void curTimeMovesBothIndicators()
    {
        const auto [msec, frame, scrollAtLeast] =
            DataTable::fetch<long, double, int>("msec", "frame", "scrollAtLeast");
        auto w = makeWidget();
        QVERIFY(w);
        refreshWith(w.get(), endingAt(5000));
        QSignalSpy seek(w.get(), &WidgetComposition::curTimeChanged);
        w->slot_change_cur_time(msec);
        QCOMPARE(w->timelineScene()->currentFrameIndicator()->x(), frame);
        QCOMPARE(w->compositionScene()->currentTimeLine()->x(), frame);
        QCOMPARE(seek.count(), 0);  // moving from code is no seek request
        QVERIFY(w->compositionView()->horizontalScrollBar()->value() >= scrollAtLeast);
        QCOMPARE(w->timelineView()->horizontalScrollBar()->value(),
                 w->compositionView()->horizontalScrollBar()->value());
    }

    void setScaleViewClamps_data()
    {
        DataTable::columns<double, double, int>("requested", "applied", "status");
        QTest::newRow("above the maximum") << 3.0 << 2.0 << int(ScaleClampedAtMaximum);
        QTest::newRow("below the minimum") << 0.001 << 0.01 << int(ScaleClampedAtMinimum);
        QTest::newRow("inside") << 0.5 << 0.5 << int(ScaleWithinRange);
        QTest::newRow("exactly the maximum") << 2.0 << 2.0 << int(ScaleWithinRange);
    }
    void setScaleViewClamps()
    {
        const auto [requested, applied, status] =
            DataTable::fetch<double, double, int>("requested", "applied", "status");
        auto w = makeWidget();
        QVERIFY(w);
        w->avDatas = endingAt(20000);
        w->refresh();  // the minimum stays 0.01 until the re-fit runs
        w->setScaleValue(1.0);
        w->compositionView()->horizontalScrollBar()->setValue(3000);
        QSignalSpy scaled(w.get(), &WidgetComposition::scaleViewChanged);
        QCOMPARE(int(w->compositionView()->setScaleView(requested)), status);
        QCOMPARE(w->compositionView()->horizontalScale(), applied);
        QCOMPARE(w->timelineView()->horizontalScale(), applied);
        QCOMPARE(scaled.count(), 1);
        QCOMPARE(scaled.at(0).at(0).toDouble(), applied);
        const int scroll = w->compositionView()->horizontalScrollBar()->value();
        if (status == ScaleClampedAtMinimum)
            QCOMPARE(scroll, 0);
        else  // the frame at the left edge stays put
            QCOMPARE(scroll, qMin(qRound(3000 * applied),
                                  w->compositionView()->horizontalScrollBar()->maximum()));
        QCOMPARE(w->timelineView()->horizontalScrollBar()->value(), scroll);
    }

    void zoomInThenOutReturns()
    {
        auto w = makeWidget();
        QVERIFY(w);
        refreshWith(w.get(), endingAt(20000));
        w->setScaleValue(1.0);
        w->compositionView()->horizontalScrollBar()->setValue(2400);
        w->zoomIn();
        QCOMPARE(w->compositionView()->horizontalScale(), 1.1);
        QCOMPARE(w->compositionView()->horizontalScrollBar()->value(), 2640);
        w->zoomOut();
        QVERIFY(qFuzzyCompare(w->compositionView()->horizontalScale(), 1.0));
        QCOMPARE(w->compositionView()->horizontalScrollBar()->value(), 2400);
    }

    void minimumScaleFitsScene_data()
    {
        // endFrames: 0: no clips
        DataTable::columns<qint64, double>("endFrames", "minScale");
        QTest::newRow("empty timeline, 1200 frames") << qint64(0) << 800.0 / 1250;
        QTest::newRow("1640 frames") << qint64(1440) << 800.0 / 1690;
        QTest::newRow("200000 frames hits the floor") << qint64(199800) << 0.01;
    }
    void minimumScaleFitsScene()
    {
        const auto [endFrames, minScale] =
            DataTable::fetch<qint64, double>("endFrames", "minScale");
        auto w = makeWidget(800);
        QVERIFY(w);
        QCOMPARE(w->compositionView()->viewport()->width(), 800);
        QSignalSpy minChanged(w.get(), &WidgetComposition::sig_MinScaleValueChanged);
        QSignalSpy scaled(w.get(), &WidgetComposition::scaleViewChanged);
        w->avDatas = endFrames ? endingAt(endFrames) : QList<AVData>();
        w->refresh();
        QCOMPARE(minChanged.count(), 0);  // the re-fit waits for the layout to settle
        QVERIFY(minChanged.wait(2000));
        QCOMPARE(minChanged.at(0).at(0).toDouble(), minScale);
        QCOMPARE(w->compositionView()->minScale(), minScale);
        QCOMPARE(scaled.count(), 1);
        QCOMPARE(scaled.at(0).at(0).toDouble(), 1.0);
        QCOMPARE(w->compositionView()->setScaleView(0), ScaleClampedAtMinimum);
        QCOMPARE(w->compositionView()->horizontalScale(), minScale);
    }

    // A long lecture: only the blocks near the view are built; those scrolled or zoomed into
    // view are there, at their clip's place, by the time the tracks are painted.
    void blocksBuiltAsTheyComeIntoView()
    {
        auto w = makeWidget();
        QVERIFY(w);
        QList<AVData> clips;
        for (int i = 0; i < 120; ++i)
            clips << clip(0, 4000, QStringLiteral("片段 %1").arg(i + 1));
        clips = laidOut(clips);
        refreshWith(w.get(), clips);
        w->setScaleValue(1.0);
        GraphicsWidgetSegment *segment = w->segment();
        for (int track = 0; track < 2; ++track) {
            QCOMPARE(segment->sequenceAt(track)->resourceCount(), 120);
            QVERIFY(segment->sequenceAt(track)->builtResourceCount() < 40);
        }
        // What is under the pointer at the middle of a clip's place on screen.
        GraphicsViewScalable *view = w->compositionView();
        auto blockAt = [&](int index, qreal y) -> AbstractGraphicsWidgetResources * {
            const AVData &d = clips.at(index);
            const QPointF scene(msToFrames(d.position + d.length() / 2), y);
            for (QGraphicsItem *item : view->items(view->mapFromScene(scene)))
                if (auto *block = dynamic_cast<AbstractGraphicsWidgetResources *>(item))
                    return block;
            return nullptr;
        };
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        view->viewport()->grab();
        for (const qreal y : {45.0, 125.0}) {
            AbstractGraphicsWidgetResources *last = blockAt(119, y);
            QVERIFY(last);
            QCOMPARE(last->avData().uuid, clips.last().uuid);
            QCOMPARE(last->x(), qreal(msToFrames(clips.last().position)));
        }
        QVERIFY(segment->sequenceAt(0)->builtResourceCount() < 80);
        // Zoomed out to the whole lecture: every block, each at its place.
        w->setScaleValue(0.01);
        view->viewport()->grab();
        QCOMPARE(segment->sequenceAt(0)->builtResourceCount(), 120);
        QCOMPARE(segment->sequenceAt(1)->builtResourceCount(), 120);
        for (const int index : {0, 60, 119}) {
            AbstractGraphicsWidgetResources *block = blockAt(index, 45);
            QVERIFY(block);
            QCOMPARE(block->avData().uuid, clips.at(index).uuid);
        }
    }

    void rulerFollowsTrackScroll_data()
    {
        DataTable::columns<int, int>("trackValue", "rulerAttempt");
        QTest::newRow("scrolled tracks, ruler tries the start") << 1000 << 0;
        QTest::newRow("scrolled tracks, ruler tries further") << 2000 << 3500;
        QTest::newRow("at the start, ruler tries to move") << 0 << 600;
    }
    void rulerFollowsTrackScroll()
    {
        const auto [trackValue, rulerAttempt] =
            DataTable::fetch<int, int>("trackValue", "rulerAttempt");
        auto w = makeWidget();
        QVERIFY(w);
        refreshWith(w.get(), endingAt(4800));
        QScrollBar *track = w->compositionView()->horizontalScrollBar();
        QScrollBar *ruler = w->timelineView()->horizontalScrollBar();
        QCOMPARE(ruler->maximum(), track->maximum());
        track->setValue(trackValue);
        QCOMPARE(track->value(), trackValue);
        QCOMPARE(ruler->value(), trackValue);
        ruler->setValue(rulerAttempt);
        QCOMPARE(ruler->value(), trackValue);
        QCOMPARE(track->value(), trackValue);
        // What the ruler shows at its left edge is the frame at the tracks' left edge.
        QCOMPARE(w->timelineView()->mapToScene(0, 0).x(),
                 w->compositionView()->mapToScene(0, 0).x());
    }

    void wheelOverRulerZooms_data()
    {
        DataTable::columns<int, double>("delta", "scale");
        QTest::newRow("one notch in") << 120 << std::pow(1.2, 0.5);
        QTest::newRow("one notch out") << -120 << std::pow(1.2, -0.5);
        QTest::newRow("two notches in") << 240 << 1.2;
    }
    void wheelOverRulerZooms()
    {
        const auto [delta, scale] = DataTable::fetch<int, double>("delta", "scale");
        auto w = makeWidget();
        QVERIFY(w);
        refreshWith(w.get(), endingAt(4800));
        w->setScaleValue(1.0);
        QSignalSpy scaled(w.get(), &WidgetComposition::scaleViewChanged);
        wheel(w->timelineView()->viewport(), QPoint(100, 30), delta);
        QVERIFY(qFuzzyCompare(w->compositionView()->horizontalScale(), scale));
        QVERIFY(qFuzzyCompare(w->timelineView()->horizontalScale(), scale));
        QCOMPARE(scaled.count(), 1);

        // Over the tracks the wheel keeps its ordinary meaning: no zoom.
        wheel(w->compositionView()->viewport(), QPoint(100, 30), delta);
        QVERIFY(qFuzzyCompare(w->compositionView()->horizontalScale(), scale));
        QCOMPARE(scaled.count(), 1);
    }

    void dragRulerIndicator_data()
    {
        DataTable::columns<int, int>("toPixel", "frame");
        QTest::newRow("inside the view") << 300 << 300;
        QTest::newRow("past the right edge stays at the edge") << 1200 << 799;
        QTest::newRow("left of the start stays 5 pixels in") << -40 << 5;
    }
    void dragRulerIndicator()
    {
        const auto [toPixel, frame] = DataTable::fetch<int, int>("toPixel", "frame");
        auto w = makeWidget(800);
        QVERIFY(w);
        refreshWith(w.get(), endingAt(4800));
        w->setScaleValue(1.0);
        QSignalSpy seek(w.get(), &WidgetComposition::curTimeChanged);
        w->slot_change_cur_time(10000);  // frame 240, where the drag takes the head
        QWidget *ruler = w->timelineView()->viewport();
        drag(ruler, QPoint(240, 6), QPoint(toPixel, 6));
        QCOMPARE(w->timelineScene()->currentFrameIndicator()->x(), double(frame));
        QCOMPARE(w->compositionScene()->currentTimeLine()->x(), double(frame));
        QVERIFY(seek.count() >= 2);
        QCOMPARE(seek.last().at(0).value<long>(), long(framesToMs(frame)));
        // After the release a click elsewhere is a plain click again.
        press(ruler, QPoint(100, 40));
        release(ruler, QPoint(100, 40));
        QCOMPARE(w->timelineScene()->currentFrameIndicator()->x(), 100.0);
    }

    void autoScrollWhileDragging_data()
    {
        // direction: -1 left, 0 still, 1 right
        DataTable::columns<int, double, int>("startScroll", "sceneX", "direction");
        QTest::newRow("near the right edge") << 400 << 400.0 + 790 << 1;
        QTest::newRow("near the left edge") << 400 << 400.0 + 20 << -1;
        QTest::newRow("in the middle") << 400 << 400.0 + 400 << 0;
        QTest::newRow("stopped") << 400 << -1.0 << 0;
    }
    void autoScrollWhileDragging()
    {
        const auto [startScroll, sceneX, direction] =
            DataTable::fetch<int, double, int>("startScroll", "sceneX", "direction");
        auto w = makeWidget(800);
        QVERIFY(w);
        refreshWith(w.get(), endingAt(4800));
        w->setScaleValue(1.0);
        QScrollBar *bar = w->compositionView()->horizontalScrollBar();
        bar->setValue(startScroll);
        w->slot_TrimHandleMove(sceneX);
        QTest::qWait(300);
        const int moved = bar->value() - startScroll;
        QCOMPARE((moved > 0) - (moved < 0), direction);
        if (direction != 0)
            QVERIFY(qAbs(moved) >= 20);  // 10 pixels a tick, a tick every 50 ms
        w->slot_TrimHandleMove(-1.0);
        const int stoppedAt = bar->value();
        QTest::qWait(150);
        QCOMPARE(bar->value(), stoppedAt);
        QCOMPARE(w->timelineView()->horizontalScrollBar()->value(), stoppedAt);
    }

    void tickLevels_data()
    {
        // ticked: units with ticks
        // labelled: units with labels
        DataTable::columns<double, QList<int>, QList<int>>("scale", "ticked", "labelled");
        QTest::newRow("scale 1") << 1.0 << QList<int>{24, 240, 720, 1440, 21600, 43200, 86400}
                                 << QList<int>{240};
        QTest::newRow("scale 12") << 12.0 << QList<int>{1, 24, 240, 720, 1440, 21600, 43200}
                                  << QList<int>{1};
        QTest::newRow("scale 3") << 3.0 << QList<int>{24, 240, 720, 1440, 21600, 43200, 86400}
                                 << QList<int>{24};
        QTest::newRow("scale 0.1")
            << 0.1 << QList<int>{240, 720, 1440, 21600, 43200, 86400} << QList<int>{720};
        QTest::newRow("scale 0.01")
            << 0.01 << QList<int>{720, 1440, 21600, 43200, 86400} << QList<int>{21600};
    }
    void tickLevels()
    {
        const auto [scale, ticked, labelled] =
            DataTable::fetch<double, QList<int>, QList<int>>("scale", "ticked", "labelled");
        QList<int> t, l;
        for (const auto &level : GraphicsWidgetTimeline::tickLevels(scale)) {
            if (level.ticks)
                t << level.unitFrames;
            if (level.labels)
                l << level.unitFrames;
        }
        QCOMPARE(t, ticked);
        QCOMPARE(l, labelled);
    }

    void rulerLabelsOnScreen_data()
    {
        // labelAt: pixel x of label centres
        // blankAt: pixel x between labels
        DataTable::columns<double, QList<int>, QList<int>>("scale", "labelAt", "blankAt");
        QTest::newRow("scale 1: every 10 seconds")
            << 1.0 << QList<int>{240, 480, 720} << QList<int>{120, 360, 600};
        QTest::newRow("scale 12: every 5th frame")
            << 12.0 << QList<int>{60, 120, 180} << QList<int>{90, 150, 210};
    }
    void rulerLabelsOnScreen()
    {
        const auto [scale, labelAt, blankAt] =
            DataTable::fetch<double, QList<int>, QList<int>>("scale", "labelAt", "blankAt");
        auto w = makeWidget(900);
        QVERIFY(w);
        refreshWith(w.get(), endingAt(4800));
        w->timelineView()->setTransformValue(QTransform::fromScale(scale, 1));
        w->slot_change_cur_time(200000);  // the indicator's white line out of the way
        w->compositionView()->horizontalScrollBar()->setValue(0);
        const QImage image = w->timelineView()->viewport()->grab().toImage();
        for (int x : labelAt)
            QVERIFY2(hasWhite(image, x - 8, x + 8, 11, 21), qPrintable(QString::number(x)));
        for (int x : blankAt)
            QVERIFY2(!hasWhite(image, x - 3, x + 3, 0, 56), qPrintable(QString::number(x)));
    }
};

QTEST_MAIN(TestTimelineView)
#include "tst_timelineview.moc"
