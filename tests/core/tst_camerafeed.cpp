// The camera's picture feed on the test desktop's PipeWire server, with a test camera as the
// only camera: it is listed by its description; opened, it gives pictures of the camera's
// colour (raw and MJPEG) in the camera's own format; a new colour is stamped with the time the
// camera made it; the feed ends when the camera is unplugged, and a camera that is not there
// does not open. Screen casts are not listed; without a PipeWire server the list says so.
#include "core/camera/camerafeed.h"
#include "core/media/ffmpeghandles.h"
#include "support/datatable.h"
#include "support/testcamera.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <QMutex>
#include <QtTest>

Q_DECLARE_METATYPE(TestCamera::Format)

namespace {
const QString kNode = QStringLiteral("lumora_test_camera");

bool near(const QColor &a, const QColor &b)
{
    constexpr int kTolerance = 10;
    return std::abs(a.red() - b.red()) <= kTolerance &&
           std::abs(a.green() - b.green()) <= kTolerance &&
           std::abs(a.blue() - b.blue()) <= kTolerance;
}

// The colour of `picture` that is farthest from `expected`, looked at on a grid over all of it
// (a plane read from the wrong place shows at its edges).
QColor farthestColour(const AVFrame *picture, const QColor &expected)
{
    constexpr int kSide = 16;
    ffmpeg::SwsContextPtr sws(
        sws_getContext(picture->width, picture->height, AVPixelFormat(picture->format), kSide,
                       kSide, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr));
    if (!sws)
        return {};
    uint8_t rgb[kSide * kSide * 3];
    uint8_t *target[4] = {rgb};
    const int targetStride[4] = {kSide * 3};
    sws_scale(sws.get(), picture->data, picture->linesize, 0, picture->height, target,
              targetStride);
    QColor farthest = expected;
    int farthestDistance = 0;
    for (int i = 0; i < kSide * kSide; ++i) {
        const QColor c(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
        const int distance = std::abs(c.red() - expected.red()) +
                             std::abs(c.green() - expected.green()) +
                             std::abs(c.blue() - expected.blue());
        if (distance > farthestDistance) {
            farthest = c;
            farthestDistance = distance;
        }
    }
    return farthest;
}

QString describe(const QColor &c)
{
    return c.isValid() ? c.name() : QStringLiteral("(none)");
}
}  // namespace

class TestCameraFeed : public QObject
{
    Q_OBJECT

private slots:
    void findsCameras()
    {
        QString whyNone;
        QList<CameraInfo> cameras;
        {
            // A desktop's screen cast is a video source too, but no camera.
            const QString screenCast = QStringLiteral("lumora-screen-cast-src");
            TestCamera camera(kNode, TestCamera::Format::Yuy2, Qt::red);
            TestCamera screen(screenCast, TestCamera::Format::Bgrx, Qt::blue);
            QVERIFY(camera.isReady() && screen.isReady());
            cameras = CameraFeed::findCameras(&whyNone);
            const qsizetype at = cameras.indexOf(CameraInfo{CameraInfo::Kind::PipeWire, kNode, {}});
            QVERIFY2(at >= 0, qPrintable(whyNone));
            QCOMPARE(cameras.at(at).name, TestCamera::description());
            QVERIFY(!cameras.contains(CameraInfo{CameraInfo::Kind::PipeWire, screenCast, {}}));
        }
        // Without a server the devices are asked, and the reason says that no server runs.
        qputenv("PIPEWIRE_REMOTE", "lumora-no-such-server");
        cameras = CameraFeed::findCameras(&whyNone);
        qunsetenv("PIPEWIRE_REMOTE");
        for (const CameraInfo &found : std::as_const(cameras))
            QCOMPARE(found.kind, CameraInfo::Kind::V4L2);
        if (cameras.isEmpty())
            QVERIFY2(whyNone.startsWith(QStringLiteral("没有运行 PipeWire 服务")),
                     qPrintable(whyNone));
    }

    void feedsPictures_data()
    {
        DataTable::columns<TestCamera::Format, QSize, QString>("format", "size", "pixels");
        QTest::newRow("YUY2") << TestCamera::Format::Yuy2 << QSize(640, 480)
                              << QStringLiteral("yuyv422");
        QTest::newRow("I420") << TestCamera::Format::I420 << QSize(320, 240)
                              << QStringLiteral("yuv420p");
        QTest::newRow("BGRx") << TestCamera::Format::Bgrx << QSize(320, 240)
                              << QStringLiteral("bgr0");
        QTest::newRow("MJPEG") << TestCamera::Format::Mjpeg << QSize(640, 480)
                               << QStringLiteral("yuvj420p");
    }

    // Opened, the feed shows the camera's colour; a new colour's first picture carries the
    // time the camera made it; unplugged, the feed ends and says so.
    void feedsPictures()
    {
        const auto [format, size, pixels] =
            DataTable::fetch<TestCamera::Format, QSize, QString>("format", "size", "pixels");
        const QColor first(200, 40, 40);
        const QColor second(40, 60, 220);
        TestCamera camera(kNode, format, first, size);
        QVERIFY(camera.isReady());

        QString error;
        const std::shared_ptr<CameraFeed> feed =
            CameraFeed::open(CameraInfo{CameraInfo::Kind::PipeWire, kNode, {}}, &error);
        QVERIFY2(feed, qPrintable(error));
        QCOMPARE(feed->pictureSize(), size);
        ffmpeg::FramePtr picture = ffmpeg::makeFrame();
        qint64 captureUs = 0, number = 0;
        QVERIFY(feed->newest(picture.get(), &captureUs, &number));
        QCOMPARE(QString::fromLatin1(av_get_pix_fmt_name(AVPixelFormat(picture->format))), pixels);
        const QColor shown = farthestColour(picture.get(), first);
        QVERIFY2(near(shown, first), qPrintable(describe(shown)));
        av_frame_unref(picture.get());

        // The listener notes the first picture of the second colour, and the end.
        QMutex mutex;
        qint64 secondUs = -1;
        bool endHeard = false;
        CameraFeed *const watched = feed.get();
        const int listener = feed->addListener([&]() {
            ffmpeg::FramePtr newest = ffmpeg::makeFrame();
            qint64 takenUs = 0;
            const bool has = newest && watched->newest(newest.get(), &takenUs, nullptr);
            QMutexLocker lock(&mutex);
            if (has && secondUs < 0 && near(farthestColour(newest.get(), second), second))
                secondUs = takenUs;
            endHeard = endHeard || watched->hasEnded();
        });
        const qint64 stampedUs = camera.setColour(second);
        QVERIFY(stampedUs > 0);
        const auto noted = [&]() {
            QMutexLocker lock(&mutex);
            return std::make_pair(secondUs, endHeard);
        };
        QTRY_VERIFY_WITH_TIMEOUT(noted().first > 0, 3000);
        QVERIFY2(std::abs(noted().first - stampedUs) <= 100000,
                 qPrintable(QStringLiteral("stamped %1 us after the camera made it")
                                .arg(noted().first - stampedUs)));
        QVERIFY(!feed->hasEnded());

        camera.remove();
        QString reason;
        QTRY_VERIFY_WITH_TIMEOUT(feed->hasEnded(&reason), 5000);
        QCOMPARE(reason, QStringLiteral("摄像头已断开。"));
        QTRY_VERIFY_WITH_TIMEOUT(noted().second, 1000);
        feed->removeListener(listener);
    }

    void missingCameraDoesNotOpen()
    {
        QString error;
        const std::shared_ptr<CameraFeed> feed = CameraFeed::open(
            CameraInfo{CameraInfo::Kind::PipeWire, QStringLiteral("lumora_no_such_camera"), {}},
            &error);
        QVERIFY(!feed);
        QCOMPARE(error, QStringLiteral("无法打开摄像头：找不到这个摄像头。"));
    }
};

QTEST_GUILESS_MAIN(TestCameraFeed)
#include "tst_camerafeed.moc"
