// The white canvas and the centred paste of smaller pictures, checked plane by plane.
#include "core/export/exportframes.h"
#include "support/datatable.h"

#include <QtTest>

namespace {

// A picture whose luma and chroma bytes encode their own coordinates (modulo 200, plus 20),
// so a misplaced copy shows.
ffmpeg::FramePtr patterned(int width, int height)
{
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 32) < 0)
        return {};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = uint8_t(20 + (x + 3 * y) % 200);
    for (int plane = 1; plane <= 2; ++plane)
        for (int y = 0; y < (height + 1) / 2; ++y)
            for (int x = 0; x < (width + 1) / 2; ++x)
                frame->data[plane][y * frame->linesize[plane] + x] =
                    uint8_t(20 + (x * plane + 7 * y) % 200);
    return frame;
}

}  // namespace

class TestExportFrames : public QObject
{
    Q_OBJECT

private slots:
    void pastesCentred_data();
    void pastesCentred();
};

void TestExportFrames::pastesCentred_data()
{
    DataTable::columns<QSize, QSize>("canvas", "picture");
    QTest::newRow("720p on 1080p") << QSize(1920, 1080) << QSize(1280, 720);
    QTest::newRow("odd offsets") << QSize(64, 48) << QSize(37, 21);
    QTest::newRow("odd picture, even offsets") << QSize(64, 48) << QSize(35, 23);
    QTest::newRow("same width") << QSize(64, 48) << QSize(64, 30);
    QTest::newRow("same size") << QSize(64, 48) << QSize(64, 48);
}

void TestExportFrames::pastesCentred()
{
    const auto [canvas, picture] = DataTable::fetch<QSize, QSize>("canvas", "picture");
    ffmpeg::FramePtr white = exportframes::makeWhiteFrame(canvas.width(), canvas.height());
    ffmpeg::FramePtr source = patterned(picture.width(), picture.height());
    QVERIFY(white && source);
    ffmpeg::FramePtr result = exportframes::pasteCentred(white.get(), source.get());
    QVERIFY(result);
    QCOMPARE(result->width, canvas.width());
    QCOMPARE(result->height, canvas.height());

    const int x0 = (canvas.width() - picture.width()) / 2;
    const int y0 = (canvas.height() - picture.height()) / 2;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const bool inside =
                x >= x0 && x < x0 + picture.width() && y >= y0 && y < y0 + picture.height();
            const uint8_t want =
                inside ? source->data[0][(y - y0) * source->linesize[0] + (x - x0)] : 235;
            const uint8_t got = result->data[0][y * result->linesize[0] + x];
            if (got != want)
                QFAIL(qPrintable(QStringLiteral("luma at %1,%2: %3, expected %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(got)
                                     .arg(want)));
            if (x % 2 || y % 2)
                continue;
            // Chroma at even canvas coordinates comes from the source sample of the pixel
            // pasted there; elsewhere it stays white.
            for (int plane = 1; plane <= 2; ++plane) {
                const uint8_t wantChroma =
                    inside
                        ? source
                              ->data[plane][((y - y0) / 2) * source->linesize[plane] + (x - x0) / 2]
                        : 128;
                const uint8_t gotChroma =
                    result->data[plane][(y / 2) * result->linesize[plane] + x / 2];
                if (gotChroma != wantChroma)
                    QFAIL(qPrintable(QStringLiteral("chroma %1 at %2,%3: %4, expected %5")
                                         .arg(plane)
                                         .arg(x)
                                         .arg(y)
                                         .arg(gotChroma)
                                         .arg(wantChroma)));
            }
        }
    }
    // The background itself is untouched.
    QCOMPARE(int(white->data[0][(y0 + picture.height() / 2) * white->linesize[0] + x0 + 1]), 235);
}

QTEST_GUILESS_MAIN(TestExportFrames)
#include "tst_exportframes.moc"
