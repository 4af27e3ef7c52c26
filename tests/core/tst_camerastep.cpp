// The camera laid onto recorded pictures: the shape's mask and the place in a picture (tables),
// and the step between a picture source and the recorder, with a camera whose pictures the test
// hands in: the camera inside its shape at its place, at the camera's rate over a still source,
// stamped with the camera's times, gone from the picture when hidden, and told once when the
// camera stops.
#include "core/camera/camerafeed.h"
#include "core/camera/cameraoverlay.h"
#include "core/camera/camerastep.h"
#include "core/record/scenepicturesource.h"
#include "support/datatable.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include <QMutex>
#include <QtTest>

#include <map>

namespace {

// A camera whose pictures are solid colours the test hands in.
class HandCamera : public CameraFeed
{
public:
    void show(const QColor &colour, qint64 takenUs)
    {
        AVFrame *frame = av_frame_alloc();
        frame->format = AV_PIX_FMT_BGR0;
        frame->width = 320;
        frame->height = 240;
        av_frame_get_buffer(frame, 0);
        for (int y = 0; y < frame->height; ++y)
            for (int x = 0; x < frame->width; ++x) {
                uint8_t *p = frame->data[0] + y * frame->linesize[0] + x * 4;
                p[0] = uint8_t(colour.blue());
                p[1] = uint8_t(colour.green());
                p[2] = uint8_t(colour.red());
                p[3] = 255;
            }
        {
            QMutexLocker lock(&m_mutex);
            av_frame_free(&m_frame);
            m_frame = frame;
            m_takenUs = takenUs;
            ++m_number;
        }
        callListeners();
    }
    void end()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_ended = true;
        }
        callListeners();
    }
    ~HandCamera() override { av_frame_free(&m_frame); }

    bool newest(AVFrame *frame, qint64 *captureUs, qint64 *number) const override
    {
        QMutexLocker lock(&m_mutex);
        if (!m_frame || av_frame_ref(frame, m_frame) < 0)
            return false;
        *captureUs = m_takenUs;
        *number = m_number;
        return true;
    }
    qint64 newestNumber() const override
    {
        QMutexLocker lock(&m_mutex);
        return m_number;
    }
    QSize pictureSize() const override { return QSize(320, 240); }
    bool hasEnded(QString *reason) const override
    {
        QMutexLocker lock(&m_mutex);
        if (m_ended && reason)
            *reason = QStringLiteral("unplugged");
        return m_ended;
    }
    int addListener(std::function<void()> listener) override
    {
        QMutexLocker lock(&m_mutex);
        m_listeners[++m_lastId] = std::move(listener);
        return m_lastId;
    }
    void removeListener(int id) override
    {
        QMutexLocker lock(&m_mutex);
        m_listeners.erase(id);
    }

private:
    void callListeners()
    {
        QMutexLocker lock(&m_mutex);
        for (auto &[id, listener] : m_listeners)
            listener();
    }
    mutable QMutex m_mutex{};
    AVFrame *m_frame = nullptr;
    qint64 m_takenUs = 0;
    qint64 m_number = 0;
    bool m_ended = false;
    std::map<int, std::function<void()>> m_listeners;
    int m_lastId = 0;
};

// The luma of an RGB colour as the recorded pictures have it (BT.601, limited range).
int lumaOf(const QColor &c)
{
    return qRound(16 + (65.481 * c.red() + 128.553 * c.green() + 24.966 * c.blue()) / 255.0);
}

int lumaAt(const AVPacket *packet, int width, QPoint at)
{
    return packet->data[at.y() * width + at.x()];
}

}  // namespace

class TestCameraStep : public QObject
{
    Q_OBJECT
private slots:
    void maskKeepsTheShapeWithASoftEdge_data()
    {
        DataTable::columns<int, QSize, QPoint, int, int>("shape", "size", "at", "least", "most");
        const int circle = int(CameraShape::Circle);
        const int rounded = int(CameraShape::RoundedRect);
        QTest::newRow("circle centre") << circle << QSize(100, 100) << QPoint(50, 50) << 255 << 255;
        QTest::newRow("circle corner") << circle << QSize(100, 100) << QPoint(2, 2) << 0 << 0;
        QTest::newRow("circle edge is soft")
            << circle << QSize(100, 100) << QPoint(0, 50) << 40 << 215;
        QTest::newRow("circle just inside")
            << circle << QSize(100, 100) << QPoint(3, 50) << 255 << 255;
        QTest::newRow("rounded corner cut") << rounded << QSize(160, 90) << QPoint(0, 0) << 0 << 0;
        QTest::newRow("rounded side kept")
            << rounded << QSize(160, 90) << QPoint(2, 45) << 255 << 255;
        QTest::newRow("rounded top kept")
            << rounded << QSize(160, 90) << QPoint(80, 2) << 255 << 255;
    }
    void maskKeepsTheShapeWithASoftEdge()
    {
        const auto [shape, size, at, least, most] =
            DataTable::fetch<int, QSize, QPoint, int, int>("shape", "size", "at", "least", "most");
        const std::vector<uint8_t> mask = CameraOverlay::mask(CameraShape(shape), size);
        QCOMPARE(int(mask.size()), size.width() * size.height());
        const int alpha = mask[size_t(at.y() * size.width() + at.x())];
        QVERIFY2(alpha >= least && alpha <= most, qPrintable(QString::number(alpha)));
    }

    void placeStaysInsideThePicture_data()
    {
        DataTable::columns<QSize, int, int, QPointF, QRect>("picture", "shape", "size", "share",
                                                            "rect");
        const int circle = int(CameraShape::Circle);
        const int rounded = int(CameraShape::RoundedRect);
        QTest::newRow("bottom right, medium circle")
            << QSize(1920, 1080) << circle << int(CameraSize::Medium) << QPointF(1, 1)
            << QRect(1498, 658, 422, 422);
        QTest::newRow("top left, large rounded")
            << QSize(1920, 1080) << rounded << int(CameraSize::Large) << QPointF(0, 0)
            << QRect(0, 0, 576, 324);
        QTest::newRow("middle, small circle, odd room")
            << QSize(1366, 768) << circle << int(CameraSize::Small) << QPointF(0.5, 0.5)
            << QRect(582, 282, 204, 204);
        QTest::newRow("out of range shares are clamped")
            << QSize(1280, 720) << rounded << int(CameraSize::Small) << QPointF(3, -1)
            << QRect(1088, 0, 192, 108);
        QTest::newRow("a narrow tall picture keeps the circle inside")
            << QSize(400, 200) << circle << int(CameraSize::Large) << QPointF(1, 1)
            << QRect(280, 80, 120, 120);
    }
    void placeStaysInsideThePicture()
    {
        const auto [picture, shape, size, share, rect] =
            DataTable::fetch<QSize, int, int, QPointF, QRect>("picture", "shape", "size", "share",
                                                              "rect");
        CameraPlace place;
        place.size = CameraSize(size);
        place.share = share;
        const QRect got = place.rectIn(picture, CameraShape(shape));
        QCOMPARE(got, rect);
        QVERIFY(QRect(QPoint(0, 0), picture).contains(got));
        // Dragged back to where it is, it stays there.
        const QPointF again = CameraPlace::shareFor(picture, got.size(), got.topLeft());
        place.share = again;
        QCOMPARE(place.rectIn(picture, CameraShape(shape)), got);
    }

    void stepLaysTheCameraOntoAStillBoard()
    {
        const QSize size(640, 360);
        auto board = std::make_shared<ScenePictureSource>(size);
        QString error;
        QVERIFY(board->open(&error));
        auto camera = std::make_shared<HandCamera>();
        auto placement = std::make_shared<CameraPlacement>();
        CameraPlacement::State state;
        state.visible = true;
        state.place.share = QPointF(1, 1);
        placement->set(state);
        placement->setFeed(camera);
        CameraStep step(board, placement);
        QStringList lost;
        step.setOnCameraLost([&lost](const QString &reason) { lost << reason; });
        QVERIFY2(step.open(&error), qPrintable(error));
        const QRect rect = state.place.rectIn(size, state.shape);
        const QPoint inside = rect.center();
        const QPoint corner = rect.topLeft() + QPoint(2, 2);  // outside the circle
        const QPoint away(20, 20);

        camera->show(Qt::red, PictureSource::captureClockUs());
        ScenePictureSource::Canvas canvas = board->newCanvas();
        canvas.image.fill(QColor(128, 128, 128));
        const qint64 drawnUs = PictureSource::captureClockUs();
        board->push(std::move(canvas), drawnUs);

        ffmpeg::PacketPtr packet = ffmpeg::makePacket();
        qint64 stampUs = 0;
        QCOMPARE(step.read(packet.get(), &stampUs, 1000), PictureSource::Read::Picture);
        QCOMPARE(stampUs, drawnUs);
        const int grey = lumaOf(QColor(128, 128, 128));
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), inside) - lumaOf(Qt::red)) <= 3);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), corner) - grey) <= 2);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), away) - grey) <= 2);
        av_packet_unref(packet.get());

        // Nothing new: nothing delivered.
        QCOMPARE(step.read(packet.get(), &stampUs, 50), PictureSource::Read::Unchanged);

        // A new camera picture over the still board: a picture of its own, at its time.
        const qint64 blueUs = PictureSource::captureClockUs();
        camera->show(Qt::blue, blueUs);
        QCOMPARE(step.read(packet.get(), &stampUs, 1000), PictureSource::Read::Picture);
        QCOMPARE(stampUs, blueUs);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), inside) - lumaOf(Qt::blue)) <= 3);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), away) - grey) <= 2);
        av_packet_unref(packet.get());

        // Hidden: the board alone, at once; and the camera's pictures bring nothing while hidden.
        state.visible = false;
        placement->set(state);
        QCOMPARE(step.read(packet.get(), &stampUs, 1000), PictureSource::Read::Picture);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), inside) - grey) <= 2);
        av_packet_unref(packet.get());
        camera->show(Qt::green, PictureSource::captureClockUs());
        QCOMPARE(step.read(packet.get(), &stampUs, 50), PictureSource::Read::Unchanged);

        // Shown again and moved to the top-left corner.
        state.visible = true;
        state.place.share = QPointF(0, 0);
        placement->set(state);
        QCOMPARE(step.read(packet.get(), &stampUs, 1000), PictureSource::Read::Picture);
        const QRect moved = state.place.rectIn(size, state.shape);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), moved.center()) - lumaOf(Qt::green)) <=
                3);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), inside) - grey) <= 2);
        av_packet_unref(packet.get());

        // The camera stops: told once, and the board goes on without it.
        camera->end();
        QCOMPARE(step.read(packet.get(), &stampUs, 1000), PictureSource::Read::Picture);
        QVERIFY(std::abs(lumaAt(packet.get(), size.width(), moved.center()) - grey) <= 2);
        av_packet_unref(packet.get());
        QCOMPARE(lost, QStringList{QStringLiteral("unplugged")});
        canvas = board->newCanvas();
        canvas.image.fill(Qt::white);
        board->push(std::move(canvas), PictureSource::captureClockUs());
        QCOMPARE(step.read(packet.get(), &stampUs, 1000), PictureSource::Read::Picture);
        QVERIFY(lumaAt(packet.get(), size.width(), moved.center()) >= 230);
        QCOMPARE(lost.size(), 1);
        step.interrupt();
        QCOMPARE(step.read(packet.get(), &stampUs, 50), PictureSource::Read::Ended);
    }
};

QTEST_GUILESS_MAIN(TestCameraStep)
#include "tst_camerastep.moc"
