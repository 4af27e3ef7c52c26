// The items of the track scene: blocks built from a clip list, the trim handles dragged with
// the mouse, the selected clip and its marked range, blocks dropped on a rebuild, and real
// thumbnails and waveforms on the blocks.
#include "core/media/avshowmanager.h"
#include "support/datatable.h"
#include "support/testmedia.h"
#include "support/timelineinput.h"
#include "ui/timeline/graphicsobjectverticalindicator.h"
#include "ui/timeline/graphicsscenetimeline.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/graphicswidgetresources.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/trimhandle.h"
#include "ui/timeline/widgetcomposition.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>

using namespace TimelineInput;

namespace {
// Reaches the blocks' body painter.
struct BodyPainter : GraphicsWidgetVideoResource
{
    using AbstractGraphicsWidgetResources::drawBody;
};

// A block body of `color` at (10, 6), 120 x 60 pixels, on a dark background, at `ratio`
// device pixels per pixel, drawn by the blocks or as an antialiased rounded rectangle.
QImage body(qreal ratio, const QColor &color, qreal opacity, bool blocks)
{
    QImage image(QSize(160, 80) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(QColor("#1b1b1b"));
    QPainter painter(&image);
    painter.setOpacity(opacity);
    const QRectF rect(10, 6, 120, 60);
    if (blocks) {
        BodyPainter::drawBody(&painter, rect, color);
    } else {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(rect, 6, 6);
    }
    return image;
}

// Remembers when the watched widget was last painted.
class PaintClock : public QObject
{
public:
    explicit PaintClock(QElapsedTimer *clock) : m_clock(clock) {}
    std::atomic<qint64> lastPaintMs{-1};

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            lastPaintMs = m_clock->elapsed();
        return false;
    }

private:
    QElapsedTimer *m_clock;
};

enum Select { SelectNone, SelectPicture, SelectSound };

QList<AVData> spans(const QList<qint64> &lengthsMs)
{
    QList<AVData> clips;
    for (qint64 ms : lengthsMs)
        clips << clip(0, ms);
    return laidOut(clips);
}

int countColour(const QImage &image, const QRect &area, const std::function<bool(QColor)> &test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixelColor(x, y)))
                ++n;
    return n;
}
}  // namespace

class TestTimelineItems : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<WidgetComposition> makeWidget(const QList<AVData> &clips, int width = 1700)
    {
        auto w = std::make_unique<WidgetComposition>();
        w->resize(width, 260);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        w->avDatas = clips;
        w->refresh();
        return w;
    }
    QPoint pixelOf(WidgetComposition *w, double frame, double y)
    {
        return w->compositionView()->mapFromScene(QPointF(frame, y));
    }

private slots:
    void segmentLength_data()
    {
        DataTable::columns<QList<qint64>, int, QList<qreal>>("lengthsMs", "length", "blockWidths");
        QTest::newRow("no clips") << QList<qint64>{} << 1200 << QList<qreal>{};
        QTest::newRow("one clip of 30 s") << QList<qint64>{30000} << 1200 << QList<qreal>{720};
        QTest::newRow("ends at 60 s")
            << QList<qint64>{20000, 40000} << 1640 << QList<qreal>{480, 960};
        QTest::newRow("ends at 50 s") << QList<qint64>{50000} << 1400 << QList<qreal>{1200};
        QTest::newRow("half a second") << QList<qint64>{500} << 1200 << QList<qreal>{12};
    }
    void segmentLength()
    {
        const auto [lengthsMs, length, blockWidths] =
            DataTable::fetch<QList<qint64>, int, QList<qreal>>("lengthsMs", "length",
                                                               "blockWidths");
        auto w = makeWidget(spans(lengthsMs), 900);
        QVERIFY(w);
        GraphicsWidgetSegment *segment = w->segment();
        QCOMPARE(segment->length(), length);
        QCOMPARE(w->compositionScene()->sceneRect().width(), qreal(length));
        QCOMPARE(w->timelineScene()->sceneRect().width(), qreal(length));
        for (int track = 0; track < 2; ++track) {
            GraphicsWidgetSequence *sequence = segment->sequenceAt(track);
            QCOMPARE(sequence->resourceCount(), blockWidths.size());
            qreal x = 0;
            for (int i = 0; i < blockWidths.size(); ++i) {
                AbstractGraphicsWidgetResources *block = sequence->resourceAt(i);
                QCOMPARE(block->geometry(), QRectF(x, 0, blockWidths.at(i), track == 0 ? 90 : 50));
                QCOMPARE(block->avData().uuid, w->avDatas.at(i).uuid);
                QCOMPARE(block->cutStart(), 0);
                QCOMPARE(block->cutEnd(), int(blockWidths.at(i)));
                x += blockWidths.at(i);
            }
        }
        QCOMPARE(qobject_cast<GraphicsWidgetVideoResource *>(
                     segment->sequenceAt(0)->resourceAt(0)) != nullptr,
                 !lengthsMs.isEmpty());
    }

    void trimHandleLimits_data()
    {
        DataTable::columns<double, int, double, int, int>("scale", "side", "targetFrame",
                                                          "cutStart", "cutEnd");
        QTest::newRow("right to 500") << 1.0 << 1 << 500.0 << 0 << 500;
        QTest::newRow("right stops 17 frames from the left") << 1.0 << 1 << 0.0 << 0 << 17;
        QTest::newRow("right stops at the end") << 1.0 << 1 << 900.0 << 0 << 720;
        QTest::newRow("left to 240") << 1.0 << 0 << 240.0 << 240 << 720;
        QTest::newRow("left stops at 0") << 1.0 << 0 << -40.0 << 0 << 720;
        QTest::newRow("left stops 17 frames from the right") << 1.0 << 0 << 720.0 << 703 << 720;
        QTest::newRow("right at scale 2, 16 frames") << 2.0 << 1 << 0.0 << 0 << 16;
        QTest::newRow("left at scale 2") << 2.0 << 0 << 720.0 << 703 << 720;
    }
    void trimHandleLimits()
    {
        const auto [scale, side, targetFrame, cutStart, cutEnd] =
            DataTable::fetch<double, int, double, int, int>("scale", "side", "targetFrame",
                                                            "cutStart", "cutEnd");
        auto w = makeWidget(spans({30000}));
        QVERIFY(w);
        w->setScaleValue(scale);
        QWidget *viewport = w->compositionView()->viewport();
        auto *block =
            static_cast<GraphicsWidgetVideoResource *>(w->segment()->sequenceAt(0)->resourceAt(0));
        QVERIFY(!block->leftHandle()->isVisible());

        press(viewport, pixelOf(w.get(), 360, 45));
        release(viewport, pixelOf(w.get(), 360, 45));
        QVERIFY(block->isSelected());
        QVERIFY(block->leftHandle()->isVisible() && block->rightHandle()->isVisible());
        // The handles keep their 8 pixels at any zoom.
        QCOMPARE(block->leftHandle()->sceneBoundingRect().width() * scale, 8.0);

        QSignalSpy moved(w->segment(), &GraphicsWidgetSegment::sig_TrimHandleMove);
        const QPoint grip = side == 1 ? pixelOf(w.get(), 720, 45) - QPoint(5, 0)
                                      : pixelOf(w.get(), 0, 45) + QPoint(4, 0);
        drag(viewport, grip, pixelOf(w.get(), targetFrame, 45));
        QCOMPARE(block->cutStart(), cutStart);
        QCOMPARE(block->cutEnd(), cutEnd);
        QCOMPARE(block->leftHandle()->x(), qreal(cutStart));
        QCOMPARE(block->rightHandle()->x(), qreal(cutEnd));
        QVERIFY(block->isSelected());
        QVERIFY(moved.count() >= 2);
        QCOMPARE(moved.last().at(0).toDouble(), -1.0);
        // The time indicator does not follow the handles.
        QCOMPARE(w->timelineScene()->currentFrameIndicator()->x(), 0.0);
    }

    void findSelectedClip_data()
    {
        // dragLeftTo: < 0: no drag
        DataTable::columns<int, double, bool, qint64, qint64>("select", "dragLeftTo", "found",
                                                              "startMs", "endMs");
        QTest::newRow("nothing selected") << int(SelectNone) << -1.0 << false << 0LL << 0LL;
        QTest::newRow("picture block untouched")
            << int(SelectPicture) << -1.0 << true << 0LL << 30000LL;
        QTest::newRow("left handle at frame 240")
            << int(SelectPicture) << 240.0 << true << 10000LL << 30000LL;
        QTest::newRow("sound block") << int(SelectSound) << -1.0 << true << 0LL << 30000LL;
    }
    void findSelectedClip()
    {
        const auto [select, dragLeftTo, found, startMs, endMs] =
            DataTable::fetch<int, double, bool, qint64, qint64>("select", "dragLeftTo", "found",
                                                                "startMs", "endMs");
        const QList<AVData> clips = spans({12000, 30000});
        auto w = makeWidget(clips);
        QVERIFY(w);
        QWidget *viewport = w->compositionView()->viewport();
        const double blockX = 288;  // the second clip starts at 12 s
        if (select != SelectNone) {
            const QPoint at = pixelOf(w.get(), blockX + 360, select == SelectPicture ? 45 : 125);
            press(viewport, at);
            release(viewport, at);
        }
        if (dragLeftTo >= 0)
            drag(viewport, pixelOf(w.get(), blockX, 45) + QPoint(4, 0),
                 pixelOf(w.get(), blockX + dragLeftTo, 45));
        AVData clip;
        qint64 start = -1, end = -1;
        QCOMPARE(w->findSelectedClip(clip, start, end), found);
        if (!found)
            return;
        QCOMPARE(clip.uuid, clips.at(1).uuid);
        QCOMPARE(start, startMs);
        QCOMPARE(end, endMs);
    }

    void thumbnailSize_data()
    {
        DataTable::columns<int, int, QSize>("videoWidth", "videoHeight", "thumb");
        QTest::newRow("4:3") << 320 << 240 << QSize(66, 50);
        QTest::newRow("16:9") << 1920 << 1080 << QSize(88, 50);
        QTest::newRow("unknown size") << -1 << -1 << QSize(-1, -1);
        QTest::newRow("zero height is no picture size") << 640 << 0 << QSize(-1, -1);
    }
    void thumbnailSize()
    {
        const auto [videoWidth, videoHeight, thumb] =
            DataTable::fetch<int, int, QSize>("videoWidth", "videoHeight", "thumb");
        AVData d = clip(0, 4000);
        d.videoWidth = videoWidth;
        d.videoHeight = videoHeight;
        GraphicsWidgetVideoResource block;
        block.setAvData(d);
        QCOMPARE(block.thumbSize(), thumb);
        QCOMPARE(block.showManager()->imageWidth(), thumb.width());
    }

    void rebuildDropsOldBlocks()
    {
        auto w = makeWidget(spans({3000, 4000, 5000}), 900);
        QVERIFY(w);
        const int itemsAfterFirst = w->compositionScene()->items().size();
        for (int round = 0; round < 3; ++round) {
            QList<QPointer<QObject>> old;
            for (int t = 0; t < 2; ++t)
                for (int i = 0; i < 3; ++i) {
                    AbstractGraphicsWidgetResources *block =
                        w->segment()->sequenceAt(t)->resourceAt(i);
                    old << block << block->showManager();
                }
            w->avDatas = spans({3000, 4000, 5000});
            w->refresh();
            QCOMPARE(w->compositionScene()->items().size(), itemsAfterFirst);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            for (const QPointer<QObject> &p : old)
                QVERIFY(p.isNull());
        }
        QCOMPARE(w->segment()->sequenceAt(0)->resourceCount(), 3);
    }

    void bodyIsARoundedRectangle_data()
    {
        DataTable::columns<qreal, QColor, qreal>("ratio", "color", "opacity");
        QTest::newRow("plain screen") << 1.0 << QColor("#e0f0ff") << 0.7;
        QTest::newRow("twice as dense") << 2.0 << QColor("#ffd080") << 1.0;
        QTest::newRow("one and a half") << 1.5 << QColor("#e0f0ff") << 0.7;
    }
    void bodyIsARoundedRectangle()
    {
        const auto [ratio, color, opacity] =
            DataTable::fetch<qreal, QColor, qreal>("ratio", "color", "opacity");
        const QImage got = body(ratio, color, opacity, true);
        const QImage want = body(ratio, color, opacity, false);
        // Every pixel within what antialiasing may round differently.
        int worst = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const QColor a = got.pixelColor(x, y), b = want.pixelColor(x, y);
                worst = std::max({worst, qAbs(a.red() - b.red()), qAbs(a.green() - b.green()),
                                  qAbs(a.blue() - b.blue())});
            }
        QVERIFY2(worst <= 40, qPrintable(QString::number(worst)));
        // The corners are round: the block's own corner pixels show the background.
        for (const QPointF corner :
             {QPointF(10, 6), QPointF(129, 6), QPointF(10, 65), QPointF(129, 65)})
            QCOMPARE(got.pixelColor((corner * ratio).toPoint()), QColor("#1b1b1b"));
    }

    void blocksShowRealPictures()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QPixmapCache::clear();
        QList<AVData> clips;
        const QStringList sources{"testsrc2", "smptebars"};
        for (int i = 0; i < 2; ++i) {
            AVData d;
            d.fileName = QString("clip%1.mp4").arg(i);
            d.filePath = dir.filePath(d.fileName);
            QVERIFY(TestMedia::makeClip(d.filePath, 4, QSize(320, 240), true, 25, sources.at(i)));
            d.title = QString("第%1段").arg(i + 1);
            d.duration = 4000;
            d.beginTime = 0;
            d.endTime = 4000;
            d.videoWidth = 320;
            d.videoHeight = 240;
            clips << d;
        }
        auto w = makeWidget(laidOut(clips), 900);
        QVERIFY(w);
        w->setScaleValue(2.0);
        // When a picture arrives after the last paint, the block must ask for another one.
        QElapsedTimer clock;
        clock.start();
        PaintClock paints(&clock);
        w->compositionView()->viewport()->installEventFilter(&paints);
        std::atomic<qint64> lastArrivalMs{-1};
        for (int t = 0; t < 2; ++t) {
            AvShowManager *m = w->segment()->sequenceAt(t)->resourceAt(0)->showManager();
            auto arrived = [&] { lastArrivalMs = clock.elapsed(); };
            connect(m, &AvShowManager::onLoadPixmapFinish, m, arrived, Qt::DirectConnection);
            connect(m, &AvShowManager::onLoadSpectrumFinish, m, arrived, Qt::DirectConnection);
        }
        const QRect band(pixelOf(w.get(), 0, 0).x() + 4, 30, 60, 38);  // inside the first thumbnail
        const QRect wave(pixelOf(w.get(), 0, 0).x() + 2, 105, 180, 40);
        auto isBand = [](QColor c) { return c == QColor("#788788"); };
        auto lively = [](QColor c) { return c.saturation() > 120 && c.value() > 120; };
        auto waveform = [](QColor c) { return c.blue() > 80 && c.blue() > c.red() + 30; };

        // Wait for the pictures without painting anything (a grab would paint).
        auto *picture =
            static_cast<GraphicsWidgetVideoResource *>(w->segment()->sequenceAt(0)->resourceAt(0));
        AvShowManager *sound = w->segment()->sequenceAt(1)->resourceAt(0)->showManager();
        QPixmap pixmap;
        QTRY_VERIFY_WITH_TIMEOUT(
            picture->showManager()->getImageOnTime(picture->thumbnailSecond(), pixmap), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(sound->getSpectrum(pixmap), 30000);
        QVERIFY(lastArrivalMs >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(paints.lastPaintMs >= lastArrivalMs, 5000);

        const QImage image = w->compositionView()->viewport()->grab().toImage();
        QVERIFY(countColour(image, band, lively) > 200);
        QVERIFY(countColour(image, wave, waveform) > 50);
        QVERIFY(countColour(image, band, isBand) < band.width() * band.height() / 4);
        // Past the thumbnail the band is plain.
        const QRect after(pixelOf(w.get(), 0, 0).x() + 80, 40, 40, 20);
        QCOMPARE(countColour(image, after, isBand), after.width() * after.height());
    }
};

QTEST_MAIN(TestTimelineItems)
#include "tst_timelineitems.moc"
