// What a clip block carries besides its picture: its length record and end mark, how a new
// length is laid out, the body each block kind draws, and the items that keep their pixel width
// at any zoom.
#include "core/media/avshowmanager.h"
#include "support/datatable.h"
#include "support/timelineinput.h"
#include "ui/timeline/durationindicator.h"
#include "ui/timeline/graphicsobjectverticalindicator.h"
#include "ui/timeline/graphicsscenetimeline.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/graphicswidgethollowproxywidget.h"
#include "ui/timeline/graphicswidgetresources.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/graphicswidgettimedtextresource.h"
#include "ui/timeline/trimhandle.h"
#include "ui/timeline/widgetcomposition.h"

#include <QGraphicsView>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using namespace TimelineInput;

namespace {
enum Kind { Picture, Sound, TimedText };

// A track of one kind in a scene of its own, holding blocks made for the given clips.
struct Track
{
    QGraphicsScene scene;
    GraphicsWidgetSequence *sequence = nullptr;

    Track(Kind kind, const QList<AVData> &clips)
    {
        sequence =
            new GraphicsWidgetSequence(QUuid::createUuid(), QUuid::createUuid(),
                                       kind == Sound ? SequenceTypeSound : SequenceTypePicture);
        sequence->setHeight(kind == Sound ? 50 : 90);
        scene.addItem(sequence);
        for (int i = 0; i < clips.size(); ++i) {
            AbstractGraphicsWidgetResources *block = makeBlock(kind);
            block->setAvData(clips.at(i));
            sequence->insertResource(block, i);
        }
        sequence->resize(sequence->effectiveSizeHint(Qt::PreferredSize).width() + 2000,
                         kind == Sound ? 50 : 90);
        sequence->activateLayout();
    }
    static AbstractGraphicsWidgetResources *makeBlock(Kind kind)
    {
        switch (kind) {
        case Picture: return new GraphicsWidgetVideoResource;
        case Sound: return new GraphicsWidgetAudioResource;
        case TimedText: return new GraphicsWidgetTimedTextResource;
        }
        return nullptr;
    }
};

bool near(const QColor &a, const QColor &b, int tolerance = 6)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

// `colour` at `opacity` over `under`.
QColor over(const QColor &colour, double opacity, const QColor &under)
{
    auto mix = [opacity](int a, int b) { return int(a * opacity + b * (1 - opacity) + 0.5); };
    return QColor(mix(colour.red(), under.red()), mix(colour.green(), under.green()),
                  mix(colour.blue(), under.blue()));
}
}  // namespace

Q_DECLARE_METATYPE(Kind)

class TestTimelineBlocks : public QObject
{
    Q_OBJECT
private slots:
    void lengthAndEndMark_data()
    {
        DataTable::columns<Kind, qint64, qreal, qreal>("kind", "lengthMs", "frames", "height");
        QTest::newRow("picture, 30 s") << Picture << qint64(30000) << 720.0 << 90.0;
        QTest::newRow("sound, 30 s") << Sound << qint64(30000) << 720.0 << 50.0;
        QTest::newRow("timed text, 30 s") << TimedText << qint64(30000) << 720.0 << 90.0;
        QTest::newRow("picture, 0.5 s") << Picture << qint64(500) << 12.0 << 90.0;
        QTest::newRow("sound, 1999 ms") << Sound << qint64(1999) << 47.0 << 50.0;
        QTest::newRow("picture, empty span") << Picture << qint64(0) << 0.0 << 90.0;
    }
    void lengthAndEndMark()
    {
        const auto [kind, lengthMs, frames, height] =
            DataTable::fetch<Kind, qint64, qreal, qreal>("kind", "lengthMs", "frames", "height");

        // Until it is given a clip, a block counts as 1000 frames long and is marked there.
        std::unique_ptr<AbstractGraphicsWidgetResources> fresh(Track::makeBlock(kind));
        QCOMPARE(fresh->asset().sourceDuration(), Duration(1000));
        QCOMPARE(fresh->effectiveSizeHint(Qt::PreferredSize).width(), 1000.0);
        QCOMPARE(fresh->durationIndicator()->pos(), QPointF(1000, 0));

        Track track(kind, laidOut({clip(0, 10000), clip(5000, 5000 + lengthMs), clip(0, 1000)}));
        AbstractGraphicsWidgetResources *block = track.sequence->resourceAt(1);
        QCOMPARE(block->geometry(), QRectF(240, 0, frames, height));
        QCOMPARE(block->sourceDuration(), Duration(qint64(frames)));
        QCOMPARE(block->asset().sourceDuration(), Duration(qint64(frames)));
        DurationIndicator *mark = block->durationIndicator();
        QCOMPARE(mark->parentItem(), block);
        QCOMPARE(mark->pos(), QPointF(frames, 0));
        QCOMPARE(mark->height(), height);
        QCOMPARE(mark->duration(), Duration(qint64(frames)));
        QCOMPARE(mark->scenePos(), QPointF(240 + frames, 0));
        QVERIFY(!mark->isVisible());
        QCOMPARE(track.sequence->resourceAt(2)->x(), 240 + frames);
    }

    void newLengthIsLaidOut_data()
    {
        DataTable::columns<Kind, qint64, qreal, bool>("kind", "newFrames", "width", "reported");
        QTest::newRow("picture shorter") << Picture << qint64(480) << 480.0 << true;
        QTest::newRow("sound longer") << Sound << qint64(900) << 900.0 << true;
        QTest::newRow("timed text shorter") << TimedText << qint64(100) << 100.0 << true;
        QTest::newRow("unchanged") << Picture << qint64(720) << 720.0 << false;
        QTest::newRow("zero") << Sound << qint64(0) << 0.0 << true;
        QTest::newRow("negative") << Picture << qint64(-5) << 0.0 << true;
    }
    void newLengthIsLaidOut()
    {
        const auto [kind, newFrames, width, reported] =
            DataTable::fetch<Kind, qint64, qreal, bool>("kind", "newFrames", "width", "reported");

        Track track(kind, laidOut({clip(0, 30000), clip(0, 10000)}));
        AbstractGraphicsWidgetResources *block = track.sequence->resourceAt(0);
        QSignalSpy changed(block, &AbstractGraphicsWidgetResources::sourceDurationChanged);
        block->setSourceDuration(Duration(newFrames));

        QCOMPARE(changed.count(), reported ? 1 : 0);
        if (reported) {
            QCOMPARE(changed.at(0).at(0).value<Duration>(), Duration(720));
            QCOMPARE(changed.at(0).at(1).value<Duration>(), Duration(newFrames));
        }
        QCOMPARE(block->asset().sourceDuration(), Duration(newFrames));
        // The track is laid out again at once: the next block starts where this one now ends.
        QCOMPARE(block->size().width(), width);
        QCOMPARE(track.sequence->resourceAt(1)->x(), width);
        QCOMPARE(block->durationIndicator()->pos(), QPointF(width, 0));
        QCOMPARE(block->durationIndicator()->duration(), Duration(newFrames));
    }

    void blockBodies_data()
    {
        DataTable::columns<Kind, int, QColor, bool>("kind", "bodyY", "body", "labelled");
        const QColor track(QStringLiteral("#232324"));
        QTest::newRow("picture below its band")
            << Picture << 82 << over(QColor(QStringLiteral("#024a51")), 0.7, track) << true;
        QTest::newRow("sound") << Sound << 25 << QColor(QStringLiteral("#052c38")) << false;
        QTest::newRow("timed text in its own colour")
            << TimedText << 60 << over(QColor(191, 159, 72), 0.7, track) << true;
    }
    void blockBodies()
    {
        const auto [kind, bodyY, body, labelled] =
            DataTable::fetch<Kind, int, QColor, bool>("kind", "bodyY", "body", "labelled");

        AVData lecture = clip(0, 20000, QStringLiteral("Lecture"));
        Track track(kind, {lecture});
        QGraphicsView view(&track.scene);
        view.setAlignment(Qt::AlignLeft | Qt::AlignTop);
        view.setFrameShape(QFrame::NoFrame);
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setSceneRect(0, 0, 600, 100);
        view.resize(600, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage image = view.grab().toImage();

        // Inside the 480-frame block, away from its rounded corners.
        for (int x : {20, 240, 460})
            QVERIFY2(near(image.pixelColor(x, bodyY), body),
                     qPrintable(QStringLiteral("x %1: %2, expected %3")
                                    .arg(x)
                                    .arg(image.pixelColor(x, bodyY).name(), body.name())));
        // Past the block's end lies the bare track.
        QVERIFY(near(image.pixelColor(540, bodyY), QColor(QStringLiteral("#232324"))));
        int white = 0;
        for (int y = 7; y <= 18; ++y)
            for (int x = 10; x < 200; ++x)
                if (image.pixelColor(x, y).lightness() > 200)
                    ++white;
        QCOMPARE(white > 20, labelled);
    }

    void pixelWidthAtAnyZoom_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("minimum") << 0.01;
        QTest::newRow("half") << 0.5;
        QTest::newRow("one") << 1.0;
        QTest::newRow("maximum") << 2.0;
    }
    void pixelWidthAtAnyZoom()
    {
        QFETCH(double, scale);
        WidgetComposition w;
        w.resize(900, 240);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.avDatas = laidOut({clip(0, 30000)});
        w.refresh();
        auto *proxy = new GraphicsWidgetHollowProxyWidget;
        auto *label = new QLabel(QStringLiteral("00:10"));
        label->setFixedSize(40, 16);
        proxy->setWidget(label);
        w.compositionScene()->addItem(proxy);
        proxy->setPos(300, 0);

        w.setScaleValue(scale);
        // A block made after the zoom takes the view's scale as well.
        w.avDatas = laidOut({clip(0, 30000), clip(0, 20000)});
        w.refresh();
        AbstractGraphicsWidgetResources *late = w.segment()->sequenceAt(0)->resourceAt(1);

        GraphicsViewScalable *tracks = w.compositionView();
        GraphicsViewScalable *ruler = w.timelineView();
        const struct
        {
            const char *name;
            QGraphicsItem *item;
            QGraphicsView *view;
            qreal pixels;
        } items[] = {
            {"ruler indicator", w.timelineScene()->currentFrameIndicator(), ruler, 16},
            {"second ruler indicator", w.timelineScene()->secondIndicator(), ruler, 16},
            {"track time line", w.compositionScene()->currentTimeLine(), tracks, 16},
            {"left handle of a later block", late->leftHandle(), tracks, TrimHandle::kWidth},
            {"right handle of a later block", late->rightHandle(), tracks, TrimHandle::kWidth},
            {"widget holder", proxy, tracks, 40},
            {"end mark", late->durationIndicator(), tracks, DurationIndicator::kTagWidth + 1},
        };
        for (const auto &entry : items) {
            const QRectF onScreen = entry.item->deviceTransform(entry.view->viewportTransform())
                                        .mapRect(entry.item->boundingRect());
            QVERIFY2(qAbs(onScreen.width() - entry.pixels) < 0.01,
                     qPrintable(QStringLiteral("%1: %2 pixels wide")
                                    .arg(QLatin1String(entry.name))
                                    .arg(onScreen.width())));
        }
    }

    // An edit, its undo and its redo as the editor hands them to the timeline: the blocks of
    // clips the edit left alone stay (with their pictures), move to their new place and come
    // back unselected with the whole block marked; the others are made anew.
    void unchangedClipsKeepTheirBlocks()
    {
        WidgetComposition w;
        w.resize(900, 240);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const AVData a = clip(0, 10000, "A"), b = clip(0, 20000, "B"), c = clip(0, 5000, "C");
        // B with its middle deleted: two new clips of its file.
        AVData b1 = b, b2 = b;
        b1.uuid = QUuid::createUuid().toString();
        b1.endTime = 5000;
        b2.uuid = QUuid::createUuid().toString();
        b2.beginTime = 15000;
        // C with a new span under its old uuid.
        AVData shorterC = c;
        shorterC.endTime = 3000;
        const QList<AVData> before = laidOut({a, b, c}), after = laidOut({a, b1, b2, c});

        auto blocksOf = [&w](int track) {
            QList<AbstractGraphicsWidgetResources *> blocks;
            GraphicsWidgetSequence *sequence = w.segment()->sequenceAt(track);
            for (int i = 0; i < sequence->resourceCount(); ++i)
                blocks << sequence->resourceAt(i);
            return blocks;
        };
        w.avDatas = before;
        w.refresh();
        const QList<AbstractGraphicsWidgetResources *> pictures = blocksOf(0), sounds = blocksOf(1);
        QPointer<AbstractGraphicsWidgetResources> bBlock = pictures[1];
        AvShowManager *cPictures = pictures[2]->showManager();
        // C's block selected with a range marked in it.
        pictures[2]->setSelected(true);
        pictures[2]->dragTrimHandle(pictures[2]->rightHandle(), pictures[2]->scenePos().x() + 60);
        QCOMPARE(pictures[2]->cutEnd(), 60);

        const QList<QList<AVData>> steps{after, before, after, laidOut({a, b1, b2, shorterC})};
        for (int step = 0; step < steps.size(); ++step) {
            const QList<AVData> &list = steps.at(step);
            w.avDatas = list;
            w.refresh();
            for (int track = 0; track < 2; ++track) {
                const QList<AbstractGraphicsWidgetResources *> blocks = blocksOf(track);
                const QList<AbstractGraphicsWidgetResources *> &first = track ? sounds : pictures;
                QCOMPARE(blocks.size(), list.size());
                for (int i = 0; i < list.size(); ++i) {
                    const AVData &d = list.at(i);
                    const qreal x = qreal(msToFrames(d.position));
                    const qreal width = qreal(msToFrames(d.length()));
                    QCOMPARE(blocks[i]->avData().uuid, d.uuid);
                    QCOMPARE(blocks[i]->avData().position, d.position);
                    QCOMPARE(blocks[i]->geometry().x(), x);
                    QCOMPARE(blocks[i]->size().width(), width);
                    QVERIFY(!blocks[i]->isSelected());
                    QCOMPARE(blocks[i]->cutStart(), 0);
                    QCOMPARE(blocks[i]->cutEnd(), int(width));
                }
                QCOMPARE(blocks.first(), first.first());
                QCOMPARE(blocks.last() == first.last(), step < 3);
            }
            QCOMPARE(blocksOf(0).last()->showManager() == cPictures, step < 3);
            // A block the edit dropped is not brought back: its clip gets a new one.
            QVERIFY(blocksOf(0).at(1) != pictures[1]);
        }
        AVData selected;
        qint64 from = 0, to = 0;
        QVERIFY(!w.findSelectedClip(selected, from, to));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(bBlock.isNull());
    }
};

QTEST_MAIN(TestTimelineBlocks)
#include "tst_timelineblocks.moc"
